#include "AppFixture.h"
#include "MeterReply.h"
#include "MeterRowUpdate.h"
#include "SimMeter.h"
#include "SmallTmpfs.h"
#include "StringGridView.h"
#include "TForm11.h"
#include "TSettings.h"
#include "TelegramBuilder.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Icon = Prompts::Icon;
using Cells = std::vector<std::string>;

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
    std::vector<Cells> rows;
    for (int r = 0; r < grid.RowCount(); ++r) {
        Cells cells;
        for (int c = 0; c < grid.ColCount(); ++c)
            cells.push_back(grid.cell(c, r));
        rows.push_back(cells);
    }
    return rows;
}

const Cells EnglishHeaders = {" ID ",   "Addr. ", "Mfr. ",   "Value ",   "Unit ",
                              "Medium ", "Time ",  "Date ",   "Status ", "Model "};

class MetersCsvTest : public AppFixture {
protected:
    StringGrid& grid() { return form11().Grid_vantrel->grid(); }

    // A table with its header, one meter and the empty last row.
    void fillOneMeter()
    {
        for (int c = 0; c < 10; ++c)
            grid().setCell(c, 0, EnglishHeaders[static_cast<std::size_t>(c)]);
        const Cells meter = {"12345678", "5", "ABC", "12.5", "m3", "Water", "10:11:20", "01.02.24", "00", "M"};
        for (int c = 0; c < 10; ++c)
            grid().setCell(c, 1, meter[static_cast<std::size_t>(c)]);
        grid().setRowCount(3);
    }

    // Loads content through the Load button; gives the table afterwards.
    std::vector<Cells> load(const std::string& content)
    {
        const std::string path = folder() + "/in.csv";
        writeFile(path, content);
        prompts.queueOpenFile(path);
        form11().Butt_load_data->click();
        return tableOf(grid());
    }
};

TEST_F(MetersCsvTest, ExportWritesEveryCellWithTheSeparatorTypedAndCrLf)
{
    start();
    fillOneMeter();
    grid().setCell(5, 1, "Ciep\xEA");
    settings().Edit_export_separator->setText(",");   // typed, not applied
    prompts.queueSaveFile(folder() + "/out");
    form11().Save1->trigger();

    ASSERT_EQ(prompts.dialogs.size(), 1u);
    const Prompts::FileDialog& args = prompts.dialogs[0].args;
    EXPECT_EQ(args.filter, "CSV files (*.csv)");
    EXPECT_EQ(args.fileName, "meters_data.csv");
    EXPECT_EQ(args.initialFolder, folder() + "/");
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_EQ(readFile(folder() + "/out.csv"),
              " ID ,Addr. ,Mfr. ,Value ,Unit ,Medium ,Time ,Date ,Status ,Model ,\r\n"
              "12345678,5,ABC,12.5,m3,Ciep\xEA,10:11:20,01.02.24,00,M,\r\n"
              ",,,,,,,,,,\r\n");
    EXPECT_EQ(form11().Memo_export.size(), 3u);
    EXPECT_EQ(grid().RowCount(), 3);

    prompts.queueSaveFile(std::nullopt);
    form11().Butt_save_data->click();
    EXPECT_TRUE(form11().Memo_export.empty());
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(MetersCsvTest, AFailedExportShowsItsBoxAndKeepsTheOlderFile)
{
    SmallTmpfs fs;
    if (!fs.mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    start();
    fillOneMeter();
    const std::string older = "an older export;\r\n";
    writeFile(fs.path("meters_data.csv"), older);
    fs.fill();
    prompts.queueSaveFile(fs.path("meters_data.csv"));   // the device is full
    form11().Butt_save_data->click();
    prompts.queueSaveFile(folder() + "/meters_data.csv/x.csv");   // a folder that is a file
    writeFile(folder() + "/meters_data.csv", "");
    form11().Butt_save_data->click();

    ASSERT_EQ(prompts.boxes.size(), 2u);
    for (const auto& box : prompts.boxes) {
        EXPECT_EQ(box.icon, Icon::Error);
        EXPECT_EQ(box.caption, "Error saving file");
        EXPECT_EQ(box.text, "File cannot be written, no rights!\nContact administrator.");
    }
    EXPECT_EQ(readFile(fs.path("meters_data.csv")), older);
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

TEST_F(MetersCsvTest, ARoundTripGivesTheTableBackBelowItsHeaderLine)
{
    start();
    TForm11& f = form11();
    for (int c = 0; c < 10; ++c)
        grid().setCell(c, 0, EnglishHeaders[static_cast<std::size_t>(c)]);
    Searching owner;
    MeterReplyState state;
    MeterRowUpdate update(owner, grid(), f.Log);
    for (const SimMeter& meter : {SimMeter(5, "12345678", "ABC", 1, 0x04, hexBytes("0C 06 27 04 00 00")),
                                  SimMeter(7, "22222222", "LUG", 1, 0x07, hexBytes("0C 13 11 00 00 00"))})
        ASSERT_TRUE(ProcessMeterReply(f.Log, meter.telegram(), false, '.', state, &update));
    const std::vector<Cells> found = tableOf(grid());
    ASSERT_EQ(found.size(), 4u);
    ASSERT_EQ(found[1][0], "12345678");
    ASSERT_EQ(found[2][2], "LUG");

    const std::string path = folder() + "/meters_data.csv";
    prompts.queueSaveFile(path);
    f.Butt_save_data->click();
    prompts.queueOpenFile(path);
    f.Open1->trigger();

    const std::vector<Cells> loaded = tableOf(grid());
    ASSERT_EQ(loaded.size(), 6u);
    EXPECT_EQ(loaded[0], found[0]);   // the header row is not written by the import
    EXPECT_EQ(loaded[1], EnglishHeaders);
    EXPECT_EQ(loaded[2], found[1]);
    EXPECT_EQ(loaded[3], found[2]);
    EXPECT_EQ(loaded[4], Cells(10));
    EXPECT_EQ(loaded[5], Cells(10));
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_EQ(f.Memo_export.size(), 4u);
}

TEST_F(MetersCsvTest, ImportPlacesFieldsByTheirSeparators)
{
    const std::string a4096(4096, 'a');
    const std::string a50(50, 'a');
    const struct {
        std::string content;
        int columns;
        std::vector<Cells> rows;   // the data rows, the empty last row left out
    } cases[] = {
        {"a;b;c", 10, {{"a", "b", "", "", "", "", "", "", "", ""}}},
        {std::string(60, 'x') + ";", 3, {{std::string(50, 'x'), "", ""}}},
        {"no separator\r\n\r\n1;2;\r\n", 3, {{"", "", ""}, {"", "", ""}, {"1", "2", ""}}},
        {"x;\r\ny;\rz;\n", 2, {{"x", ""}, {"y", ""}, {"z", ""}}},
        {"x;\ny;\r\nz;", 2, {{"x", ""}, {"y", ""}, {"z", ""}}},
        // A line is read up to its 4096th character: the separator after it is not seen.
        {a4096.substr(1) + ";b;", 2, {{a50, ""}}},
        {a4096 + ";b;", 2, {{"", ""}}},
        {"", 3, {}},
    };
    start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.substr(0, 40));
        grid().setColCount(c.columns);
        grid().setCell(0, 0, "head");
        grid().setCell(0, 1, "old");
        grid().setRowCount(4);
        std::vector<Cells> expected = {tableOf(grid())[0]};
        expected.insert(expected.end(), c.rows.begin(), c.rows.end());
        expected.push_back(Cells(static_cast<std::size_t>(c.columns)));
        EXPECT_EQ(load(c.content), expected);
        EXPECT_TRUE(prompts.boxes.empty());
    }

    // Twenty fields fit a table of twenty columns.
    Cells twenty;
    std::string line;
    for (int i = 0; i < 20; ++i) {
        twenty.push_back("f" + std::to_string(i));
        line += twenty.back() + ";";
    }
    grid().setColCount(20);
    const std::vector<Cells> table = load(line + "\r\n");
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[1], twenty);
}

