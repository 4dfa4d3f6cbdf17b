#include "AppFixture.h"
#include "MeterRowUpdate.h"
#include "PdfText.h"
#include "RecordingPrintDevice.h"
#include "SimMeter.h"
#include "SmallTmpfs.h"
#include "StringGridView.h"
#include "TFAbout.h"
#include "TForm11.h"
#include "TSettings.h"
#include "TelegramBuilder.h"
#include "UpDownEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

using Icon = Prompts::Icon;
using Cells = std::vector<std::string>;
const char* const WrongFile = "You chose wrong file for import!\nContact administrator!";

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

std::vector<Cells> tableOf(const StringGrid& grid)
{
    std::vector<Cells> rows(static_cast<std::size_t>(grid.RowCount()));
    for (int r = 0; r < grid.RowCount(); ++r)
        for (int c = 0; c < grid.ColCount(); ++c)
            rows[static_cast<std::size_t>(r)].push_back(grid.cell(c, r));
    return rows;
}

// Dates and times in German forms, so that the printed header is known to the byte.
class LogAndFilesTest : public AppFixture {
protected:
    LogAndFilesTest() : saved_(QLocale()) { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    ~LogAndFilesTest() override { QLocale::setDefault(saved_); }

    StringGrid& grid() { return form11().Grid_vantrel->grid(); }
    void fillLog(int n)
    {
        form11().BitBtn5->click();
        for (int i = 0; i < n; ++i)
            form11().Log.add("row" + std::to_string(i) + " value");
    }
    void expectOneBox(Icon icon, const std::string& caption, const std::string& text)
    {
        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].owner, &form11());
        EXPECT_EQ(prompts.boxes[0].icon, icon);
        EXPECT_EQ(prompts.boxes[0].caption, caption);
        EXPECT_EQ(prompts.boxes[0].text, text);
        prompts.boxes.clear();
    }
    // The header, a meter and the empty last row of a 10-column table.
    void fillOneMeter()
    {
        const Cells rows[] = {{" ID ", "Addr. ", "Mfr. ", "Value ", "Unit ", "Medium ", "Time ", "Date ", "Status ", "Model "},
                              {"12345678", "5", "ABC", "12.5", "m3", "Ciep\xEA", "10:11:20", "01.02.24", "00", "M"}};
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 10; ++c)
                grid().setCell(c, r, rows[r][static_cast<std::size_t>(c)]);
        grid().setRowCount(3);
    }

    // Aims the log save, the meters export and the display export at path (a name with an
    // extension, which the exports keep), one after the other: each gives its own failure,
    // and the node at path stays what it was.
    void expectEverySaveRefused(const std::string& path)
    {
        struct stat before {};
        ASSERT_EQ(::lstat(path.c_str(), &before), 0);
        fillOneMeter();
        fillLog(1);
        prompts.queueSaveFile(path);
        form11().BitBtn6->click();
        EXPECT_EQ(form11().Log.lines().back(), "Can not write file, no rights...");
        EXPECT_TRUE(prompts.boxes.empty());
        for (QPushButton* button : {form11().Butt_save_data, form11().BitBtn10}) {
            SCOPED_TRACE(button->objectName().toStdString());
            prompts.queueSaveFile(path);
            button->click();
            expectOneBox(Icon::Error, "Error saving file", "File cannot be written, no rights!\nContact administrator.");
        }
        struct stat after {};
        ASSERT_EQ(::lstat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_rdev, before.st_rdev);
    }

private:
    QLocale saved_;
};

