#pragma once

#include "FileWriter.h"
#include "ProgramPaths.h"
#include "UserRecord.h"

#include <QWidget>

#include <functional>
#include <string>

class Clock;
class Prompts;
class QLabel;
class QLineEdit;
class QPushButton;
class TForm11;
struct UsersFileRead;

// The login window (object "Login"), the application's main window: the program starts
// with it, and closing it, at any time, ends the program. A name and password that match
// the accounts file let the user in: ApplyAccess sets the access level and what the main
// window offers, shows the main window and hides the login. Without an accounts file the
// first login offers to create it with the typed account as its Administrator.
class TLogin : public QWidget {
    Q_OBJECT
public:
    using QuitCall = std::function<void()>;

    // quit ends the program; QCoreApplication::quit when empty. Runs FormCreate.
    TLogin(const ProgramPaths& paths, Prompts& prompts, Clock& clock, QuitCall quit = {});

    // Reads the language and the encoding from the settings file and applies the texts.
    void FormCreate();
    // The accounts file is checked on every Enter, not at start.
    void Butt_enterClick();
    void Butt_cancelClick();

    // The one way in: sets exactly one level flag ("Administrator", "Setup", and any other
    // text as "Operator"), sets the Tools entries, shows or hides the main window's parts by
    // the rights, clears the password, shows the main window and hides the login.
    void ApplyAccess(const std::string& level, const UserRights& rights);

    void LoginTextsEnglish();
    void LoginTextsItalian();
    void LoginTextsPolish();

    // The main window the login lets the user into; set after it is created.
    TForm11* Form11 = nullptr;

    // The level of the account logged in; the frame senders log what they send for an
    // administrator.
    bool IsAdministrator = false;
    bool IsOperator = false;
    bool IsSetup = false;
    std::string LoginEncoding = "CP 852";
    int LoginLanguage = 1;

    QLabel* Label1;
    QLineEdit* Edit_username;
    QLabel* Label2;
    QLineEdit* Edit_pass;
    QPushButton* Butt_enter;
    QPushButton* Butt_cancel;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The typed account against the accounts file as read: the main window for a match,
    // else the message that fits the file.
    void checkAccount(const UsersFileRead& file, const QString& typedName, const QString& typedPassword);
    // No accounts file yet: asks whether to create it with the typed account.
    void firstStart(const QString& typedName, const QString& typedPassword);
    void plainBox(const std::string& text);
    void warningBox(const std::string& text);
    std::string usersPath() const;

    ProgramPaths paths_;
    Prompts& prompts_;
    Clock& clock_;
    QuitCall quit_;
};
