#include "TFUsers.h"

#include "AtomicFile.h"
#include "LanguageTexts.h"
#include "LocaleTime.h"
#include "PasswordBox.h"
#include "PasswordHash.h"
#include "Prompts.h"
#include "StringGridView.h"
#include "TForm11.h"
#include "Text8.h"
#include "UsersFile.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <algorithm>
#include <exception>

namespace {

constexpr int WindowWidth = 570;
constexpr int WindowHeight = 360;
constexpr int ColumnWidths[6] = {64, 88, 97, 106, 64, 64};

const char* const MissingFileText = "Missing account file!\nContact administrator";
const char* const UnsupportedText = "Unsupported character in user name, password or access level";

QString q(std::string_view bytes) { return Text8::toUnicode(bytes); }

QLabel* label(QWidget* parent, const char* name, const char* text, int x, int y)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(x, y, 150, 22);
    return l;
}

QLineEdit* lineEdit(QWidget* parent, const char* name, const QRect& place, bool password)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setGeometry(place);
    e->setMaxLength(static_cast<int>(UserNameCapacity));
    if (password)
        e->setEchoMode(QLineEdit::Password);
    return e;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const char* text, int y)
{
    auto* c = new QCheckBox(text, parent);
    c->setObjectName(name);
    // Wide enough for the longest caption, the Polish display right.
    c->setGeometry(306, y, 258, 22);
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
    std::string caption, label1, label2, label3, label4, dev, comm, display, require, add, del, end;
    std::optional<std::string> header0;   // nothing: the header keeps its text
    std::string header1, header2, header3, header4, header5;
};

const char* yesNo(bool granted) { return granted ? "Yes" : "No"; }

} // namespace

TFUsers::TFUsers(TForm11& form11, const ProgramPaths& paths, Prompts& prompts, Clock& clock)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowMinimizeButtonHint | Qt::WindowStaysOnTopHint),
      form11_(form11), paths_(paths), prompts_(prompts), clock_(clock)
{
    setObjectName("FUsers");
    setWindowTitle("Users and accounts");
    setFixedSize(WindowWidth, WindowHeight);

    Grid_users = new StringGridView(6, 2, this);
    Grid_users->setObjectName("Grid_users");
    Grid_users->setGeometry(8, 8, WindowWidth - 16, 150);
    Grid_users->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (int c = 0; c < 6; ++c)
        Grid_users->setColumnWidth(c, ColumnWidths[c]);
    Grid_users->grid().setSelectListener([this](int col, int row) { Grid_usersSelectCell(col, row); });

    Label1 = label(this, "Label1", "User:", 16, 172);
    Label2 = label(this, "Label2", "Password:", 16, 202);
    Label3 = label(this, "Label3", "Re-type password:", 16, 232);
    Label4 = label(this, "Label4", "Access level:", 16, 262);
    Edit_user = lineEdit(this, "Edit_user", QRect(166, 170, 130, 24), false);
    Edit_pass1 = lineEdit(this, "Edit_pass1", QRect(166, 200, 130, 24), true);
    Edit_pass2 = lineEdit(this, "Edit_pass2", QRect(166, 230, 130, 24), true);
    Combo_access = new QComboBox(this);
    Combo_access->setObjectName("Combo_access");
    Combo_access->setEditable(true);
    Combo_access->setInsertPolicy(QComboBox::NoInsert);
    Combo_access->addItems({"Administrator", "Setup", "Operator"});
    Combo_access->setGeometry(166, 260, 130, 24);
    Combo_access->setEditText(QString());

    Check_dev = checkBox(this, "Check_dev", "Allow setting devices", 170);
    Check_comm = checkBox(this, "Check_comm", "Allow setting communication", 196);
    Check_comm->hide();
    Check_display = checkBox(this, "Check_display", "Allow setting display", 196);
    Check_require = checkBox(this, "Check_require", "Require login", 222);
    Check_require->hide();

    Butt_delete = button(this, "Butt_delete", "Delete", QRect(16, 314, 110, 32));
    Butt_add = button(this, "Butt_add", "Add/Change", QRect(318, 314, 120, 32));
    Butt_end = button(this, "Butt_end", "Exit", QRect(446, 314, 110, 32));
    connect(Butt_add, &QPushButton::clicked, this, [this] { Butt_addClick(); });
    connect(Butt_delete, &QPushButton::clicked, this, [this] { Butt_deleteClick(); });
    connect(Butt_end, &QPushButton::clicked, this, [this] { Butt_endClick(); });

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(WindowWidth / 2, WindowHeight / 2));

    FormCreate();
}

void TFUsers::FormCreate()
{
    StringGrid& g = Grid_users->grid();
    const char* const headers[6] = {"User", "Access", "Date reg.", "m-bus", "Comm", "Display"};
    for (int c = 0; c < 6; ++c)
        g.setCell(c, 0, headers[c]);
}

std::string TFUsers::usersPath() const { return paths_.filesDir() + "/users.dat"; }

void TFUsers::plainBox(const std::string& text)
{
    prompts_.message(this, Prompts::Icon::None, "Ferolt", text, Prompts::Buttons::Ok);
}

