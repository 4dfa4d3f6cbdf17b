// The gateways' page "Communication devices": its controls, the captions no language
// changes, the model switch, the operator boxes and the key filters. The tab stays hidden.
#include "TForm11.h"

#include "GatewayCommands.h"
#include "MainWindowControls.h"
#include "UpDownEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>
#include <span>
#include <string_view>

namespace {

const QString Digits = QStringLiteral("0123456789");
const QString DigitsAndDot = QStringLiteral("0123456789.");
constexpr int AddressLength = 15;

// An editable list of names that starts with none chosen: a name may also be typed.
QComboBox* combo(QWidget* parent, const char* name, std::span<const std::string_view> names)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    QStringList items;
    for (const std::string_view n : names)
        items << QString::fromLatin1(n.data(), static_cast<qsizetype>(n.size()));
    c->addItems(items);
    c->setCurrentIndex(-1);
    c->clearEditText();
    c->setFixedWidth(90);
    return c;
}

// The page's up-downs: read-only edits, the arrows set the value.
constexpr int UpDownWidth = 56;

} // namespace

void TForm11::buildGatewayPage()
{
    auto* page = new QVBoxLayout(TabSheet2);
    auto* top = new QHBoxLayout;
    // The model names and the operator numbers are the same in every language; the language
    // routine gives the other captions.
    Check_sarnel = checkBox(TabSheet2, "Check_sarnel", "Sarnel");
    Check_tovek2 = checkBox(TabSheet2, "Check_tovek2", "Tovek");
    Butt_eth_main = button(TabSheet2, "Butt_eth_main");
    Butt_eth_service = button(TabSheet2, "Butt_eth_service");
    Butt_eth_conn = button(TabSheet2, "Butt_eth_conn");
    Butt_eth_oper = button(TabSheet2, "Butt_eth_oper");
    Butt_tovek2_test = button(TabSheet2, "Butt_tovek2_test");
    for (QWidget* w : std::initializer_list<QWidget*> {Check_sarnel, Check_tovek2})
        top->addWidget(w);
    top->addSpacing(24);
    for (QWidget* w : std::initializer_list<QWidget*> {Butt_eth_main, Butt_eth_service, Butt_eth_conn,
                                                       Butt_eth_oper, Butt_tovek2_test})
        top->addWidget(w);
    top->addStretch(1);
    page->addLayout(top);

    auto* groups = new QHBoxLayout;
    GroupBox1 = new QGroupBox(TabSheet2);
    GroupBox1->setObjectName("GroupBox1");
    buildGatewayAddresses(GroupBox1);
    GroupBox2 = new QGroupBox(TabSheet2);
    GroupBox2->setObjectName("GroupBox2");
    buildGatewayOptions(GroupBox2);
    groups->addWidget(GroupBox1, 3);
    groups->addWidget(GroupBox2, 2);
    page->addLayout(groups);
    page->addStretch(1);

    // Sizes that let the page fit the window's width: the address edits take a full dotted
    // address, the "Set" buttons their caption in every language.
    for (QLineEdit* e : {Edit_own_ip, Edit_mask_ip, Edit_gw_ip, Edit_network, Edit_man_ip, Edit_control_ip,
                         Edit_op1_ip})
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")) + 14);
    for (QLineEdit* e : {Edit_gprs_pin, Edit_gprs_username, Edit_gprs_pass, Edit_apn, Edit_phone_number})
        e->setMinimumWidth(110);
    for (QPushButton* b : {Butt_CMT, Butt_CET, Butt_MET, Butt_tovek_nn, Butt_tovek_manip, Butt_tovek2_conip,
                           Butt_tovek2_op1, Butt_gprs_pin, Butt_gprs_user, Butt_gprs_pass, Butt_apn,
                           Butt_phone_number, Butt_DDT, Butt_OHA, Butt_TXG, Butt_RXG, Butt_DPP,
                           Butt_tovek_mbus_response})
        b->setFixedWidth(64);

    connectGatewayPage();
}

