#include "TSettings.h"

#include "AccentLabel.h"
#include "AtomicFile.h"
#include "IniFile.h"
#include "InsertionLimit.h"
#include "LanguageTexts.h"
#include "Prompts.h"
#include "TForm11.h"
#include "Text8.h"
#include "UpDownEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>

#include <exception>

namespace {

constexpr int WindowWidth = 700;
constexpr int WindowHeight = 425;
constexpr std::size_t TitleLength = 15;
const QString Digits = QStringLiteral("0123456789");
const QString DigitsAndDot = QStringLiteral("0123456789.");

QString q(std::string_view bytes) { return Text8::toUnicode(bytes); }
std::string bytesOf(const QString& text) { return Text8::fromUnicode(text); }

QLabel* label(QWidget* parent, const char* name, const char* text, int x, int y)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->move(x, y);
    l->adjustSize();
    return l;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const char* text, int x, int y, int w = 200)
{
    auto* c = new QCheckBox(text, parent);
    c->setObjectName(name);
    c->setGeometry(x, y, w, 22);
    return c;
}

QLineEdit* lineEdit(QWidget* parent, const char* name, int maxLength, const QString& allowed,
                    const QRect& place)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setGeometry(place);
    InsertionLimit::attach(e, maxLength, allowed);
    return e;
}

QComboBox* combo(QWidget* parent, const char* name, const QStringList& items, int maxLength,
                 const QRect& place)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->addItems(items);
    c->setGeometry(place);
    InsertionLimit::attach(c->lineEdit(), maxLength);
    return c;
}

QPushButton* button(QWidget* parent, const char* name, const char* text, const QRect& place)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setGeometry(place);
    b->setAutoDefault(false);
    return b;
}

struct Texts {
    std::string caption, group1, label1, label2, label3, label4, label5, cancel, apply;
    bool accents;
};

} // namespace

TSettings::TSettings(TForm11& form11, std::string iniPath, Prompts& prompts)
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint
                           | Qt::WindowTitleHint),
      form11_(form11), iniPath_(std::move(iniPath)), prompts_(prompts)
{
    setObjectName("Settings");
    setWindowTitle("Ferolt -> Settings");
    setFixedSize(WindowWidth, WindowHeight);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    PageControl1->setGeometry(4, 4, WindowWidth - 8, WindowHeight - 8);
    buildPage1();
    buildPage2();
    connectRules();

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(WindowWidth / 2, WindowHeight / 2));

    FormCreate();
}