TEST_F(MetersCsvTest, AWrongFileLeavesTheTableAsItWas)
{
    std::string truncated = " ID ;Addr. ;\r\n12345678;5;\r\n";
    truncated.append(512, '\0');
    std::string jpeg = hexBytes("FF D8 FF E0 00 10 4A 46 49 46 00 01 01 00 00 01 00 01 00 00");
    std::string wide;
    for (int i = 0; i < 25; ++i)
        wide += "v" + std::to_string(i) + ";";
    const struct {
        const char* what;
        std::string content;   // none: the file does not exist
        Icon icon;
        const char* caption;
        const char* text;
    } cases[] = {
        {"missing", "", Icon::Warning, "File Error", "You chose wrong file for import!\nContact administrator!"},
        {"truncated", truncated, Icon::Warning, "File Error", "You chose wrong file for import!\nContact administrator!"},
        {"jpeg", jpeg, Icon::Warning, "File Error", "You chose wrong file for import!\nContact administrator!"},
        {"wide", "a;b;\r\n" + wide + "\r\n", Icon::None, "Ferolt",
         "You are trying to import too many data!!!\nCorrect csv file and try again!"},
    };
    start();
    fillOneMeter();
    const std::vector<Cells> before = tableOf(grid());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        prompts.boxes.clear();
        prompts.dialogs.clear();
        const std::string path = folder() + "/" + c.what + ".csv";
        if (!c.content.empty())
            writeFile(path, c.content);
        prompts.queueOpenFile(path);
        form11().Open1->trigger();

        ASSERT_EQ(prompts.dialogs.size(), 1u);
        EXPECT_EQ(prompts.dialogs[0].args.filter, "CSV (*.csv)");
        EXPECT_FALSE(prompts.dialogs[0].args.mustExist);
        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].icon, c.icon);
        EXPECT_EQ(prompts.boxes[0].caption, c.caption);
        EXPECT_EQ(prompts.boxes[0].text, c.text);
        EXPECT_EQ(tableOf(grid()), before);
    }

    prompts.queueOpenFile(std::nullopt);   // Cancel
    form11().Butt_load_data->click();
    EXPECT_EQ(tableOf(grid()), before);
}

} // namespace
