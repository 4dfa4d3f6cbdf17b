#include "AppFixture.h"
#include "LogView.h"
#include "PdfText.h"
#include "RecordingPrintDevice.h"
#include "SmallTmpfs.h"
#include "TFAbout.h"
#include "TForm11.h"
#include "TSettings.h"
#include "UpDownEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPageLayout>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using Icon = Prompts::Icon;
using Buttons = Prompts::Buttons;

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << path;
}

// Dates and times in German forms, so that the printed header is known to the byte.
class LogMenuTest : public AppFixture {
protected:
    LogMenuTest() : saved_(QLocale()) { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    ~LogMenuTest() override { QLocale::setDefault(saved_); }

    void fillLog(int n)
    {
        form11().BitBtn5->click();
        for (int i = 0; i < n; ++i)
            form11().Log.add("row" + std::to_string(i) + " value " + std::to_string(i * 7));
    }

    void expectPrintFailureBox()
    {
        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].owner, &form11());
        EXPECT_EQ(prompts.boxes[0].icon, Icon::Error);
        EXPECT_EQ(prompts.boxes[0].buttons, Buttons::Ok);
        EXPECT_EQ(prompts.boxes[0].caption, "Print log");
        EXPECT_EQ(prompts.boxes[0].text, "Printing failed");
    }

private:
    QLocale saved_;
};

TEST_F(LogMenuTest, ClearRemovesEveryLineAndTheNextStartsAtTheTop)
{
    start();
    TForm11& f = form11();
    ASSERT_EQ(f.Log.count(), 1u);   // the log starts with one empty line
    f.BitBtn5->click();
    EXPECT_EQ(f.Log.count(), 0u);
    f.BitBtn5->click();
    EXPECT_EQ(f.Log.count(), 0u);
    f.Log.add("first");
    ASSERT_EQ(f.Log.count(), 1u);
    EXPECT_EQ(f.Log.line(0), "first");
    EXPECT_EQ(f.Memo_current->toPlainText(), "first");
}

TEST_F(LogMenuTest, SaveProposesLogTxtInTheDataFolderAndWritesEveryLineWithCrLf)
{
    // A stored folder without its final separator still gets the file inside it.
    for (const bool slash : {true, false}) {
        SCOPED_TRACE(slash);
        const std::string data = folder() + (slash ? "/data/" : "/data");
        std::filesystem::create_directory(folder() + "/data");
        writeIni("[Misc]\r\nDir=" + data + "\r\n");
        start();
        TForm11& f = form11();
        f.Log.add("Respond: 68 03 03 68 \x9C");
        f.Log.add("");
        prompts.dialogs.clear();
        prompts.queueSaveFile(folder() + "/data/saved");
        f.BitBtn6->click();

        ASSERT_EQ(prompts.dialogs.size(), 1u);
        const Prompts::FileDialog& args = prompts.dialogs[0].args;
        EXPECT_EQ(args.fileName, folder() + "/data/log.txt");
        EXPECT_EQ(args.initialFolder, data);
        EXPECT_EQ(args.filter, "Text Files (*.txt)");
        EXPECT_EQ(args.defaultExtension, "");
        // No default extension: the name is taken as typed.
        EXPECT_EQ(readFile(folder() + "/data/saved"), "\r\nRespond: 68 03 03 68 \x9C\r\n\r\n");
        EXPECT_TRUE(prompts.boxes.empty());
    }
}