void TSettings::buildPage1()
{
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName("TabSheet1");
    PageControl1->addTab(TabSheet1, "   Communication settings   ");
    QWidget* p = TabSheet1;

    GroupBox1 = new QGroupBox("   Serial port settings   ", p);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(10, 8, 230, 130);
    Label1 = label(GroupBox1, "Label1", "Name", 12, 30);
    Label2 = label(GroupBox1, "Label2", "Speed", 12, 62);
    Label3 = label(GroupBox1, "Label3", "Parity", 12, 94);
    QStringList ports;
    for (int i = 1; i <= 30; ++i)
        ports << QStringLiteral("COM%1").arg(i);
    Combo_com_name = combo(GroupBox1, "Combo_com_name", ports, 5, QRect(110, 26, 105, 24));
    Combo_com_speed = combo(GroupBox1, "Combo_com_speed", {"300", "2400", "4800", "9600", "19200"},
                            6, QRect(110, 58, 105, 24));
    Combo_com_parity = combo(GroupBox1, "Combo_com_parity", {"None", "Even", "Odd", "Mark", "Space"},
                             5, QRect(110, 90, 105, 24));
    CB_open_port = checkBox(GroupBox1, "CB_open_port", "Automatically Open on startup", 12, 104);
    CB_open_port->hide();
    Butt_open_port = button(GroupBox1, "Butt_open_port", "Connect to port", QRect(12, 100, 120, 26));
    Butt_open_port->hide();
    Label6 = AccentLabel::create(Label2, "Label6");
    Label7 = AccentLabel::create(Label3, "Label7");

    Check_rts = checkBox(p, "Check_rts", "RTS control", 12, 146, 110);
    Check_dtr = checkBox(p, "Check_dtr", "DTR control", 126, 146, 110);
    Label4 = label(p, "Label4", "Export separator:", 12, 184);
    Edit_export_separator = lineEdit(p, "Edit_export_separator", 1, {}, QRect(190, 180, 40, 24));
    Label5 = label(p, "Label5", "Retries", 12, 216);
    UD_retry_read = new UpDownEdit(p, "UD_retry_read", "Edit_retry_read", 0, 9, true);
    UD_retry_read->setGeometry(190, 212, 50, 24);
    Edit_retry_read = UD_retry_read->edit();
    label(p, "Label_secondary_search", "Secondary Search", 12, 250);
    Check_MSB = checkBox(p, "Check_MSB", "MSB", 12, 270, 70);
    Check_LSB = checkBox(p, "Check_LSB", "LSB", 90, 270, 70);
    Global_init = checkBox(p, "Global_init", "Global Initialization", 12, 304, 170);
    Check_5B = checkBox(p, "Check_5B", "5B", 190, 304, 50);

    Check_xport = checkBox(p, "Check_xport", "Use LANXP option ", 262, 6, 220);
    GroupBox4 = new QGroupBox("   Remote connection settings   ", p);
    GroupBox4->setObjectName("GroupBox4");
    GroupBox4->setGeometry(262, 30, 414, 118);
    label(GroupBox4, "Label_lanxp_ip", "Remote IP number:", 10, 30);
    Edit_lanxp_ip = lineEdit(GroupBox4, "Edit_lanxp_ip", 15, DigitsAndDot, QRect(140, 26, 120, 24));
    label(GroupBox4, "Label_lanxp_port", "Remote port:", 10, 60);
    Edit_lanxp_port = lineEdit(GroupBox4, "Edit_lanxp_port", 5, Digits, QRect(140, 56, 70, 24));
    label(GroupBox4, "Label_net_number", "Network number", 10, 90);
    Edit_net_number = lineEdit(GroupBox4, "Edit_net_number", 15, DigitsAndDot, QRect(140, 86, 120, 24));
    label(GroupBox4, "Label_eth_timeout", "Ethernet timeout", 284, 30);
    UD_eth_timeout = new UpDownEdit(GroupBox4, "UD_eth_timeout", "Edit_eth_timeout", 20, 999, true);
    UD_eth_timeout->setGeometry(284, 56, 64, 24);
    Edit_eth_timeout = UD_eth_timeout->edit();
    label(GroupBox4, "Label_eth_unit", "x10ms", 354, 60);

    Check_tovek_server = checkBox(p, "Check_tovek_server", "Use Tovek-2 server", 262, 154, 220);
    Check_ethernet = checkBox(p, "Check_ethernet", "Use Tovek-2 or Sarnel-1A", 262, 180, 220);
    GroupBox3 = new QGroupBox("   Ethernet settings   ", p);
    GroupBox3->setObjectName("GroupBox3");
    GroupBox3->setGeometry(262, 204, 414, 96);
    label(GroupBox3, "Label_tcp_port", "Port to listen:", 10, 30);
    Edit_tcp_port = lineEdit(GroupBox3, "Edit_tcp_port", 0, Digits, QRect(140, 26, 70, 24));
    Check_open_tcp = checkBox(GroupBox3, "Check_open_tcp", "Auto open and listen", 10, 62, 180);
    Check_autopexor = checkBox(GroupBox3, "Check_autopexor", "Auto Read Display", 230, 28, 170);
    Check_autombus = checkBox(GroupBox3, "Check_autombus", "Auto Read M-bus", 230, 62, 170);

    Check_unicode = checkBox(p, "Check_unicode", "Unicode/CP852", 262, 310, 200);
    BitBtn2 = button(p, "BitBtn2", "Cancel", QRect(476, 344, 96, 30));
    BitBtn1 = button(p, "BitBtn1", "Apply", QRect(580, 344, 96, 30));
}

