#pragma once

#include "TLogin.h"

#include <memory>

class Clock;
class ProgramPaths;
class Prompts;
class SioOsCalls;
class TFAbout;
class TFUsers;
class TForm11;
class TFormFullMbus;
class TSettings;

// The program's windows, created in their order and alive until the program ends: the
// login first (closing it ends the program), then the main window, the settings window, the
// accounts window and the About and detailed report windows, all hidden. serialOs: the
// system calls of the main window's serial port, the real ones when none is given.
struct ProgramWindows {
    ProgramWindows(const ProgramPaths& paths, Prompts& prompts, Clock& clock,
                   TLogin::QuitCall quit = {}, SioOsCalls* serialOs = nullptr);
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    std::unique_ptr<TLogin> Login;
    std::unique_ptr<TForm11> Form11;
    std::unique_ptr<TSettings> Settings;
    std::unique_ptr<TFUsers> FUsers;
    std::unique_ptr<TFAbout> FAbout;
    std::unique_ptr<TFormFullMbus> FormFullMbus;
};