void TForm11::buildGatewayAddresses(QWidget* g)
{
    auto* grid = new QGridLayout(g);
    grid->setVerticalSpacing(4);
    // One row: the label, the edit and its "Set" button.
    const auto row = [grid](int r, QLabel* l, QWidget* edit, QPushButton* set) {
        grid->addWidget(l, r, 0);
        grid->addWidget(edit, r, 1);
        grid->addWidget(set, r, 2);
    };

    Label14 = label(g, "Label14");
    Edit_own_ip = lineEdit(g, "Edit_own_ip", AddressLength, DigitsAndDot);
    Butt_CMT = button(g, "Butt_CMT");
    row(0, Label14, Edit_own_ip, Butt_CMT);
    Label3 = label(g, "Label3");
    Edit_mask_ip = lineEdit(g, "Edit_mask_ip", AddressLength, DigitsAndDot);
    Butt_CET = button(g, "Butt_CET");
    row(1, Label3, Edit_mask_ip, Butt_CET);
    Label19 = label(g, "Label19");
    Edit_gw_ip = lineEdit(g, "Edit_gw_ip", AddressLength, DigitsAndDot);
    Butt_MET = button(g, "Butt_MET");
    row(2, Label19, Edit_gw_ip, Butt_MET);
    Label16 = label(g, "Label16");
    Edit_network = lineEdit(g, "Edit_network", AddressLength, DigitsAndDot);
    Butt_tovek_nn = button(g, "Butt_tovek_nn");
    row(3, Label16, Edit_network, Butt_tovek_nn);
    Label15 = label(g, "Label15");
    Edit_man_ip = lineEdit(g, "Edit_man_ip", AddressLength, DigitsAndDot);
    Butt_tovek_manip = button(g, "Butt_tovek_manip");
    row(4, Label15, Edit_man_ip, Butt_tovek_manip);
    Label26 = label(g, "Label26");
    Edit_control_ip = lineEdit(g, "Edit_control_ip", AddressLength, DigitsAndDot);
    Butt_tovek2_conip = button(g, "Butt_tovek2_conip");
    row(5, Label26, Edit_control_ip, Butt_tovek2_conip);
    Label17 = label(g, "Label17");
    Edit_op1_ip = lineEdit(g, "Edit_op1_ip", AddressLength, DigitsAndDot);
    Butt_tovek2_op1 = button(g, "Butt_tovek2_op1");
    row(6, Label17, Edit_op1_ip, Butt_tovek2_op1);
    auto* operators = new QHBoxLayout;
    Check_op1 = checkBox(g, "Check_op1", "#1");
    Check_op2 = checkBox(g, "Check_op2", "#2");
    Check_op3 = checkBox(g, "Check_op3", "#3");
    Check_op4 = checkBox(g, "Check_op4", "#4");
    for (QCheckBox* c : {Check_op1, Check_op2, Check_op3, Check_op4})
        operators->addWidget(c);
    operators->addStretch(1);
    grid->addLayout(operators, 7, 1, 1, 2);

    // The GPRS rows below the addresses: side by side they would not fit the window in every
    // language.
    Label2 = label(g, "Label2");
    Edit_gprs_pin = lineEdit(g, "Edit_gprs_pin", 4, Digits);
    Butt_gprs_pin = button(g, "Butt_gprs_pin");
    row(8, Label2, Edit_gprs_pin, Butt_gprs_pin);
    Label9 = label(g, "Label9");
    Edit_gprs_username = lineEdit(g, "Edit_gprs_username", 19);
    Butt_gprs_user = button(g, "Butt_gprs_user");
    row(9, Label9, Edit_gprs_username, Butt_gprs_user);
    Label11 = label(g, "Label11");
    Edit_gprs_pass = lineEdit(g, "Edit_gprs_pass", 19);
    Butt_gprs_pass = button(g, "Butt_gprs_pass");
    row(10, Label11, Edit_gprs_pass, Butt_gprs_pass);
    Label18 = label(g, "Label18");
    Edit_apn = lineEdit(g, "Edit_apn", 27);
    Butt_apn = button(g, "Butt_apn");
    row(11, Label18, Edit_apn, Butt_apn);
    Label27 = label(g, "Label27");
    Edit_phone_number = lineEdit(g, "Edit_phone_number", 20);
    Butt_phone_number = button(g, "Butt_phone_number");
    row(12, Label27, Edit_phone_number, Butt_phone_number);
    Butt_saveall = button(g, "Butt_saveall", "Set All");
    Butt_saveall->hide();
    grid->addWidget(Butt_saveall, 13, 2);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(14, 1);
}