void TSettings::buildPage2()
{
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName("TabSheet2");
    PageControl1->addTab(TabSheet2, "   Additional m-bus information   ");
    QWidget* p = TabSheet2;

    label(p, "Label_add_values", "Additional Values", 12, 14);
    label(p, "Label_to_decode", "to decode:", 12, 34);
    UD_addValues = new UpDownEdit(p, "UD_addValues", "EditAddValues", 0, 9, true);
    UD_addValues->setGeometry(140, 22, 50, 24);
    EditAddValues = UD_addValues->edit();

    const char* const editNames[9] = {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5",
                                      "Edit6", "Edit7", "Edit8", "Edit9"};
    const char* const labelNames[9] = {"Label_title1", "Label_title2", "Label_title3",
                                       "Label_title4", "Label_title5", "Label_title6",
                                       "Label_title7", "Label_title8", "Label_title9"};
    for (int i = 0; i < 9; ++i) {
        const int x = 12 + (i % 3) * 222;
        const int y = 70 + (i / 3) * 56;
        label(p, labelNames[i], QStringLiteral("Title %1").arg(i + 1).toLatin1().constData(), x, y);
        titleEdits_[i] = lineEdit(p, editNames[i], static_cast<int>(TitleLength), {},
                                  QRect(x, y + 20, 200, 24));
    }
    Edit1 = titleEdits_[0];
    Edit2 = titleEdits_[1];
    Edit3 = titleEdits_[2];
    Edit4 = titleEdits_[3];
    Edit5 = titleEdits_[4];
    Edit6 = titleEdits_[5];
    Edit7 = titleEdits_[6];
    Edit8 = titleEdits_[7];
    Edit9 = titleEdits_[8];

    Check_secMain = checkBox(p, "Check_secMain", "Secondary Main", 12, 250, 200);
    Edit_secMain = lineEdit(p, "Edit_secMain", static_cast<int>(TitleLength), {},
                            QRect(12, 276, 200, 24));
    auto* help = new QLabel("Some devices give\nmore than 1 Main value\nCheck this option, if that\n"
                            "is the case (QVX only)",
                            p);
    help->setObjectName("Label_secMain_help");
    help->move(234, 250);
    help->adjustSize();

    BitBtn4 = button(p, "BitBtn4", "Close", QRect(476, 344, 96, 30));
    BitBtn3 = button(p, "BitBtn3", "Apply", QRect(580, 344, 96, 30));
}

void TSettings::connectRules()
{
    const auto onToggle = [this](QCheckBox* box, void (TSettings::*rule)()) {
        connect(box, &QCheckBox::toggled, this, [this, rule] { (this->*rule)(); });
    };
    onToggle(Check_xport, &TSettings::Check_xportClick);
    onToggle(Check_ethernet, &TSettings::Check_ethernetClick);
    onToggle(Check_tovek_server, &TSettings::Check_tovek_serverClick);
    onToggle(Check_autopexor, &TSettings::Check_autopexorClick);
    onToggle(Check_autombus, &TSettings::Check_autombusClick);
    onToggle(Check_MSB, &TSettings::Check_MSBClick);
    onToggle(Check_LSB, &TSettings::Check_LSBClick);
    onToggle(Check_secMain, &TSettings::Check_secMainClick);
    connect(UD_addValues, &QSpinBox::valueChanged, this, [this] { EditAddValuesChange(); });

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
    connect(BitBtn4, &QPushButton::clicked, this, [this] { BitBtn4Click(); });
}

// --- loading ---

