#include "AppFixture.h"
#include "BusSimulator.h"
#include "TFAbout.h"
#include "TForm11.h"
#include "TFormFullMbus.h"
#include "TLogin.h"
#include "TSettings.h"
#include "UpDownEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Once the bound has passed, opens and closes the writing end of a FIFO again and again until
// stopped, so that reads which wait for a writer end and the test fails instead of hanging.
class FifoWatchdog {
public:
    explicit FifoWatchdog(std::string path)
        : thread_([this, path = std::move(path)] {
              std::unique_lock lock(mutex_);
              if (cv_.wait_for(lock, std::chrono::seconds(20), [this] { return done_; }))
                  return;
              fired_ = true;
              while (!cv_.wait_for(lock, std::chrono::milliseconds(50), [this] { return done_; })) {
                  const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                  if (fd >= 0)
                      ::close(fd);
              }
          })
    {
    }
    ~FifoWatchdog() { stop(); }
    // False when it had to release a waiting read.
    bool stop()
    {
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        cv_.notify_all();
        if (thread_.joinable())
            thread_.join();
        return !fired_;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false, fired_ = false;
    std::thread thread_;
};

using MainWindowTest = AppFixture;

TEST_F(MainWindowTest, FirstRunStartsIntoTheMainWindowWithItsInitialState)
{
    start();
    TForm11& f = form11();
    EXPECT_TRUE(f.isVisible());
    EXPECT_FALSE(login().isVisible());
    EXPECT_FALSE(settings().isVisible());
    EXPECT_FALSE(windows().FAbout->isVisible());
    EXPECT_FALSE(windows().FormFullMbus->isVisible());

    EXPECT_EQ(f.UD_address_min->value(), 0);
    EXPECT_EQ(f.UD_address_max->value(), 0);
    EXPECT_EQ(f.UD_timeout->value(), 500);
    EXPECT_TRUE(f.English1->isChecked());
    EXPECT_FALSE(f.Italian1->isChecked() || f.Polish1->isChecked());
    EXPECT_EQ(f.LanguageNo, 1);
    EXPECT_EQ(f.EncodingName, "CP 852");
    EXPECT_EQ(f.DataDir, folder() + "/");
    EXPECT_EQ(f.CurAddr, "256");
    EXPECT_EQ(f.Link.PacketNo, 1);
    EXPECT_EQ(f.TitleCount, 0);
    EXPECT_FALSE(f.SecMainShown || f.LsbSearch || f.PortOpen);
    for (QTimer* t : {f.Timer_respond, f.Timer_secondary, f.Timer_readall, f.Timer_free_command,
                      f.Timer_pexor, f.Timer_pexor_info}) {
        EXPECT_FALSE(t->isActive()) << t->objectName().toStdString();
        EXPECT_EQ(t->interval(), 500) << t->objectName().toStdString();
    }
    EXPECT_FALSE(f.Timer_auto_address->isActive() || f.Timer_close_socket->isActive());
    EXPECT_EQ(f.Timer_auto_address->interval(), 100);
    EXPECT_EQ(f.Timer_close_socket->interval(), 180000);
    EXPECT_TRUE(f.Check_hex->isChecked());
    EXPECT_TRUE(f.Check_tovek2->isChecked());
    EXPECT_EQ(f.PageControl1->currentWidget(), f.TabSheet1);
    EXPECT_FALSE(f.PageControl1->isTabVisible(f.PageControl1->indexOf(f.TabSheet2)));
    EXPECT_FALSE(std::filesystem::exists(paths().iniPath()));

    // A status tip does not hide the port's panel.
    f.StatusBar1->showMessage("tip");
    EXPECT_TRUE(f.StatusPanel1->isVisible());

    f.Settings1->trigger();
    EXPECT_TRUE(settings().isVisible());
    EXPECT_FALSE(std::filesystem::exists(paths().iniPath()));
}

TEST_F(MainWindowTest, StoredValuesAreBoundedOnReading)
{
    const struct {
        const char* file;
        int titleCount, timeout;
        const char* title1;
    } cases[] = {
        {"[Titles]\r\nCount=12\r\nTitle1=ABCDEFGHIJKLMNOPQRST\r\n[Mbus]\r\nTimeout=100\r\n", 9, 300,
         "ABCDEFGHIJKLMNO"},
        {"[Titles]\r\nCount=-5\r\nTitle1=short\r\n[Mbus]\r\nTimeout=20000\r\n", 0, 9900, "short"},
        {"[Titles]\r\nCount=4\r\n[Mbus]\r\nTimeout=0x4B0\r\n", 4, 1200, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        writeIni(c.file);
        start();
        EXPECT_EQ(form11().TitleCount, c.titleCount);
        EXPECT_EQ(form11().UD_timeout->value(), c.timeout);
        EXPECT_EQ(form11().Timer_respond->interval(), c.timeout);
        EXPECT_EQ(form11().Titles[0], c.title1);
    }
}

TEST_F(MainWindowTest, AStoredLanguageTicksItsItemAtCreation)
{
    const struct {
        const char* language;
        int number;
        bool english, italian, polish;
        const char* settingsCaption;   // the settings window follows the ticked item
    } cases[] = {
        {"2", 2, false, true, false, "Impostazioni"},
        {"3", 3, false, false, true, "Ustawienia"},
        {"1", 1, true, false, false, "Settings"},
        {"0x2", 2, false, true, false, "Impostazioni"},
        {"9", 9, true, false, false, "Settings"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        writeIni(std::string("[Misc]\r\nLanguage=") + c.language + "\r\n");
        start();
        TForm11& f = form11();
        EXPECT_EQ(f.LanguageNo, c.number);
        EXPECT_EQ(f.English1->isChecked(), c.english);
        EXPECT_EQ(f.Italian1->isChecked(), c.italian);
        EXPECT_EQ(f.Polish1->isChecked(), c.polish);
        settings().FormActivate();
        EXPECT_EQ(settings().windowTitle().toStdString(), c.settingsCaption);
    }
}

TEST_F(MainWindowTest, ATimeoutChangeSetsTheSixRequestTimersAtOnce)
{
    start();
    TForm11& f = form11();
    f.UD_timeout->setValue(1200);
    for (QTimer* t : {f.Timer_respond, f.Timer_secondary, f.Timer_readall, f.Timer_free_command,
                      f.Timer_pexor, f.Timer_pexor_info})
        EXPECT_EQ(t->interval(), 1200) << t->objectName().toStdString();
    EXPECT_EQ(f.Timer_auto_address->interval(), 100);
    EXPECT_EQ(f.Timer_close_socket->interval(), 180000);
}

TEST_F(MainWindowTest, ClosingWritesExactlyItsFiveKeysAndEndsTheProgram)
{
    const std::string before =
        "; kept\r\n[MBUS]\r\nsearchfrom=1\r\nSearchTo=2\nTimeout=500\r\nOther=x\r\n"
        "[Misc]\r\nDir=C:\\Data\\\r\nLanguage=7\r\nSMain=1\r\nEncoding=1\r\n"
        "[Titles]\r\nCount=3\r\nTitle1=T1\r\n[LANXP]\r\nIP=127.0.0.1\r\n";
    writeIni(before);
    start();
    TForm11& f = form11();
    EXPECT_TRUE(f.English1->isChecked());
    EXPECT_EQ(f.DataDir, "C:\\Data\\");
    EXPECT_EQ(f.EncodingName, "Unicode");
    f.UD_address_min->setValue(3);
    f.UD_address_max->setValue(250);
    f.UD_timeout->setValue(1500);
    f.DataDir = "/srv/meters/";
    f.close();

    const std::string after =
        "; kept\r\n[MBUS]\r\nSearchFrom=3\r\nSearchTo=250\r\nTimeout=1500\r\nOther=x\r\n"
        "[Misc]\r\nDir=/srv/meters/\r\nLanguage=7\r\nSMain=1\r\nEncoding=1\r\n"
        "[Titles]\r\nCount=3\r\nTitle1=T1\r\n[LANXP]\r\nIP=127.0.0.1\r\n";
    EXPECT_EQ(readIni(), after);
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_EQ(quitRequests, 1);
}

TEST_F(MainWindowTest, AnUnwritableFileShowsOneBoxAndTheProgramStillEndsWithThePortClosed)
{
    BusSimulatorOptions options;
    options.programFolder = folder();
    BusSimulator bus(options);
    bus.start();
    std::filesystem::create_directory(paths().iniPath());
    start();
    TForm11& f = form11();
    f.ToggleComPort();
    ASSERT_TRUE(f.PortOpen);
    f.close();

    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].owner, &f);
    EXPECT_EQ(prompts.boxes[0].icon, Prompts::Icon::Warning);
    EXPECT_EQ(prompts.boxes[0].buttons, Prompts::Buttons::Ok);
    EXPECT_EQ(prompts.boxes[0].caption, "Saving settings");
    EXPECT_EQ(prompts.boxes[0].text, "Settings will not be saved, no write permission");
    EXPECT_EQ(f.StatusText(), "COM1 is closed");
    EXPECT_FALSE(f.PortOpen);
    EXPECT_FALSE(f.Comm1.Active());
    EXPECT_EQ(quitRequests, 1);
    EXPECT_TRUE(std::filesystem::is_empty(paths().iniPath()));
}

TEST_F(MainWindowTest, AFifoAtTheFilesPathStartsWithTheDefaultsAndIsNeverReplaced)
{
    ASSERT_EQ(::mkfifo(paths().iniPath().c_str(), 0600), 0);
    FifoWatchdog watchdog(paths().iniPath());
    start();
    ASSERT_TRUE(watchdog.stop()) << "the start waited for a writer of the FIFO";
    TForm11& f = form11();
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.UD_timeout->value(), 500);
    EXPECT_TRUE(f.English1->isChecked());
    EXPECT_EQ(settings().Combo_com_name->currentText(), "COM1");
    f.UD_timeout->setValue(1500);
    f.close();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, "Settings will not be saved, no write permission");
    EXPECT_EQ(quitRequests, 1);
    struct stat st {};
    ASSERT_EQ(::stat(paths().iniPath().c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

} // namespace
