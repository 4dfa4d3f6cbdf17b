#include "ProgramPaths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

// Sets or removes an environment variable for one test and restores it after.
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~EnvVar()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string exeFolder() { return std::filesystem::canonical("/proc/self/exe").parent_path().string(); }

} // namespace

TEST(ProgramPaths, GivenFolderAndBaseName)
{
    const ProgramPaths p("/opt/ferolt/", "ferolt");
    EXPECT_EQ(p.folder(), "/opt/ferolt");
    EXPECT_EQ(p.iniPath(), "/opt/ferolt/ferolt.ini");
    EXPECT_EQ(p.filesDir(), "/opt/ferolt/files");
    EXPECT_EQ(p.portsDir(), "/opt/ferolt/ports");
    EXPECT_EQ(ProgramPaths("/", "ferolt").iniPath(), "/ferolt.ini");
}

TEST(ProgramPaths, ARelativeFolderIsMadeAbsoluteOnce)
{
    const ProgramPaths p("some/dir", "ferolt");
    EXPECT_EQ(p.folder(), (std::filesystem::current_path() / "some/dir").string());
    EXPECT_TRUE(std::filesystem::path(p.iniPath()).is_absolute());
}

TEST(ProgramPaths, DefaultsToTheExecutablesFolderAndName)
{
    const EnvVar home("FEROLT_HOME", nullptr);
    const std::string cwd = std::filesystem::current_path().string();
    const ProgramPaths p;
    EXPECT_EQ(p.folder(), exeFolder());
    EXPECT_EQ(p.baseName(), std::filesystem::canonical("/proc/self/exe").stem().string());
    EXPECT_EQ(p.iniPath(), exeFolder() + "/" + p.baseName() + ".ini");
    EXPECT_EQ(std::filesystem::current_path().string(), cwd);
}

TEST(ProgramPaths, FeroltHomeOverridesTheFolderOnly)
{
    {
        const EnvVar home("FEROLT_HOME", "/srv/meters//");
        const ProgramPaths p;
        EXPECT_EQ(p.folder(), "/srv/meters");
        EXPECT_EQ(p.iniPath(), "/srv/meters/" + std::filesystem::canonical("/proc/self/exe").stem().string() + ".ini");
    }
    {
        const EnvVar empty("FEROLT_HOME", "");
        EXPECT_EQ(ProgramPaths().folder(), exeFolder());
    }
}
