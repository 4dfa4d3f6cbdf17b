#include "ProgramWindows.h"

#include "ProgramPaths.h"
#include "TFAbout.h"
#include "TForm11.h"
#include "TFormFullMbus.h"
#include "TSettings.h"

ProgramWindows::ProgramWindows(const ProgramPaths& paths, Prompts& prompts, Clock& clock,
                               TLogin::QuitCall quit)
{
    Login = std::make_unique<TLogin>(std::move(quit));
    Form11 = std::make_unique<TForm11>(paths, prompts, clock);
    Form11->Login = Login.get();
    Settings = std::make_unique<TSettings>(*Form11, paths.iniPath(), prompts);
    Form11->Settings = Settings.get();
    FAbout = std::make_unique<TFAbout>();
    Form11->FAbout = FAbout.get();
    FormFullMbus = std::make_unique<TFormFullMbus>(prompts);
    Form11->FormFullMbus = FormFullMbus.get();
}

// The windows go in reverse order: the settings window refers to the main window, the
// main window to the login.
ProgramWindows::~ProgramWindows()
{
    if (Form11)
        Form11->FormFullMbus = nullptr;
    FormFullMbus.reset();
    if (Form11)
        Form11->FAbout = nullptr;
    FAbout.reset();
    Settings.reset();
    if (Form11)
        Form11->Settings = nullptr;
    Form11.reset();
    Login.reset();
}