void TSettings::load()
{
    // Every value goes into its control at once, so each changed box runs its rule before
    // the next key is read: the order below settles contradictions in the file.
    const IniFile ini(iniPath_, FileWriter {});
    const auto text = [&](const char* section, const char* key, const char* def) {
        return q(ini.readString(section, key, def));
    };
    Combo_com_name->setEditText(text("Com port", "Name", "COM1"));
    Combo_com_speed->setEditText(text("Com port", "Speed", "300"));
    Combo_com_parity->setEditText(text("Com port", "Parity", "Even"));
    Check_rts->setChecked(ini.readBool("Com port", "RTS", false));
    Check_dtr->setChecked(ini.readBool("Com port", "DTR", false));
    Edit_export_separator->setText(text("Misc", "ExportSeparator", ";"));
    UD_retry_read->setValue(ini.readInteger("Misc", "Retry", 1));
    Check_ethernet->setChecked(ini.readBool("Misc", "UseEthernet", false));
    Check_xport->setChecked(ini.readBool("Misc", "UseLANXP", false));
    Check_tovek_server->setChecked(ini.readBool("Misc", "TovekServer", false));
    Check_5B->setChecked(ini.readBool("Misc", "Use5B", false));
    Global_init->setChecked(ini.readBool("Misc", "GlobalInit", false));
    Check_MSB->setChecked(ini.readBool("Misc", "MSBSearch", true));
    Check_LSB->setChecked(ini.readBool("Misc", "LSBSearch", false));
    Edit_tcp_port->setText(text("Ethernet", "port", "59615"));
    Check_open_tcp->setChecked(ini.readBool("Ethernet", "AutoOpen", true));
    Check_autopexor->setChecked(ini.readBool("Ethernet", "AutoDisplay", true));
    Check_autombus->setChecked(ini.readBool("Ethernet", "AutoMbus", false));
    Edit_lanxp_ip->setText(text("LANXP", "IP", "192.168.1.3"));
    Edit_lanxp_port->setText(text("LANXP", "Port", "10001"));
    Edit_net_number->setText(text("LANXP", "NetNumber", ""));
    UD_eth_timeout->setValue(ini.readInteger("LANXP", "EthTimeout", 50));
    UD_addValues->setValue(ini.readInteger("Titles", "Count", 0));
    for (int i = 0; i < 9; ++i) {
        const std::string key = "Title" + std::to_string(i + 1);
        titleEdits_[i]->setText(text("Titles", key.c_str(), ""));
    }
    Edit_secMain->setText(text("Titles", "SecMain", ""));
    Check_secMain->setChecked(ini.readBool("Misc", "SMain", false));
    Check_unicode->setChecked(ini.readBool("Misc", "Encoding", false));
}

void TSettings::FormCreate()
{
    load();
    Check_secMainClick();
    if (Check_unicode->isChecked())
        form11_.EncodingName = "Unicode";
    EnableTitleEdits();
}

void TSettings::FormActivate()
{
    load();
    EnableTitleEdits();
    Check_secMainClick();
    if (Check_unicode->isChecked())
        form11_.EncodingName = "Unicode";
    applyLanguageTexts();
}

// --- Apply, Cancel, Close ---

void TSettings::save(const IniFile& ini)
{
    if (!ini.save())
        prompts_.message(this, Prompts::Icon::Warning, "Saving settings",
                         "Settings will not be saved, no write permission", Prompts::Buttons::Ok);
}

