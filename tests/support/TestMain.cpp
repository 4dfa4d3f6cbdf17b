// The one main of every test binary. Before anything else it makes the run headless and
// private: QT_QPA_PLATFORM=offscreen and a fresh XDG_RUNTIME_DIR (mode 0700, removed at exit)
// when they are unset. gtest_discover_tests runs the binaries outside ctest's environment,
// so this must happen here.
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

void removeRuntimeDir()
{
    if (!g_runtimeDir.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(g_runtimeDir, ec);
    }
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
