#include "ProgramWindows.h"

#include "ProgramPaths.h"
#include "TFAbout.h"
#include "TFUsers.h"
#include "TForm11.h"
#include "TFormFullMbus.h"
#include "TSettings.h"

ProgramWindows::ProgramWindows(const ProgramPaths& paths, Prompts& prompts, Clock& clock,
                               TLogin::QuitCall quit, SioOsCalls* serialOs)
{
    Login = std::make_unique<TLogin>(paths, prompts, clock, std::move(quit));
    Form11 = std::make_unique<TForm11>(paths, prompts, clock, serialOs);
    Form11->Login = Login.get();
    Login->Form11 = Form11.get();
    Settings = std::make_unique<TSettings>(*Form11, paths.iniPath(), prompts);
    Form11->Settings = Settings.get();
    FUsers = std::make_unique<TFUsers>(*Form11, paths, prompts, clock);
    Form11->FUsers = FUsers.get();
    FAbout = std::make_unique<TFAbout>();
    Form11->FAbout = FAbout.get();
    FormFullMbus = std::make_unique<TFormFullMbus>(prompts);
    Form11->FormFullMbus = FormFullMbus.get();
}

// The windows go in reverse order: the settings and accounts windows refer to the main
// window, the main window and the login to each other.
ProgramWindows::~ProgramWindows()
{
    if (Form11)
        Form11->FormFullMbus = nullptr;
    FormFullMbus.reset();
    if (Form11)
        Form11->FAbout = nullptr;
    FAbout.reset();
    if (Form11)
        Form11->FUsers = nullptr;
    FUsers.reset();
    Settings.reset();
    if (Form11)
        Form11->Settings = nullptr;
    if (Login)
        Login->Form11 = nullptr;
    Form11.reset();
    Login.reset();
}
