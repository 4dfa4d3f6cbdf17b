#include "TLogin.h"

#include "AtomicFile.h"
#include "LanguageTexts.h"
#include "IniFile.h"
#include "LocaleTime.h"
#include "PasswordBox.h"
#include "PasswordHash.h"
#include "Prompts.h"
#include "TForm11.h"
#include "Text8.h"
#include "UsersFile.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <exception>

namespace {

constexpr int WindowWidth = 247;
constexpr int WindowHeight = 204;
constexpr int TypedLength = 15;

const char* const LoginFailCaption = "Login fail";
const char* const MissingFileText = "Missing account file!\nContact administrator";

QString q(std::string_view bytes) { return Text8::toUnicode(bytes); }

QLineEdit* lineEdit(QWidget* parent, const char* name, const QRect& place)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setGeometry(place);
    e->setMaxLength(TypedLength);
    return e;
}

QPushButton* pictureButton(QWidget* parent, const char* name, const char* text, QStyle::StandardPixmap icon,
                           const QRect& place)
{
    auto* b = new QPushButton(parent->style()->standardIcon(icon), text, parent);
    b->setObjectName(name);
    b->setGeometry(place);
    b->setAutoDefault(false);
    return b;
}

} // namespace

TLogin::TLogin(const ProgramPaths& paths, Prompts& prompts, Clock& clock, QuitCall quit)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowMinimizeButtonHint | Qt::WindowStaysOnTopHint
                           | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      paths_(paths), prompts_(prompts), clock_(clock), quit_(std::move(quit))
{
    setObjectName("Login");
    setFixedSize(WindowWidth, WindowHeight);
    if (!quit_)
        quit_ = [] { QCoreApplication::quit(); };

    Label1 = new QLabel("Username:", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(16, 14, 215, 20);
    Edit_username = lineEdit(this, "Edit_username", QRect(16, 36, 215, 26));
    Label2 = new QLabel("Password:", this);
    Label2->setObjectName("Label2");
    Label2->setGeometry(16, 74, 215, 20);
    Edit_pass = lineEdit(this, "Edit_pass", QRect(16, 96, 215, 26));
    Edit_pass->setEchoMode(QLineEdit::Password);
    Butt_enter = pictureButton(this, "Butt_enter", "OK", QStyle::SP_DialogOkButton, QRect(16, 150, 103, 32));
    Butt_cancel = pictureButton(this, "Butt_cancel", "Cancel", QStyle::SP_DialogCancelButton,
                                QRect(128, 150, 103, 32));
    setTabOrder(Edit_username, Edit_pass);
    setTabOrder(Edit_pass, Butt_enter);
    setTabOrder(Butt_enter, Butt_cancel);

    // A plain window has no default button: Return in either edit is Enter.
    const auto enter = [this] { Butt_enterClick(); };
    connect(Butt_enter, &QPushButton::clicked, this, enter);
    connect(Edit_username, &QLineEdit::returnPressed, this, enter);
    connect(Edit_pass, &QLineEdit::returnPressed, this, enter);
    connect(Butt_cancel, &QPushButton::clicked, this, [this] { Butt_cancelClick(); });

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(WindowWidth / 2, WindowHeight / 2));

    FormCreate();
}

void TLogin::FormCreate()
{
    const IniFile ini(paths_.iniPath(), FileWriter {});
    LoginLanguage = ini.readInteger("Misc", "Language", 1);
    LoginEncoding = ini.readBool("Misc", "Encoding", false) ? "Unicode" : "CP 852";
    if (LoginLanguage == 3)
        LoginTextsPolish();
    else if (LoginLanguage == 2)
        LoginTextsItalian();
    else
        LoginTextsEnglish();
}

void TLogin::LoginTextsEnglish()
{
    setWindowTitle("Login Ferolt");
    Label1->setText("Username:");
    Label2->setText("Password:");
}

void TLogin::LoginTextsItalian()
{
    setWindowTitle("Accedi Ferolt");
    Label1->setText("Nome utente:");
    Label2->setText("Password:");
}

void TLogin::LoginTextsPolish()
{
    setWindowTitle("Logowanie Ferolt");
    const auto pl = PolishLetter;
    Label1->setText(q("Nazwa u" + pl(u'ż') + "ytkownika:"));
    Label2->setText(q("Has" + pl(u'ł') + "o:"));
}

std::string TLogin::usersPath() const { return paths_.filesDir() + "/users.dat"; }

void TLogin::plainBox(const std::string& text)
{
    prompts_.message(this, Prompts::Icon::None, "Ferolt", text, Prompts::Buttons::Ok);
}

void TLogin::warningBox(const std::string& text)
{
    prompts_.message(this, Prompts::Icon::Warning, LoginFailCaption, text, Prompts::Buttons::Ok);
}

