#pragma once

#include <QWidget>

#include <functional>

class TForm11;

// The login window (object "Login"), the application's main window: closing it ends the
// program. Until accounts are checked, it lets every user in: at start it shows the main
// window and hides itself.
class TLogin : public QWidget {
    Q_OBJECT
public:
    using QuitCall = std::function<void()>;

    // quit ends the program; QCoreApplication::quit when empty.
    explicit TLogin(QuitCall quit = {});

    // Shows the main window and hides the login.
    void start(TForm11& form11);

    // The logged-in user has the administrator level; frames sent are then also logged.
    bool IsAdministrator = false;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QuitCall quit_;
};