void TFUsers::accountErrorBox()
{
    prompts_.message(this, Prompts::Icon::Error, "Account error", MissingFileText, Prompts::Buttons::Ok);
}

// Widens each column whose header or longest text would not show whole ("Administrator" in
// the level column, a date in a longer form, a Polish header); no column becomes narrower than
// its width at creation.
void TFUsers::fitColumnsToCells()
{
    const StringGrid& g = Grid_users->grid();
    const QFontMetrics metrics = Grid_users->fontMetrics();
    const int margins = 2 * Grid_users->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, Grid_users) + 8;
    const QHeaderView* header = Grid_users->horizontalHeader();
    const int headerMargins = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) + 2;
    for (int c = 0; c < g.ColCount(); ++c) {
        int needed = std::max(ColumnWidths[c],
                              header->fontMetrics().horizontalAdvance(Text8::toUnicode(g.cell(c, 0))) + headerMargins);
        for (int r = 1; r < g.RowCount(); ++r)
            needed = std::max(needed, metrics.horizontalAdvance(Text8::toUnicode(g.cell(c, r))) + margins);
        Grid_users->setColumnWidth(c, needed);
    }
}

void TFUsers::fillGrid(const std::vector<UserRecord>& records)
{
    StringGrid& g = Grid_users->grid();
    g.setRowCount(2);
    g.clearRow(1);
    int row = 1;
    for (const UserRecord& r : records) {
        g.setCell(0, row, r.name);
        g.setCell(1, row, r.level);
        g.setCell(2, row, r.date);
        g.setCell(3, row, yesNo(r.rights.devices));
        g.setCell(4, row, yesNo(r.rights.communication));
        g.setCell(5, row, yesNo(r.rights.display));
        g.setRowCount(row + 2);
        ++row;
    }
    fitColumnsToCells();
}

void TFUsers::FormActivate()
{
    const UsersFileRead file = ReadUsersFile(usersPath(), true);
    if (!file.ok()) {
        if (!listBoxShown_) {
            listBoxShown_ = true;
            plainBox("Missing account file");
        }
        return;
    }
    listBoxShown_ = false;
    fillGrid(file.records);
    applyLanguageTexts();
}

void TFUsers::Grid_usersSelectCell(int /*col*/, int row)
{
    const StringGrid& g = Grid_users->grid();
    Edit_user->setText(q(g.cell(0, row)));
    Combo_access->setEditText(q(g.cell(1, row)));
    Check_dev->setChecked(g.cell(3, row) == "Yes");
    Check_comm->setChecked(g.cell(4, row) == "Yes");
    Check_display->setChecked(g.cell(5, row) == "Yes");
}

void TFUsers::Butt_addClick()
{
    try {
        addOrChange();
    } catch (const std::exception&) {
        accountErrorBox();
    }
}

void TFUsers::addOrChange()
{
    if (Edit_user->text().isEmpty()) {
        plainBox("Enter username");
        return;
    }
    if (Edit_pass1->text().isEmpty() || Edit_pass2->text().isEmpty()) {
        plainBox("Enter password (both fields)");
        return;
    }
    if (Combo_access->currentText().isEmpty()) {
        plainBox("Select access level for this user");
        return;
    }
    if (Edit_pass1->text() != Edit_pass2->text()) {
        plainBox("Passwords does not match!");
        return;
    }
    // A character the file's code page lacks would be stored as "?", so that two different
    // names or passwords could become one.
    const std::optional<std::string> name = Text8::fromUnicodeChecked(Edit_user->text());
    std::optional<std::string> password = Text8::fromUnicodeChecked(Edit_pass1->text());
    const std::optional<std::string> level = Text8::fromUnicodeChecked(Combo_access->currentText());
    if (!name || !password || !level) {
        plainBox(UnsupportedText);
        return;
    }

    UsersFileRead file = ReadUsersFile(usersPath(), true);
    if (!file.ok()) {
        accountErrorBox();
        return;
    }
    const UserRights rights {Check_dev->isChecked(), Check_comm->isChecked(), Check_display->isChecked()};
    const AddOutcome outcome = AddOrChangeUser(file.records, *name, *password, *level, rights,
                                               ShortDateText(clock_.now()), HashPassword);
    std::fill(password->begin(), password->end(), '\0');
    if (outcome == AddOutcome::LastAdministrator) {
        plainBox("The last administrator must keep the level Administrator");
        return;
    }
    if (!WriteUsersFile(usersPath(), file.records, atomicFileWriter(UsersFileMode))) {
        accountErrorBox();
        return;
    }
    Edit_user->clear();
    forget(Edit_pass1);
    forget(Edit_pass2);
    Combo_access->setEditText(QString());
    FormActivate();
}