TEST_F(LogMenuTest, AFailedSaveIsLoggedWithoutABoxAndKeepsTheOlderFile)
{
    SmallTmpfs fs;
    if (!fs.mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    start();
    TForm11& f = form11();
    const std::string older = "the log saved before\r\n";
    writeFile(fs.path("log.txt"), older);
    writeFile(folder() + "/plain", "");
    fs.fill();
    f.Log.add(std::string(4000, 'x'));

    prompts.queueSaveFile(fs.path("log.txt"));          // the device is full
    f.BitBtn6->click();
    prompts.queueSaveFile(folder() + "/plain/log.txt");  // the folder is a regular file
    f.BitBtn6->click();
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_EQ(readFile(fs.path("log.txt")), older);
    ASSERT_EQ(f.Log.count(), 4u);
    EXPECT_EQ(f.Log.line(2), "Can not write file, no rights...");
    EXPECT_EQ(f.Log.line(3), "Can not write file, no rights...");

    // Once there is room again, the log is saved with the lines that told of the failures.
    std::filesystem::remove(fs.path("filler"));
    prompts.queueSaveFile(fs.path("log.txt"));
    f.BitBtn6->click();
    EXPECT_EQ(readFile(fs.path("log.txt")), "\r\n" + std::string(4000, 'x') + "\r\n"
                  "Can not write file, no rights...\r\nCan not write file, no rights...\r\n");
}

TEST_F(LogMenuTest, PrintingIntoAPdfGivesThirtySixLinesOnTheFirstA4Page)
{
    start();
    clock.set({2024, 2, 1, 10, 11, 20, 0});
    fillLog(37);
    const std::string pdf = folder() + "/log.pdf";
    prompts.queuePrinter([&pdf](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        printer.setPageSize(QPageSize(QPageSize::A4));
        return true;
    });
    form11().BitBtn7->click();
    EXPECT_TRUE(prompts.boxes.empty());
    ASSERT_EQ(pdfPages(QString::fromStdString(pdf)), 2);

    const QString file = QString::fromStdString(pdf);
    const PdfPage one = pdfPage(file, 1);
    const PdfPage two = pdfPage(file, 2);
    EXPECT_TRUE(pdfText(file, 1).contains("Print of log file 01.02.24, 10:11:20"))
        << pdfText(file, 1).toStdString();
    EXPECT_TRUE(pdfText(file, 2).contains("Print of log file 01.02.24, 10:11:20"));
    for (int i = 0; i <= 35; ++i) {
        const PdfWord* word = one.find(QString("row%1").arg(i));
        ASSERT_NE(word, nullptr) << i;
        EXPECT_LT(word->yMax, one.height) << i;
    }
    EXPECT_FALSE(one.has("row36"));
    EXPECT_TRUE(two.has("row36"));
    EXPECT_FALSE(two.has("row35"));
}

TEST_F(LogMenuTest, CancelPrintsNothingAndAPdfIntoAMissingFolderShowsTheFailure)
{
    start();
    fillLog(3);
    prompts.queuePrinterCancel();
    form11().BitBtn7->click();
    EXPECT_EQ(prompts.printerOwners.size(), 1u);
    EXPECT_TRUE(prompts.boxes.empty());

    const std::string pdf = folder() + "/no/such/folder/log.pdf";
    prompts.queuePrinterToPdf(QString::fromStdString(pdf));
    form11().BitBtn7->click();
    expectPrintFailureBox();
    EXPECT_FALSE(std::filesystem::exists(pdf));
}

// Every header reads the clock again: the clock moves on with every new page.
class TurningPages : public RecordingPrintDevice {
public:
    explicit TurningPages(FakeClock& clock) : clock_(clock) {}
    bool newPage() override
    {
        clock_.set({2024, 2, 1, 10, 12, ++minute_, 0});
        return RecordingPrintDevice::newPage();
    }

private:
    FakeClock& clock_;
    int minute_ = 0;
};

TEST_F(LogMenuTest, EachPageHeaderTakesTheClockAnew)
{
    start();
    clock.set({2024, 2, 1, 10, 11, 20, 0});
    fillLog(71);   // pages of lines 0-35, 36-70, and 70 ends one with the header alone
    TurningPages device(clock);
    form11().PrintLogTo(device);
    EXPECT_TRUE(prompts.boxes.empty());
    const auto pages = device.pages();
    ASSERT_EQ(pages.size(), 3u);
    const char* headers[] = {"Print of log file 01.02.24, 10:11:20", "Print of log file 01.02.24, 10:12:01",
                             "Print of log file 01.02.24, 10:12:02"};
    for (std::size_t p = 0; p < 3; ++p) {
        ASSERT_FALSE(pages[p].empty());
        EXPECT_EQ(pages[p][0].text, headers[p]);
        EXPECT_EQ(pages[p][0].x, 22 * (device.width / 210));
        EXPECT_EQ(pages[p][0].y, 20 * (device.height / 297));
    }
    EXPECT_EQ(pages[2].size(), 1u);
}

TEST_F(LogMenuTest, APrinterFailureAbortsOnceAndTellsTheUser)
{
    const struct {
        bool failBegin;
        int failAtNewPage;
        std::size_t texts;   // drawn before the failure
    } cases[] = {{true, 0, 0}, {false, 1, 37}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failBegin);
        start();
        fillLog(40);
        RecordingPrintDevice device;
        device.failBegin = c.failBegin;
        device.failAtNewPage = c.failAtNewPage;
        form11().PrintLogTo(device);
        expectPrintFailureBox();
        EXPECT_EQ(device.count(RecordingPrintDevice::Kind::Text), c.texts);
        EXPECT_EQ(device.count(RecordingPrintDevice::Kind::End), 0u);
        EXPECT_EQ(device.count(RecordingPrintDevice::Kind::Abort), c.failBegin ? 0u : 1u);
        prompts.boxes.clear();
    }
}