void TLogin::Butt_enterClick()
{
    try {
        const UsersFileRead file = ReadUsersFile(usersPath(), false);
        if (file.status == UsersFileRead::Status::Missing)
            firstStart(Edit_username->text(), Edit_pass->text());
        else
            checkAccount(file, Edit_username->text(), Edit_pass->text());
    } catch (const std::exception& e) {
        forget(Edit_pass);
        warningBox(std::string("Account file error - ") + e.what());
    }
}

void TLogin::checkAccount(const UsersFileRead& file, const QString& typedName, const QString& typedPassword)
{
    if (!file.ok()) {
        forget(Edit_pass);
        warningBox("Account file error - " + file.error);
        return;
    }
    if (file.records.empty()) {
        warningBox("Account file is empty (no valid accounts)!\nContact administrator");
        close();
        return;
    }
    // A text with a character the file cannot hold matches no account.
    const std::optional<std::string> name = Text8::fromUnicodeChecked(typedName);
    std::optional<std::string> password = Text8::fromUnicodeChecked(typedPassword);
    forget(Edit_pass);
    std::optional<std::size_t> match;
    if (name && password)
        match = MatchLogin(file.records, *name, *password, HashPassword);
    if (password)
        std::fill(password->begin(), password->end(), '\0');
    if (match) {
        ApplyAccess(file.records[*match].level, file.records[*match].rights);
        return;
    }
    if (LoginLanguage == 3)
        // Fixed Windows-1250 bytes, whatever the letter setting says.
        plainBox("Nieprawid\xB3owa nazwa u\xBFytkownika lub has\xB3o!");
    else
        plainBox("Wrong username or password!");
}

void TLogin::firstStart(const QString& typedName, const QString& typedPassword)
{
    forget(Edit_pass);
    if (prompts_.ask(this, Prompts::Icon::Warning, "First start",
                     "No account file was found.\nCreate it with this name and password as the "
                     "first account (Administrator)?",
                     Prompts::Buttons::YesNo)
        != Prompts::Answer::Yes) {
        warningBox(MissingFileText);
        close();
        return;
    }
    if (typedName.isEmpty()) {
        plainBox("Enter username");
        return;
    }
    if (typedPassword.isEmpty()) {
        plainBox("Enter password");
        return;
    }
    if (typedName.size() > static_cast<qsizetype>(UserNameCapacity)
        || typedPassword.size() > static_cast<qsizetype>(PasswordCapacity)) {
        plainBox("User name and password may have at most 10 characters");
        return;
    }
    const std::optional<std::string> name = Text8::fromUnicodeChecked(typedName);
    std::optional<std::string> password = Text8::fromUnicodeChecked(typedPassword);
    if (!name || !password) {
        plainBox("Unsupported character in user name, password or access level");
        return;
    }

    std::vector<UserRecord> records;
    AddOrChangeUser(records, *name, *password, std::string(AdministratorLevel), UserRights::all(),
                    ShortDateText(clock_.now()), HashPassword);
    std::fill(password->begin(), password->end(), '\0');
    if (!EnsureUsersFolder(paths_.filesDir()).empty()) {
        prompts_.message(this, Prompts::Icon::Error, "Account error", MissingFileText, Prompts::Buttons::Ok);
        return;
    }
    // Another instance may have created the file while the question was open. Its accounts
    // stay: the typed account is checked against it as at any other login.
    const UsersFileRead current = ReadUsersFile(usersPath(), false);
    if (current.status != UsersFileRead::Status::Missing) {
        checkAccount(current, typedName, typedPassword);
        return;
    }
    if (!WriteUsersFile(usersPath(), records, atomicFileWriter(UsersFileMode))) {
        prompts_.message(this, Prompts::Icon::Error, "Account error", MissingFileText, Prompts::Buttons::Ok);
        return;
    }
    ApplyAccess(std::string(AdministratorLevel), UserRights::all());
}

void TLogin::Butt_cancelClick() { close(); }

void TLogin::ApplyAccess(const std::string& level, const UserRights& rights)
{
    // Default-deny: a level the program does not know gets what an Operator gets.
    IsAdministrator = level == AdministratorLevel;
    IsSetup = level == "Setup";
    IsOperator = !IsAdministrator && !IsSetup;
    forget(Edit_pass);
    if (Form11) {
        TForm11& f = *Form11;
        f.Users1->setEnabled(IsAdministrator);
        f.Settings1->setEnabled(IsAdministrator || IsSetup);
        f.ShowPageTab(f.TabSheet3, rights.display);
        f.ShowPageTab(f.TabSheet2, false);
        for (QWidget* w : {static_cast<QWidget*>(f.Group_ops), static_cast<QWidget*>(f.Group_advanced),
                           static_cast<QWidget*>(f.Check_broadcast), static_cast<QWidget*>(f.Label_id),
                           static_cast<QWidget*>(f.Label_addr)})
            w->setVisible(rights.devices);
        f.show();
        // The login, which has the focus, is hidden next: the main window takes it over, so
        // that it becomes active (and opens its links) also where no window manager does it.
        f.raise();
        f.activateWindow();
    }
    hide();
}

void TLogin::closeEvent(QCloseEvent* event)
{
    event->accept();
    quit_();
}