void TForm11::buildGatewayOptions(QWidget* g)
{
    auto* grid = new QGridLayout(g);
    grid->setVerticalSpacing(4);
    Label29 = label(g, "Label29");
    Combo_com2_speed = combo(g, "Combo_com2_speed", GatewaySpeedNames);
    Label21 = label(g, "Label21");
    Combo_com2_parity = combo(g, "Combo_com2_parity", GatewayParityNames);
    Butt_DDT = button(g, "Butt_DDT");
    grid->addWidget(Label29, 0, 0);
    grid->addWidget(Combo_com2_speed, 0, 1);
    grid->addWidget(Label21, 1, 0);
    grid->addWidget(Combo_com2_parity, 1, 1);
    grid->addWidget(Butt_DDT, 1, 2);

    Label20 = label(g, "Label20");
    grid->addWidget(Label20, 2, 0, 1, 2);
    auto* due = new QHBoxLayout;
    Label25 = label(g, "Label25");
    UD_day = upDown(g, "UD_day", "Edit_day", 1, 31, true, UpDownWidth);
    Edit_day = UD_day->edit();
    Label30 = label(g, "Label30");
    UD_hour = upDown(g, "UD_hour", "Edit_hour", 0, 23, true, UpDownWidth);
    Edit_hour = UD_hour->edit();
    Label31 = label(g, "Label31");
    UD_minute = upDown(g, "UD_minute", "Edit_minute", 0, 59, true, UpDownWidth);
    Edit_minute = UD_minute->edit();
    due->setSpacing(6);
    for (QWidget* w : std::initializer_list<QWidget*> {Label25, UD_day, Label30, UD_hour, Label31, UD_minute}) {
        if (w == Label30 || w == Label31)
            due->addSpacing(10);
        due->addWidget(w);
    }
    due->addStretch(1);
    grid->addLayout(due, 3, 0, 1, 2);
    Butt_OHA = button(g, "Butt_OHA");
    grid->addWidget(Butt_OHA, 3, 2);

    const auto row = [grid](int r, QLabel* l, QWidget* upDown, QPushButton* set) {
        grid->addWidget(l, r, 0);
        grid->addWidget(upDown, r, 1, Qt::AlignLeft);
        grid->addWidget(set, r, 2);
    };
    Label22 = label(g, "Label22");
    UD_retries = upDown(g, "UD_retries", "Edit_retries", 1, 16, true, UpDownWidth);
    Edit_retries = UD_retries->edit();
    Butt_TXG = button(g, "Butt_TXG");
    row(4, Label22, UD_retries, Butt_TXG);
    Label24 = label(g, "Label24");
    UD_retry_timeout = upDown(g, "UD_retry_timeout", "Edit_retry_timeout", 1, 50, true, UpDownWidth);
    Edit_retry_timeout = UD_retry_timeout->edit();
    Butt_RXG = button(g, "Butt_RXG");
    row(5, Label24, UD_retry_timeout, Butt_RXG);
    Label23 = label(g, "Label23");
    UD_ping = upDown(g, "UD_ping", "Edit_ping", 1, 48, true, UpDownWidth);
    Edit_ping = UD_ping->edit();
    Butt_DPP = button(g, "Butt_DPP");
    row(6, Label23, UD_ping, Butt_DPP);
    Label28 = label(g, "Label28");
    UD_tovek_mbus = upDown(g, "UD_tovek_mbus", "Edit_tovek_mbus_response", 3, 25, true, UpDownWidth);
    Edit_tovek_mbus_response = UD_tovek_mbus->edit();
    Butt_tovek_mbus_response = button(g, "Butt_tovek_mbus_response");
    row(7, Label28, UD_tovek_mbus, Butt_tovek_mbus_response);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    Butt_eth_date = button(g, "Butt_eth_date");
    Butt_eth_time = button(g, "Butt_eth_time");
    Butt_gprs_info = button(g, "Butt_gprs_info");
    Butt_gprs_stat = button(g, "Butt_gprs_stat");
    for (QPushButton* b : {Butt_eth_date, Butt_eth_time, Butt_gprs_info, Butt_gprs_stat})
        buttons->addWidget(b);
    buttons->addStretch(1);
    grid->addLayout(buttons, 8, 0, 1, 3);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(9, 1);
}

