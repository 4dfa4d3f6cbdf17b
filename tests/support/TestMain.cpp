// The one main of every test binary. Before anything else it makes the run headless and
// private: QT_QPA_PLATFORM=offscreen and a fresh XDG_RUNTIME_DIR (mode 0700, removed at exit)
// when they are unset. gtest_discover_tests runs the binaries outside ctest's environment,
// so this must happen here. Qt's print support asks the print server for its printers; a
// CUPS_SERVER of a socket path in that folder, where no server listens, keeps those questions
// off the network (by default they go to port 631 on ::1 and 127.0.0.1). Qt's file dialogs
// remember their folders in the user's settings (QtProject.conf): a fresh XDG_CONFIG_HOME,
// always, keeps what a test's dialog visits out of the user's settings and out of later runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#ifdef FEROLT_TEST_QAPPLICATION
#include <QApplication>
#endif

namespace {

std::string g_runtimeDir;
std::string g_configDir;

void removeRuntimeDir()
{
    if (!g_runtimeDir.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(g_runtimeDir, ec);
    }
}

void removeConfigDir()
{
    std::error_code ec;
    std::filesystem::remove_all(g_configDir, ec);
}

void prepareEnvironment()
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "ferolt-test-XXXXXX").string();
        if (mkdtemp(tmpl.data())) {   // mkdtemp creates the folder with mode 0700
            g_runtimeDir = tmpl;
            setenv("XDG_RUNTIME_DIR", g_runtimeDir.c_str(), 1);
            std::atexit(removeRuntimeDir);
        }
    }
    std::string config = (std::filesystem::temp_directory_path() / "ferolt-test-config-XXXXXX").string();
    if (mkdtemp(config.data())) {
        g_configDir = config;
        setenv("XDG_CONFIG_HOME", g_configDir.c_str(), 1);
        std::atexit(removeConfigDir);
    }
    if (!std::getenv("CUPS_SERVER")) {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        const std::string socket = std::string(runtime ? runtime : "/nonexistent") + "/no-print-server";
        setenv("CUPS_SERVER", socket.c_str(), 1);
    }
}

} // namespace

int main(int argc, char** argv)
{
    prepareEnvironment();
    ::testing::InitGoogleTest(&argc, argv);
#ifdef FEROLT_TEST_QAPPLICATION
    QApplication app(argc, argv);
#endif
    return RUN_ALL_TESTS();
}