TEST_F(LogMenuTest, ExitAsksInTheTickedLanguageAndNoChangesNothing)
{
    const struct {
        const char* ini;
        QAction* TForm11::*item;
        const char* text;
        const char* caption;
    } cases[] = {
        {"", &TForm11::English1, "Are you sure you want to exit?", "Exit Confirmation"},
        {"", &TForm11::Italian1, "Sei sicuro di voler uscire?", "Conferma uscita"},
        // The Polish letters are Windows-1250 bytes whatever the encoding setting.
        {"[Misc]\r\nEncoding=1\r\n", &TForm11::Polish1,
         "Czy jeste\x9C pewien, \xBF" "e chcesz opu\x9C" "ci\xE6 program?", "Potwierdzenie opuszczenia programu"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        std::filesystem::remove(paths().iniPath());
        if (*c.ini)
            writeIni(c.ini);
        const std::string ini = readIni();
        start();
        TForm11& f = form11();
        (f.*c.item)->trigger();
        f.Timer_respond->start();
        prompts.boxes.clear();
        prompts.queueAnswer(Prompts::Answer::No);
        f.Exit1->trigger();

        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].owner, &f);
        EXPECT_EQ(prompts.boxes[0].icon, Icon::Warning);
        EXPECT_EQ(prompts.boxes[0].buttons, Buttons::YesNo);
        EXPECT_EQ(prompts.boxes[0].text, c.text);
        EXPECT_EQ(prompts.boxes[0].caption, c.caption);
        EXPECT_TRUE(f.isVisible());
        EXPECT_TRUE(f.Timer_respond->isActive());
        EXPECT_EQ(readIni(), ini);
        EXPECT_EQ(quitRequests, 0);
        f.Timer_respond->stop();
    }
}

TEST_F(LogMenuTest, ExitYesSavesTheWindowsKeysAndEndsTheProgram)
{
    start();
    TForm11& f = form11();
    f.UD_address_max->setValue(42);
    prompts.queueAnswer(Prompts::Answer::Yes);
    f.Exit1->trigger();
    EXPECT_FALSE(f.isVisible());
    EXPECT_NE(readIni().find("SearchTo=42\r\n"), std::string::npos) << readIni();
    EXPECT_EQ(quitRequests, 1);
}

TEST_F(LogMenuTest, MenusOpenTheirWindowsBesideTheMainWindow)
{
    start();
    TForm11& f = form11();
    QStringList titles;
    for (QAction* menu : f.menuBar()->actions())
        titles << menu->text();
    EXPECT_EQ(titles, QStringList({"File", "Tools", "Language", "Help"}));
    QStringList items;
    for (QMenu* menu : {f.File1, f.Tools1, f.Help1})
        for (QAction* item : menu->actions())
            items << item->text();
    EXPECT_EQ(items, QStringList({"Open", "Save", "Exit", "Users", "Settings", "About"}));
    EXPECT_FALSE(f.Users1->isEnabled());

    f.Settings1->trigger();
    f.About1->trigger();
    EXPECT_TRUE(settings().isVisible());
    EXPECT_TRUE(windows().FAbout->isVisible());
    EXPECT_FALSE(settings().isModal() || windows().FAbout->isModal());
    EXPECT_TRUE(f.isVisible() && f.isEnabled());
}

TEST_F(LogMenuTest, ThePageShownChoosesHowACustomCommandIsTyped)
{
    start();
    TForm11& f = form11();
    EXPECT_EQ(f.PageControl1->tabText(f.PageControl1->indexOf(f.TabSheet3)), "   Local display Pexor   ");
    EXPECT_EQ(f.PageControl1->tabText(f.PageControl1->indexOf(f.TabSheet4)), "   Get Readings   ");

    f.PageControl1->setCurrentWidget(f.TabSheet3);
    EXPECT_TRUE(f.Check_ascii->isChecked());
    EXPECT_FALSE(f.Check_hex->isChecked());
    f.PageControl1->setCurrentWidget(f.TabSheet4);   // the readings page keeps the mode
    EXPECT_TRUE(f.Check_ascii->isChecked());
    EXPECT_FALSE(f.Check_hex->isChecked());
    f.PageControl1->setCurrentWidget(f.TabSheet1);
    EXPECT_FALSE(f.Check_ascii->isChecked());
    EXPECT_TRUE(f.Check_hex->isChecked());
}

} // namespace
