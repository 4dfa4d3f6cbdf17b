#include "ProgramMain.h"

#include <QApplication>
#include <QMainWindow>

int ProgramMain(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Ferolt");
    QMainWindow window;
    window.setWindowTitle("Ferolt");
    window.resize(1000, 700);
    window.show();
    return app.exec();
}
