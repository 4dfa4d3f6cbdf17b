#pragma once

#include "FakeClock.h"
#include "FakePrompts.h"
#include "ProgramPaths.h"
#include "ProgramWindows.h"
#include "UserRecord.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class SioOsCalls;
class StringGrid;
class TFUsers;
class TForm11;
class TLogin;
class TSettings;

// The program's windows as the program builds them, in a temporary program folder with the
// scripted prompts and a settable clock. A test writes its settings file (or none), then
// calls start(). Ending the program only records the request.
//
//     writeIni("[Com port]\r\nSpeed=2400\r\n");
//     start();
//     EXPECT_TRUE(form11().PrepareLink());
class AppFixture : public ::testing::Test {
protected:
    // The settings file's start for COM1 at 2400 baud, up to the [Misc] header; the
    // fixture's own keys follow.
    static inline const std::string Com1Ini = "[Com port]\r\nName=COM1\r\nSpeed=2400\r\n[Misc]\r\n";

    AppFixture();
    ~AppFixture() override;

    // Writes the settings file from text, with [LANXP] IP set to 127.0.0.1 in its place so
    // that no test can reach another address.
    void writeIni(std::string_view text);
    // The settings file's bytes now; empty when it does not exist.
    std::string readIni() const;
    // Creates the windows as the program does and logs in as a Setup account with every
    // right: the main window shown, Users disabled, Settings enabled, no hex log.
    void start();
    // Destroys the windows as the program's end does.
    void destroyWindows();
    // Creates the windows as the program does and shows the login; nobody is logged in.
    void startAtLogin();
    // Lets the login apply an account's level and rights, without an accounts file.
    void loginAs(const std::string& level, const UserRights& rights = UserRights::all());
    // The system calls the main window's serial port makes, from the next start on (the real
    // ones without); the fixture keeps them until after the windows are gone.
    void useSerialOs(std::unique_ptr<SioOsCalls> os);

    const std::string& folder() const { return paths_.folder(); }
    const ProgramPaths& paths() const { return paths_; }
    TLogin& login() { return *windows_->Login; }
    TForm11& form11() { return *windows_->Form11; }
    TSettings& settings() { return *windows_->Settings; }
    TFUsers& users() { return *windows_->FUsers; }
    ProgramWindows& windows() { return *windows_; }

    // The main window's log: how many lines from line `first` on equal text, whether one
    // does, the lines from `first` on, the count, the last line (empty when none).
    std::size_t logCount(const std::string& text, std::size_t first = 0);
    bool logged(const std::string& text) { return logCount(text) > 0; }
    std::vector<std::string> logFrom(std::size_t first);
    std::size_t logSize();
    std::string lastLogLine();
    // A row of a table, its cells joined by "|".
    static std::string rowText(const StringGrid& grid, int row);

    FakePrompts prompts;
    FakeClock clock;
    int quitRequests = 0;

private:
    QTemporaryDir dir_;
    ProgramPaths paths_;
    std::unique_ptr<SioOsCalls> serialOs_;   // declared before the windows: it outlives them
    std::unique_ptr<ProgramWindows> windows_;
};