void TForm11::connectGatewayPage()
{
    connectClicked(Butt_CMT, &TForm11::Butt_CMTClick);
    connectClicked(Butt_MET, &TForm11::Butt_METClick);
    connectClicked(Butt_CET, &TForm11::Butt_CETClick);
    connectClicked(Butt_tovek_nn, &TForm11::Butt_tovek_nnClick);
    connectClicked(Butt_tovek_manip, &TForm11::Butt_tovek_manipClick);
    connectClicked(Butt_tovek2_conip, &TForm11::Butt_tovek2_conipClick);
    connectClicked(Butt_tovek2_op1, &TForm11::Butt_tovek2_op1Click);
    connectClicked(Butt_DDT, &TForm11::Butt_DDTClick);
    connectClicked(Butt_OHA, &TForm11::Butt_OHAClick);
    connectClicked(Butt_TXG, &TForm11::Butt_TXGClick);
    connectClicked(Butt_RXG, &TForm11::Butt_RXGClick);
    connectClicked(Butt_DPP, &TForm11::Butt_DPPClick);
    connectClicked(Butt_tovek_mbus_response, &TForm11::Butt_tovek_mbus_responseClick);
    connectClicked(Butt_eth_date, &TForm11::Butt_eth_dateClick);
    connectClicked(Butt_eth_time, &TForm11::Butt_eth_timeClick);
    connectClicked(Butt_apn, &TForm11::Butt_apnClick);
    connectClicked(Butt_phone_number, &TForm11::Butt_phone_numberClick);
    connectClicked(Butt_gprs_pin, &TForm11::Butt_gprs_pinClick);
    connectClicked(Butt_gprs_user, &TForm11::Butt_gprs_userClick);
    connectClicked(Butt_gprs_pass, &TForm11::Butt_gprs_passClick);
    connectClicked(Butt_tovek2_test, &TForm11::Butt_tovek2_testClick);
    connectClicked(Butt_eth_main, &TForm11::Butt_eth_mainClick);
    connectClicked(Butt_eth_service, &TForm11::Butt_eth_serviceClick);
    connectClicked(Butt_eth_conn, &TForm11::Butt_eth_connClick);
    connectClicked(Butt_eth_oper, &TForm11::Butt_eth_operClick);
    connectClicked(Butt_gprs_info, &TForm11::Butt_gprs_infoClick);
    connectClicked(Butt_gprs_stat, &TForm11::Butt_gprs_statClick);

    // On toggled: a rule runs on every real change, whoever makes it.
    connect(Check_sarnel, &QCheckBox::toggled, this, [this] { Check_sarnelClick(); });
    connect(Check_tovek2, &QCheckBox::toggled, this, [this] { Check_tovek2Click(); });
    int number = 1;
    for (QCheckBox* c : {Check_op1, Check_op2, Check_op3, Check_op4}) {
        connect(c, &QCheckBox::toggled, this, [this, number] { Check_opClick(number); });
        ++number;
    }
}

// --- rules ---

void TForm11::Check_sarnelClick()
{
    Check_tovek2->setChecked(!Check_sarnel->isChecked());
    setModelLayout(Check_sarnel->isChecked());
}

void TForm11::Check_tovek2Click()
{
    Check_sarnel->setChecked(!Check_tovek2->isChecked());
    setModelLayout(!Check_tovek2->isChecked());
}

void TForm11::setModelLayout(bool sarnel)
{
    // The Ethernet model's own controls, and the GPRS model's. An up-down's edit follows its box.
    for (QWidget* w : std::initializer_list<QWidget*> {Edit_own_ip, Butt_CMT, Edit_mask_ip, Butt_CET, UD_retries,
                                                       Butt_TXG, UD_retry_timeout, Butt_RXG})
        w->setEnabled(!sarnel);
    for (QWidget* w : std::initializer_list<QWidget*> {Edit_gprs_pin, Butt_gprs_pin, Edit_gprs_username,
                                                       Butt_gprs_user, Edit_gprs_pass, Butt_gprs_pass, Edit_apn,
                                                       Butt_apn, Edit_phone_number, Butt_phone_number,
                                                       Butt_gprs_info, Butt_gprs_stat})
        w->setEnabled(sarnel);
}

void TForm11::Check_opClick(int number)
{
    // A ticked box unticks the other three.
    const std::array<QCheckBox*, 4> boxes {Check_op1, Check_op2, Check_op3, Check_op4};
    QCheckBox* const ticked = boxes[static_cast<std::size_t>(number - 1)];
    if (!ticked->isChecked())
        return;
    for (QCheckBox* c : boxes)
        if (c != ticked)
            c->setChecked(false);
}
