#include "ProgramMain.h"

#include "Text8.h"

#include <QApplication>
#include <QMainWindow>

int ProgramMain(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Ferolt");
    Text8::requireCodec();   // every text on screen goes through it
    QMainWindow window;
    window.setWindowTitle("Ferolt");
    window.resize(1000, 700);
    window.show();
    return app.exec();
}