void TSettings::BitBtn1Click()
{
    // All keys are composed first and saved at once: a failure leaves the file as it was.
    IniFile ini(iniPath_, atomicFileWriter());
    ini.writeString("Com port", "Name", bytesOf(Combo_com_name->currentText()));
    ini.writeString("Com port", "Speed", bytesOf(Combo_com_speed->currentText()));
    ini.writeString("Com port", "Parity", bytesOf(Combo_com_parity->currentText()));
    ini.writeBool("Com port", "RTS", Check_rts->isChecked());
    ini.writeBool("Com port", "DTR", Check_dtr->isChecked());
    ini.writeString("Misc", "ExportSeparator", bytesOf(Edit_export_separator->text()));
    ini.writeInteger("Misc", "Retry", UD_retry_read->value());
    ini.writeBool("Misc", "UseEthernet", Check_ethernet->isChecked());
    ini.writeBool("Misc", "UseLANXP", Check_xport->isChecked());
    ini.writeBool("Misc", "TovekServer", Check_tovek_server->isChecked());
    ini.writeBool("Misc", "Use5B", Check_5B->isChecked());
    ini.writeBool("Misc", "GlobalInit", Global_init->isChecked());
    ini.writeBool("Misc", "MSBSearch", Check_MSB->isChecked());
    ini.writeBool("Misc", "LSBSearch", Check_LSB->isChecked());
    ini.writeBool("Misc", "Encoding", Check_unicode->isChecked());
    ini.writeString("Ethernet", "Port", bytesOf(Edit_tcp_port->text()));
    ini.writeBool("Ethernet", "AutoOpen", Check_open_tcp->isChecked());
    ini.writeBool("Ethernet", "AutoDisplay", Check_autopexor->isChecked());
    ini.writeBool("Ethernet", "AutoMbus", Check_autombus->isChecked());
    ini.writeString("LANXP", "IP", bytesOf(Edit_lanxp_ip->text()));
    ini.writeString("LANXP", "Port", bytesOf(Edit_lanxp_port->text()));
    ini.writeString("LANXP", "NetNumber", bytesOf(Edit_net_number->text()));
    ini.writeInteger("LANXP", "EthTimeout", UD_eth_timeout->value());
    save(ini);

    form11_.EncodingName = Check_unicode->isChecked() ? "Unicode" : "CP 852";
    if (Check_ethernet->isChecked()) {
        form11_.Link.ClientOnListen = false;
        // The main window opens it again, at the port then typed, when it next becomes active.
        if (form11_.Link.ListenOpen) {
            try {
                form11_.CloseListenSocket();
            } catch (const std::exception& e) {
                form11_.Log.add(std::string("Unknown socket exception - ") + e.what());
            }
        }
    }
    form11_.LsbSearch = Check_LSB->isChecked();
    hide();
}

void TSettings::BitBtn3Click()
{
    IniFile ini(iniPath_, atomicFileWriter());
    ini.writeInteger("Titles", "Count", UD_addValues->value());
    for (int i = 0; i < 9; ++i)
        ini.writeString("Titles", "Title" + std::to_string(i + 1), bytesOf(titleEdits_[i]->text()));
    ini.writeString("Titles", "SecMain", bytesOf(Edit_secMain->text()));
    ini.writeBool("Misc", "SMain", Check_secMain->isChecked());
    save(ini);

    form11_.TitleCount = UD_addValues->value();
    for (int i = 0; i < 9; ++i)
        form11_.Titles[static_cast<std::size_t>(i)] = bytesOf(titleEdits_[i]->text()).substr(0, TitleLength);
    form11_.SecMainChanged = form11_.SecMainShown != Check_secMain->isChecked();
    form11_.Titles[9] = bytesOf(Edit_secMain->text()).substr(0, TitleLength);
    form11_.SecMainShown = Check_secMain->isChecked();
    hide();
}

void TSettings::BitBtn2Click() { hide(); }

void TSettings::BitBtn4Click() { hide(); }

// --- rules ---

void TSettings::Check_xportClick()
{
    if (Check_xport->isChecked()) {
        // The other two boxes go first: unticking the gateway server disables GroupBox4,
        // which the display module needs enabled.
        Check_ethernet->setChecked(false);
        Check_tovek_server->setChecked(false);
        GroupBox4->setEnabled(true);
        GroupBox3->setEnabled(false);
    } else if (!Check_tovek_server->isChecked()) {
        GroupBox4->setEnabled(false);
        GroupBox3->setEnabled(Check_ethernet->isChecked());
    }
}

void TSettings::Check_ethernetClick()
{
    if (Check_ethernet->isChecked()) {
        GroupBox4->setEnabled(false);
        Check_xport->setChecked(false);
        Check_tovek_server->setChecked(false);
        GroupBox3->setEnabled(true);
    } else {
        GroupBox3->setEnabled(false);
        GroupBox4->setEnabled(Check_xport->isChecked() || Check_tovek_server->isChecked());
    }
}

