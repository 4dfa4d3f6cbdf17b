// The detailed report window: its look, Close, Clear and Save with its failures.
#include "FakePrompts.h"
#include "SmallTmpfs.h"
#include "TFormFullMbus.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTemporaryDir>

#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

std::string readAll(const std::string& path)
{
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

void writePlain(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

TEST(TFormFullMbus, HiddenWithoutCloseButton)
{
    FakePrompts prompts;
    TFormFullMbus form(prompts);
    EXPECT_EQ(form.objectName() + "|" + form.windowTitle(), "FormFullMbus|Detailed m-bus report");
    EXPECT_EQ(form.size(), QSize(601, 387));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(form.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint));
    form.show();
    form.BitBtn3->click();
    EXPECT_FALSE(form.isVisible());
}

TEST(TFormFullMbus, SaveWritesEveryLineWithCrLf)
{
    QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString();
    FakePrompts prompts;
    TFormFullMbus form(prompts);
    form.report().add("ID:12345678, Mfr: EMH");
    form.report().add("Z\xB3oty \xA5");
    writePlain(dir + "/x.txt", std::string(200, 'o'));

    prompts.queueSaveFile(dir + "/x");
    form.BitBtn2->click();
    EXPECT_EQ(readAll(dir + "/x.txt"), "\r\nID:12345678, Mfr: EMH\r\nZ\xB3oty \xA5\r\n");
    ASSERT_EQ(prompts.dialogs.size(), 1u);
    const Prompts::FileDialog& args = prompts.dialogs[0].args;
    EXPECT_EQ(args.filter + "|" + args.defaultExtension + "|" + args.initialFolder, "TXT files (*.txt)|txt|");

    prompts.queueSaveFile(std::nullopt);
    form.BitBtn2->click();
    form.BitBtn1->click();
    EXPECT_EQ(form.report().count(), 0u);
    prompts.queueSaveFile(dir + "/x.txt");
    form.BitBtn2->click();
    EXPECT_EQ(readAll(dir + "/x.txt"), "");
}

TEST(TFormFullMbus, EachFailedSaveAddsOneLineAndKeepsTheOldFile)
{
    SmallTmpfs fs;
    if (!fs.mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    FakePrompts prompts;
    TFormFullMbus form(prompts);
    form.report().add(std::string(4000, 'r'));
    writePlain(fs.path("report.txt"), "the report saved before\r\n");
    writePlain(fs.path("plain"), "");
    fs.fill();

    prompts.queueSaveFile(fs.path("report.txt"));
    form.BitBtn2->click();
    prompts.queueSaveFile(fs.path("plain") + "/report.txt");
    form.BitBtn2->click();

    ASSERT_EQ(form.report().count(), 4u);
    EXPECT_EQ(form.report().line(2).rfind("Exception saving to file - " + fs.path("report.txt"), 0), 0u);
    EXPECT_EQ(form.report().line(3).rfind("Exception saving to file - " + fs.path("plain/report.txt"), 0), 0u);
    EXPECT_EQ(readAll(fs.path("report.txt")), "the report saved before\r\n");
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST(TFormFullMbus, ASaveAimedAtAFifoLeavesIt)
{
    QTemporaryDir tmp;
    const std::string fifo = tmp.path().toStdString() + "/report.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    FakePrompts prompts;
    TFormFullMbus form(prompts);
    form.report().add("ID:12345678");
    prompts.queueSaveFile(fifo);
    form.BitBtn2->click();
    ASSERT_EQ(form.report().count(), 3u);
    EXPECT_EQ(form.report().line(2), "Exception saving to file - " + fifo + ": Not a regular file");
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_TRUE(prompts.boxes.empty());
}

} // namespace