TEST_F(LogAndFilesTest, SavingTheLogProposesLogTxtInsideTheDataFolder)
{
    // A stored folder without its final separator still gets the file inside it.
    std::filesystem::create_directory(folder() + "/data");
    for (const char* dir : {"/data/", "/data"}) {
        writeIni("[Misc]\r\nDir=" + folder() + dir + "\r\n");
        start();
        form11().Log.add("Respond: 68 \x9C");
        prompts.dialogs.clear();
        prompts.queueSaveFile(folder() + "/data/saved");
        form11().BitBtn6->click();
        ASSERT_EQ(prompts.dialogs.size(), 1u);
        EXPECT_EQ(prompts.dialogs[0].args.fileName, folder() + "/data/log.txt") << dir;
        EXPECT_EQ(prompts.dialogs[0].args.filter, "Text Files (*.txt)");
        EXPECT_EQ(readFile(folder() + "/data/saved"), "\r\nRespond: 68 \x9C\r\n");   // no extension added
    }
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(LogAndFilesTest, TheFileDialogsStartInTheDataFolderWithTheirNamesAndFilters)
{
    using Kind = FakePrompts::DialogKind;
    std::filesystem::create_directories(folder() + "/data");
    std::filesystem::create_directories(folder() + "/other");
    writeIni("[Misc]\r\nDir=" + folder() + "/data/\r\n");
    start();
    TForm11& f = form11();
    const struct {
        QPushButton* button;
        Kind kind;
        const char* name;   // after the data folder for the log, alone for the table
        const char* filter;
        const char* extension;
    } cases[] = {
        {f.BitBtn6, Kind::Save, "log.txt", "Text Files (*.txt)", ""},
        {f.Butt_save_data, Kind::Save, "meters_data.csv", "CSV files (*.csv)", "csv"},
        {f.Butt_load_data, Kind::Open, "", "CSV (*.csv)", ""},
    };
    // The folder is the data folder of the moment, set anew before each dialog.
    for (const std::string& dir : {folder() + "/data/", folder() + "/other/"}) {
        f.DataDir = dir;
        for (const auto& c : cases) {
            SCOPED_TRACE(c.button->objectName().toStdString() + " in " + dir);
            prompts.dialogs.clear();
            if (c.kind == Kind::Save)
                prompts.queueSaveFile(std::nullopt);
            else
                prompts.queueOpenFile(std::nullopt);
            c.button->click();
            ASSERT_EQ(prompts.dialogs.size(), 1u);
            const FakePrompts::Dialog& d = prompts.dialogs[0];
            EXPECT_EQ(d.kind, c.kind);
            EXPECT_EQ(d.owner, &f);
            EXPECT_EQ(d.args.initialFolder, dir);
            EXPECT_EQ(d.args.fileName, c.button == f.BitBtn6 ? dir + c.name : std::string(c.name));
            EXPECT_EQ(d.args.filter, c.filter);
            EXPECT_EQ(d.args.defaultExtension, c.extension);
        }
    }
    EXPECT_TRUE(prompts.boxes.empty());
}

// On a full device: the log's failure goes into the log itself, the export's into a box, and
// the older files stay whole.
TEST_F(LogAndFilesTest, FailedSavesKeepTheOlderFiles)
{
    SmallTmpfs fs;
    if (!fs.mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    start();
    fillOneMeter();
    writeFile(fs.path("log.txt"), "older\r\n");
    writeFile(fs.path("meters_data.csv"), "older;\r\n");
    writeFile(folder() + "/plain", "");
    fs.fill();
    prompts.queueSaveFile(fs.path("log.txt"));
    form11().BitBtn6->click();
    prompts.queueSaveFile(folder() + "/plain/log.txt");   // the folder is a regular file
    form11().BitBtn6->click();
    EXPECT_TRUE(prompts.boxes.empty());
    prompts.queueSaveFile(fs.path("meters_data.csv"));
    form11().Butt_save_data->click();
    expectOneBox(Icon::Error, "Error saving file", "File cannot be written, no rights!\nContact administrator.");
    EXPECT_EQ(readFile(fs.path("log.txt")), "older\r\n");
    EXPECT_EQ(readFile(fs.path("meters_data.csv")), "older;\r\n");

    std::filesystem::remove(fs.path("filler"));
    prompts.queueSaveFile(fs.path("log.txt"));
    form11().BitBtn6->click();
    EXPECT_EQ(readFile(fs.path("log.txt")),
              "\r\nCan not write file, no rights...\r\nCan not write file, no rights...\r\n");
}

// A save replaces only a regular file: a FIFO or a device node the user aims at stays.
TEST_F(LogAndFilesTest, SavesAimedAtAFifoLeaveIt)
{
    start();
    const std::string fifo = folder() + "/log.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    expectEverySaveRefused(fifo);
}

TEST_F(LogAndFilesTest, SavesAimedAtADeviceNodeLeaveIt)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "making a device node needs root";
    const std::string device = folder() + "/null.csv";   // the numbers of /dev/null
    if (::mknod(device.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0)
        GTEST_SKIP() << "mknod: " << std::strerror(errno);
    start();
    expectEverySaveRefused(device);
}

TEST_F(LogAndFilesTest, PrintingIntoAPdfPutsThirtySixLinesOnTheFirstA4Page)
{
    start();
    clock.set({2024, 2, 1, 10, 11, 20, 0});
    fillLog(37);
    const QString pdf = QString::fromStdString(folder() + "/log.pdf");
    prompts.queuePrinter([&pdf](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageSize(QPageSize(QPageSize::A4));
        return true;
    });
    form11().BitBtn7->click();
    EXPECT_TRUE(prompts.boxes.empty());
    ASSERT_EQ(pdfPages(pdf), 2);
    EXPECT_TRUE(pdfText(pdf, 1).contains("Print of log file 01.02.24, 10:11:20")) << pdfText(pdf, 1).toStdString();
    const PdfPage one = pdfPage(pdf, 1);
    for (int i = 0; i <= 35; ++i) {
        const PdfWord* word = one.find(QString("row%1").arg(i));
        ASSERT_NE(word, nullptr) << i;
        EXPECT_LT(word->yMax, one.height) << i;
    }
    EXPECT_FALSE(one.has("row36"));
    EXPECT_TRUE(pdfPage(pdf, 2).has("row36"));

    prompts.queuePrinterCancel();
    form11().BitBtn7->click();
    EXPECT_TRUE(prompts.boxes.empty());
    prompts.queuePrinterToPdf(QString::fromStdString(folder() + "/no/such/log.pdf"));
    form11().BitBtn7->click();
    expectOneBox(Icon::Error, "Print log", "Printing failed");
}

// The clock moves on at every new page; the second new page fails.
class TurningPages : public RecordingPrintDevice {
public:
    explicit TurningPages(FakeClock& clock) : clock_(clock) { failAtNewPage = 2; }
    bool newPage() override
    {
        clock_.set({2024, 2, 1, 10, 12, 0, 0});
        return RecordingPrintDevice::newPage();
    }

private:
    FakeClock& clock_;
};

TEST_F(LogAndFilesTest, EveryPageHeaderReadsTheClockAndAFailingPrinterIsAbortedOnce)
{
    start();
    clock.set({2024, 2, 1, 10, 11, 20, 0});
    fillLog(80);
    TurningPages device(clock);
    form11().PrintLogTo(device);
    expectOneBox(Icon::Error, "Print log", "Printing failed");
    const auto pages = device.pages();
    ASSERT_EQ(pages.size(), 3u);   // the third never began
    EXPECT_EQ(pages[0][0].text, "Print of log file 01.02.24, 10:11:20");
    EXPECT_EQ(pages[1][0].text, "Print of log file 01.02.24, 10:12:00");
    EXPECT_EQ(pages[1].size(), 36u);   // the header and lines 36 to 70
    EXPECT_TRUE(pages[2].empty());
    EXPECT_EQ(device.count(RecordingPrintDevice::Kind::Abort), 1u);
    EXPECT_EQ(device.count(RecordingPrintDevice::Kind::End), 0u);
}

TEST_F(LogAndFilesTest, ExitAsksInTheTickedLanguageAndNoChangesNothing)
{
    const struct {
        QAction* TForm11::*item;
        const char* text;
        const char* caption;
    } cases[] = {
        {&TForm11::English1, "Are you sure you want to exit?", "Exit Confirmation"},
        {&TForm11::Italian1, "Sei sicuro di voler uscire?", "Conferma uscita"},
        {&TForm11::Polish1, "Czy jeste\x9C pewien, \xBF" "e chcesz opu\x9C" "ci\xE6 program?",
         "Potwierdzenie opuszczenia programu"},
    };
    writeIni("[Misc]\r\nEncoding=1\r\n");   // Polish letters stay Windows-1250 bytes all the same
    const std::string ini = readIni();
    for (const auto& c : cases) {
        start();
        TForm11& f = form11();
        (f.*c.item)->trigger();
        f.Timer_respond->start();
        prompts.queueAnswer(Prompts::Answer::No);
        f.Exit1->trigger();
        expectOneBox(Icon::Warning, c.caption, c.text);
        EXPECT_TRUE(f.isVisible() && f.Timer_respond->isActive());
        EXPECT_EQ(readIni(), ini);
        EXPECT_EQ(quitRequests, 0);
    }
    form11().UD_address_max->setValue(42);
    prompts.queueAnswer(Prompts::Answer::Yes);
    form11().Exit1->trigger();
    EXPECT_EQ(prompts.boxes.at(0).buttons, Prompts::Buttons::YesNo);
    EXPECT_FALSE(form11().isVisible());
    EXPECT_NE(readIni().find("SearchTo=42\r\n"), std::string::npos);
    EXPECT_EQ(quitRequests, 1);
}

TEST_F(LogAndFilesTest, MenusAndPages)
{
    start();
    TForm11& f = form11();
    QStringList items;
    for (QAction* menu : f.menuBar()->actions()) {
        items << menu->text() + ":";
        if (menu->menu() != f.Language1)
            for (QAction* item : menu->menu()->actions())
                items << item->text();
    }
    EXPECT_EQ(items.join(' '), "File: Open Save Exit Tools: Users Settings Language: Help: About");
    EXPECT_FALSE(f.Users1->isEnabled());
    f.Settings1->trigger();
    f.About1->trigger();
    EXPECT_TRUE(settings().isVisible() && windows().FAbout->isVisible());
    EXPECT_TRUE(f.isVisible() && f.isEnabled());

    // With ASCII ticked, the readings page keeps it and the meters page turns to Hex.
    f.PageControl1->setCurrentWidget(f.TabSheet3);
    f.PageControl1->setCurrentWidget(f.TabSheet4);
    EXPECT_TRUE(f.Check_ascii->isChecked() && !f.Check_hex->isChecked());
    f.PageControl1->setCurrentWidget(f.TabSheet1);
    EXPECT_TRUE(!f.Check_ascii->isChecked() && f.Check_hex->isChecked());
}

TEST_F(LogAndFilesTest, ExportWritesEveryCellWithTheSeparatorTypedAndCrLf)
{
    start();
    fillOneMeter();
    settings().Edit_export_separator->setText(",");   // typed, not applied
    prompts.queueSaveFile(folder() + "/out");
    form11().Save1->trigger();
    ASSERT_EQ(prompts.dialogs.size(), 1u);
    EXPECT_EQ(prompts.dialogs[0].args.fileName, "meters_data.csv");
    EXPECT_EQ(prompts.dialogs[0].args.filter, "CSV files (*.csv)");
    EXPECT_EQ(readFile(folder() + "/out.csv"),
              " ID ,Addr. ,Mfr. ,Value ,Unit ,Medium ,Time ,Date ,Status ,Model ,\r\n"
              "12345678,5,ABC,12.5,m3,Ciep\xEA,10:11:20,01.02.24,00,M,\r\n,,,,,,,,,,\r\n");

    prompts.queueSaveFile(std::nullopt);
    form11().Butt_save_data->click();
    EXPECT_TRUE(form11().Memo_export.empty());
    EXPECT_TRUE(prompts.boxes.empty());
}

// The window as the meter-row update sees it while a search fills the table.
struct Searching : MeterRowOwner {
    bool SearchActive() const override { return true; }
    bool MatchById() const override { return false; }
    int TitleCount() const override { return 0; }
    bool SecMainShown() const override { return false; }
    void setCurrentDevice(const std::string&, const std::string&) override {}
    void ShowCurrentDevice() override {}
    void addReportLine(const std::string&) override {}
    void showReport() override {}
    void clearFullReportMode() override {}
    DecodedAt decodedAt() override { return {"10:15:30", "03.02.26"}; }
};

TEST_F(LogAndFilesTest, ARoundTripGivesTheTableBackBelowItsHeaderLine)
{
    start();
    fillOneMeter();
    grid().clearRow(1);
    grid().setRowCount(2);
    Searching owner;
    MeterReplyState state;
    MeterRowUpdate update(owner, grid(), form11().Log);
    for (const SimMeter& meter : {SimMeter(5, "12345678", "ABC", 1, 0x04, hexBytes("0C 06 27 04 00 00")),
                                  SimMeter(7, "22222222", "LUG", 1, 0x07, hexBytes("0C 13 11 00 00 00"))})
        ASSERT_TRUE(ProcessMeterReply(form11().Log, meter.telegram(), false, '.', state, &update));
    const std::vector<Cells> found = tableOf(grid());
    ASSERT_EQ(found.size(), 4u);

    const std::string path = folder() + "/meters_data.csv";
    prompts.queueSaveFile(path);
    form11().Butt_save_data->click();
    prompts.queueOpenFile(path);
    form11().Open1->trigger();
    const std::vector<Cells> expected = {found[0], found[0], found[1], found[2], Cells(10), Cells(10)};
    EXPECT_EQ(tableOf(grid()), expected);
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(LogAndFilesTest, ImportPlacesFieldsInTheColumnsOfTheTableAsItIs)
{
    const struct {
        std::string content;
        std::vector<Cells> rows;   // the data rows of a 3-column table, its empty last row left out
    } cases[] = {
        {"a;b;c", {{"a", "b", ""}}},
        {std::string(60, 'x') + ";\r\nno separator\r\n\r\n1;2;3;4;", {{std::string(50, 'x'), "", ""}, Cells(3), Cells(3), {"1", "2", "3"}}},
        {"", {}},
    };
    start();
    grid().setColCount(3);
    for (const auto& c : cases) {
        grid().setCell(0, 1, "old");
        grid().setRowCount(4);
        std::vector<Cells> expected = {tableOf(grid())[0]};
        expected.insert(expected.end(), c.rows.begin(), c.rows.end());
        expected.push_back(Cells(3));
        writeFile(folder() + "/in.csv", c.content);
        prompts.queueOpenFile(folder() + "/in.csv");
        form11().Butt_load_data->click();
        EXPECT_EQ(tableOf(grid()), expected) << c.content;
    }
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(LogAndFilesTest, AWrongFileLeavesTheTableAsItWas)
{
    std::string wide;
    for (int i = 0; i < 25; ++i)
        wide += "v;";
    const struct {
        const char* name;
        std::string content;   // empty: the file does not exist
        Icon icon;
        const char* caption;
        const char* text;
    } cases[] = {
        {"missing", "", Icon::Warning, "File Error", WrongFile},
        {"truncated", " ID ;Addr. ;\r\n1;5;\r\n" + std::string(512, '\0'), Icon::Warning, "File Error", WrongFile},
        {"photo.jpg", hexBytes("FF D8 FF E0 00 10 4A 46 49 46 00 01"), Icon::Warning, "File Error", WrongFile},
        {"wide", "a;b;\r\n" + wide + "\r\n", Icon::None, "Ferolt",
         "You are trying to import too many data!!!\nCorrect csv file and try again!"},
    };
    start();
    fillOneMeter();
    const std::vector<Cells> before = tableOf(grid());
    for (const auto& c : cases) {
        const std::string path = folder() + "/" + c.name;
        if (!c.content.empty())
            writeFile(path, c.content);
        prompts.dialogs.clear();
        prompts.queueOpenFile(path);
        form11().Open1->trigger();
        EXPECT_FALSE(prompts.dialogs.at(0).args.mustExist);
        expectOneBox(c.icon, c.caption, c.text);
        EXPECT_EQ(tableOf(grid()), before) << c.name;
    }
}

} // namespace