void TSettings::Check_tovek_serverClick()
{
    if (Check_tovek_server->isChecked()) {
        Check_xport->setChecked(false);
        GroupBox4->setEnabled(true);
        GroupBox3->setEnabled(false);
        Check_ethernet->setChecked(false);
    } else {
        GroupBox4->setEnabled(false);
        GroupBox3->setEnabled(Check_ethernet->isChecked());
    }
}

void TSettings::Check_autopexorClick()
{
    if (Check_autopexor->isChecked())
        Check_autombus->setChecked(false);
}

void TSettings::Check_autombusClick()
{
    if (Check_autombus->isChecked())
        Check_autopexor->setChecked(false);
}

void TSettings::Check_MSBClick() { Check_LSB->setChecked(!Check_MSB->isChecked()); }

void TSettings::Check_LSBClick() { Check_MSB->setChecked(!Check_LSB->isChecked()); }

void TSettings::Check_secMainClick() { Edit_secMain->setEnabled(Check_secMain->isChecked()); }

void TSettings::EditAddValuesChange() { EnableTitleEdits(); }

void TSettings::DisableTitleEdits()
{
    for (QLineEdit* edit : titleEdits_)
        edit->setEnabled(false);
}

void TSettings::EnableTitleEdits()
{
    DisableTitleEdits();
    for (int i = 0; i < UD_addValues->value() && i < 9; ++i)
        titleEdits_[i]->setEnabled(true);
}

// --- texts ---

namespace {

void applyTexts(TSettings& w, const Texts& t)
{
    w.setWindowTitle(q(t.caption));
    w.GroupBox1->setTitle(q(t.group1));
    const std::pair<QLabel*, const std::string*> labels[] = {
        {w.Label1, &t.label1}, {w.Label2, &t.label2}, {w.Label3, &t.label3},
        {w.Label4, &t.label4}, {w.Label5, &t.label5}};
    for (const auto& [l, text] : labels) {
        l->setText(q(*text));
        l->adjustSize();
    }
    w.BitBtn2->setText(q(t.cancel));
    w.BitBtn1->setText(q(t.apply));
    w.Label6->setVisible(t.accents);
    w.Label7->setVisible(t.accents);
}

} // namespace

void TSettings::SettingsTextsEnglish()
{
    applyTexts(*this, {"Settings", "   Serial port settings   ", "Name", "Speed", "Parity",
                       "Export separator:", "Retries", "Cancel", "Apply", false});
    placeAccents();
}

void TSettings::SettingsTextsItalian()
{
    applyTexts(*this, {"Impostazioni", "   Impostazioni seriale   ", "Nome", "Velocita", "Parita",
                       "Separatore:", "Tentativi", "Cancella", "Applica", true});
    placeAccents();
}

void TSettings::SettingsTextsPolish()
{
    const auto pl = PolishLetter;
    applyTexts(*this, {"Ustawienia", "   Ustawienia portu   ", "Nazwa", "Pr" + pl(u'ę') + "dko" + pl(u'ś') + pl(u'ć'),
                       "Parzysto" + pl(u'ś') + pl(u'ć'), "Separator eksportu danych:",
                       "Pr" + pl(u'ó') + "by ponowienia", "Anuluj", "Akceptuj", false});
    placeAccents();
}

void TSettings::applyLanguageTexts()
{
    if (form11_.English1->isChecked()) {
        SettingsTextsEnglish();
        return;
    }
    if (form11_.Italian1->isChecked())
        SettingsTextsItalian();
    if (form11_.Polish1->isChecked())
        SettingsTextsPolish();
}

void TSettings::placeAccents()
{
    AccentLabel::place(Label6, Label2);
    AccentLabel::place(Label7, Label3);
}

// --- window events ---

bool TSettings::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate) {
        try {
            FormActivate();
        } catch (const std::exception&) {
            // A reload that fails leaves the controls as they are.
        }
    }
    return QWidget::event(event);
}

void TSettings::closeEvent(QCloseEvent* event)
{
    // The window manager's close does what Cancel does.
    event->ignore();
    hide();
}
