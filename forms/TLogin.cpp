#include "TLogin.h"

#include "TForm11.h"

#include <QCloseEvent>
#include <QCoreApplication>

TLogin::TLogin(QuitCall quit) : QWidget(nullptr), quit_(std::move(quit))
{
    setObjectName("Login");
    setWindowTitle("Ferolt -> Login");
    if (!quit_)
        quit_ = [] { QCoreApplication::quit(); };
}

void TLogin::start(TForm11& form11)
{
    form11.show();
    hide();
}

void TLogin::closeEvent(QCloseEvent* event)
{
    event->accept();
    quit_();
}
