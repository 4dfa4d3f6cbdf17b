#include "ProgramMain.h"

#include "Clock.h"
#include "ProgramPaths.h"
#include "ProgramWindows.h"
#include "QtPrompts.h"
#include "TForm11.h"
#include "Text8.h"

#include <QApplication>

int ProgramMain(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Ferolt");
    // The login window ends the program when it closes, not the last window hidden.
    QApplication::setQuitOnLastWindowClosed(false);
    Text8::requireCodec();   // every text on screen goes through it

    QtPrompts prompts;
    const ProgramPaths paths;
    ProgramWindows windows(paths, prompts, systemClock());
    // Every run begins at the login; the main window stays hidden until a login succeeds.
    windows.Login->show();
    return app.exec();
}