void TFUsers::Butt_deleteClick()
{
    try {
        UsersFileRead file = ReadUsersFile(usersPath(), true);
        if (!file.ok()) {
            plainBox("Missing account file!");
            return;
        }
        // A name the file's code page cannot hold names no account.
        const std::optional<std::string> name = Text8::fromUnicodeChecked(Edit_user->text());
        const DeleteOutcome outcome = name ? DeleteUser(file.records, *name) : DeleteOutcome::NotFound;
        if (outcome == DeleteOutcome::LastAdministrator) {
            plainBox("The last administrator cannot be deleted");
        } else if (outcome == DeleteOutcome::Deleted) {
            if (!WriteUsersFile(usersPath(), file.records, atomicFileWriter(UsersFileMode))) {
                plainBox("Missing account file!");
                return;
            }
            fillGrid(file.records);
        }
        applyLanguageTexts();
    } catch (const std::exception&) {
        plainBox("Missing account file!");
    }
}

void TFUsers::FormClose()
{
    Edit_user->clear();
    forget(Edit_pass1);
    forget(Edit_pass2);
    Combo_access->setEditText(QString());
    Check_dev->setChecked(false);
    Check_comm->setChecked(false);
    Check_display->setChecked(false);
}

void TFUsers::Butt_endClick() { close(); }

// --- texts ---

namespace {

void applyTexts(TFUsers& w, const Texts& t)
{
    w.setWindowTitle(q(t.caption));
    w.Label1->setText(q(t.label1));
    w.Label2->setText(q(t.label2));
    w.Label3->setText(q(t.label3));
    w.Label4->setText(q(t.label4));
    w.Check_dev->setText(q(t.dev));
    w.Check_comm->setText(q(t.comm));
    w.Check_display->setText(q(t.display));
    w.Check_require->setText(q(t.require));
    w.Butt_add->setText(q(t.add));
    w.Butt_delete->setText(q(t.del));
    w.Butt_end->setText(q(t.end));
    StringGrid& g = w.Grid_users->grid();
    if (t.header0)
        g.setCell(0, 0, *t.header0);
    g.setCell(1, 0, t.header1);
    g.setCell(2, 0, t.header2);
    g.setCell(3, 0, t.header3);
    g.setCell(4, 0, t.header4);
    g.setCell(5, 0, t.header5);
}

} // namespace

void TFUsers::UsersTextsEnglish()
{
    applyTexts(*this, {"Users and accounts", "User:", "Password:", "Re-type password:", "Access level:",
                       "Allow settings devices", "Allow setting communication", "Allow setting display",
                       "Require login", "Add/Change", "Delete", "Exit", "User", "Access", "Date reg.",
                       "m-bus", "Comm", "Display"});
}

void TFUsers::UsersTextsItalian()
{
    applyTexts(*this, {"Utenti e account", "Nome utente:", "Password:", "Re-inserisci password:",
                       "Livello di accesso:", "Consenti config. dispositivi",
                       "Consenti config. comunicazione", "Consenti config. display", "Require login",
                       "Aggiungi/Change", "Cancella", "Esci", "Utenti", "Accesso", "Data res.", "m-bus",
                       "Comm", "Display"});
}

void TFUsers::UsersTextsPolish()
{
    const auto pl = PolishLetter;
    // The user label has an 8-bit form and a plain one for the Unicode setting.
    const std::string label1 = form11_.EncodingName == "CP 852" ? "U" + pl(u'ż') + "ytkownik:" : "Uzytkownik:";
    applyTexts(*this, {"Konta I u" + pl(u'ż') + "ytkownicy", label1, "Has" + pl(u'ł') + "o:",
                       "Powt" + pl(u'ó') + "rz " + "has" + pl(u'ł') + "o:", "Poziom dost" + pl(u'ę') + "pu:",
                       "Zezw" + pl(u'ó') + "l na konfiguracj" + pl(u'ę') + " urz" + pl(u'ą') + "dze" + pl(u'ń'),
                       "Zezw" + pl(u'ó') + "l na konfiguracj" + pl(u'ę') + " komunikacji",
                       "Zezw" + pl(u'ó') + "l na konfiguracj" + pl(u'ę') + " wy" + pl(u'ś') + "wietlacza",
                       "Require login", "Dodaj", "Usu" + pl(u'ń'), "Wyj" + pl(u'ś') + "cie", std::nullopt,
                       "Dost" + pl(u'ę') + "p", "Data rej.", "m-bus", "Comm", "wy" + pl(u'ś') + "wietlacza"});
}

void TFUsers::applyLanguageTexts()
{
    if (form11_.English1->isChecked()) {
        UsersTextsEnglish();
    } else {
        if (form11_.Italian1->isChecked())
            UsersTextsItalian();
        if (form11_.Polish1->isChecked())
            UsersTextsPolish();
    }
    // The headers are this language's now.
    fitColumnsToCells();
}

// --- window events ---

bool TFUsers::event(QEvent* event)
{
    if (event->type() == QEvent::Show)
        listBoxShown_ = false;
    if (event->type() == QEvent::WindowActivate) {
        try {
            FormActivate();
        } catch (const std::exception&) {
            // A load that fails leaves the grid as it was.
        }
    }
    return QWidget::event(event);
}

void TFUsers::closeEvent(QCloseEvent* event)
{
    try {
        FormClose();
    } catch (const std::exception&) {
    }
    // The window stays created and can be shown again.
    event->ignore();
    hide();
}
