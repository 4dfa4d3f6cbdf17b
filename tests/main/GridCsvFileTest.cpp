#include "GridCsvFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

using Lines = std::vector<std::string>;
using Rows = std::vector<std::vector<std::string>>;

std::string repeat(char c, std::size_t n) { return std::string(n, c); }

// n fields "f1;f2;...;fn;" each ended by the separator.
std::string fieldsLine(int n)
{
    std::string line;
    for (int i = 1; i <= n; ++i)
        line += "f" + std::to_string(i) + ";";
    return line;
}

// ---- writing ----

TEST(GridCsvWrite, TenColumnTableGivesThreeLinesOfTenSeparators)
{
    Rows rows(3, std::vector<std::string>(10));
    for (int c = 0; c < 10; ++c) {
        rows[0][c] = "H" + std::to_string(c);
        rows[1][c] = std::to_string(c * 11);
    }
    const Lines lines = csvGridLines(csvGridFromRows(rows), ";");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "H0;H1;H2;H3;H4;H5;H6;H7;H8;H9;");
    EXPECT_EQ(lines[1], "0;11;22;33;44;55;66;77;88;99;");
    EXPECT_EQ(lines[2], ";;;;;;;;;;");
    EXPECT_EQ(csvFileBytes(lines), "H0;H1;H2;H3;H4;H5;H6;H7;H8;H9;\r\n"
                                   "0;11;22;33;44;55;66;77;88;99;\r\n"
                                   ";;;;;;;;;;\r\n");
}

TEST(GridCsvWrite, SeparatorsAreWrittenAsTheyAre)
{
    const Rows rows{{"a", "b;c", "\xEA"}, {"", "x", ""}};
    struct Case {
        std::string separator;
        Lines expected;
    };
    const Case cases[] = {
        {";", {"a;b;c;\xEA;", ";x;;"}},       // no quoting: the cell's ";" stays as it is
        {",", {"a,b;c,\xEA,", ",x,,"}},
        {"", {"ab;c\xEA", "x"}},              // cells run together
        {"<>", {"a<>b;c<>\xEA<>", "<>x<><>"}}, // a longer separator is written whole
    };
    for (const Case& c : cases)
        EXPECT_EQ(csvGridLines(csvGridFromRows(rows), c.separator), c.expected)
            << "separator '" << c.separator << "'";
}

TEST(GridCsvWrite, GridThroughAccessorAndRaggedRows)
{
    // The accessor is asked for every cell of columnCount x rowCount, row by row.
    CsvGrid grid{3, 2, [](int c, int r) { return std::string(1, char('a' + c)) + char('0' + r); }};
    EXPECT_EQ(csvGridLines(grid, ";"), (Lines{"a0;b0;c0;", "a1;b1;c1;"}));

    const Rows ragged{{"1"}, {"1", "2", "3"}, {}};
    EXPECT_EQ(csvGridLines(csvGridFromRows(ragged), ";"), (Lines{"1;;;", "1;2;3;", ";;;"}));
    EXPECT_EQ(csvFileBytes({}), "");
}

// ---- reading lines ----

TEST(GridCsvRead, LineEnds)
{
    struct Case {
        std::string bytes;
        Lines expected;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r", {"a"}},
        {"a\n", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb\nc\r\nd\r\n", {"a", "b", "c", "d"}},
        {"a\n\rb", {"a", "", "b"}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"\r\n", {""}},
        {"\r\n\r\n", {"", ""}},
        {"x;\r\n\r\ny;", {"x;", "", "y;"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(csvFileLines(c.bytes), c.expected) << "bytes '" << c.bytes << "'";
}

TEST(GridCsvRead, LongLinesAreCutAt4096)
{
    EXPECT_EQ(csvFileLines(repeat('x', 4096) + "\r\n"), Lines{repeat('x', 4096)});
    EXPECT_EQ(csvFileLines(repeat('x', 4097)), Lines{repeat('x', 4096)});
    // The rest of a long line is dropped, not read as a line of its own.
    EXPECT_EQ(csvFileLines(repeat('y', 5000) + "\r\nb;\n"), (Lines{repeat('y', 4096), "b;"}));
    EXPECT_EQ(csvFileLines(repeat('z', 5000) + "\rq"), (Lines{repeat('z', 4096), "q"}));
}

// ---- fields ----

TEST(GridCsvFields, FieldsEndAtTheSeparator)
{
    struct Case {
        std::string line;
        std::string separator;
        Lines fields;
    };
    const Case cases[] = {
        {"a;b;c", ";", {"a", "b"}},          // c has no separator after it
        {"", ";", {}},
        {"abc", ";", {}},                    // no separator: no field
        {";", ";", {""}},
        {"a;;b;", ";", {"a", "", "b"}},
        {"a;b,c,", ",", {"a;b", "c"}},
        {"\xEA\x9C;", ";", {"\xEA\x9C"}},
        {"a;;b;;", ";;", {}},                // a separator of two characters never matches
        {"a;b;", "", {}},                    // nor does an empty one
        {repeat('m', 60) + ";n;", ";", {repeat('m', 50), "n"}},
        {repeat('k', 50) + ";", ";", {repeat('k', 50)}},
    };
    for (const Case& c : cases) {
        const CsvFields split = csvLineFields(c.line, c.separator);
        EXPECT_EQ(split.fields, c.fields) << "line '" << c.line << "'";
        EXPECT_FALSE(split.tooMany) << "line '" << c.line << "'";
    }
}

TEST(GridCsvFields, TwentyFieldsFitAndTheTwentyFirstIsTooMany)
{
    const CsvFields twenty = csvLineFields(fieldsLine(20) + "rest without separator", ";");
    EXPECT_FALSE(twenty.tooMany);
    ASSERT_EQ(twenty.fields.size(), 20u);
    EXPECT_EQ(twenty.fields.front(), "f1");
    EXPECT_EQ(twenty.fields.back(), "f20");

    for (int n : {21, 22, 25}) {
        const CsvFields many = csvLineFields(fieldsLine(n), ";");
        EXPECT_TRUE(many.tooMany) << n << " fields";
        EXPECT_EQ(many.fields.size(), 20u) << n << " fields";
    }
}

TEST(GridCsvFields, TheSlotCountIsTheLimit)
{
    // The display table's files: 14 fields fit, a 15th is too many, for the line and the file.
    const CsvFields fourteen = csvLineFields(fieldsLine(14), ";", CsvDisplayFieldSlots);
    EXPECT_FALSE(fourteen.tooMany);
    EXPECT_EQ(fourteen.fields.size(), 14u);
    const CsvFields fifteen = csvLineFields(fieldsLine(15), ";", CsvDisplayFieldSlots);
    EXPECT_TRUE(fifteen.tooMany);
    EXPECT_EQ(fifteen.fields.size(), 14u);
    EXPECT_EQ(csvCheckImport(fieldsLine(15) + "\r\n", ";", CsvDisplayFieldSlots).status,
              CsvImportStatus::TooManyData);
    EXPECT_EQ(csvCheckImport(fieldsLine(15) + "\r\n", ";").status, CsvImportStatus::Good);
    EXPECT_EQ(csvRowCells(fieldsLine(15), 14, ";", CsvDisplayFieldSlots).back(), "f14");
    // No slot at all takes nothing.
    EXPECT_TRUE(csvLineFields("a;", ";", 0).tooMany);
}

TEST(GridCsvFields, RowCellsFollowTheColumnCount)
{
    struct Case {
        std::string line;
        int columns;
        Lines cells;
    };
    const Case cases[] = {
        {"a;b;c", 10, {"a", "b", "", "", "", "", "", "", "", ""}},
        {"1;2;3;4;", 2, {"1", "2"}},  // fields beyond the columns are dropped
        {"no separator", 3, {"", "", ""}},
        {"", 0, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(csvRowCells(c.line, c.columns, ";"), c.cells) << "line '" << c.line << "'";

    // Columns beyond the 20 fields a line can carry stay empty.
    const Lines wide = csvRowCells(fieldsLine(20), 25, ";");
    ASSERT_EQ(wide.size(), 25u);
    EXPECT_EQ(wide[19], "f20");
    for (int c = 20; c < 25; ++c)
        EXPECT_EQ(wide[c], "") << "column " << c;
}

// ---- the import's check ----

TEST(GridCsvCheck, WholeFileIsCheckedBeforeUse)
{
    struct Case {
        const char* name;
        std::optional<std::string> bytes;
        CsvImportStatus status;
        std::size_t lines;
    };
    const std::string good = "a;b;\r\nc;d;\r\n";
    const Case cases[] = {
        {"unreadable", std::nullopt, CsvImportStatus::WrongFile, 0},
        {"empty", std::string(), CsvImportStatus::Good, 0},
        {"good", good, CsvImportStatus::Good, 2},
        {"zero-filled tail", good + std::string(64, '\0'), CsvImportStatus::WrongFile, 0},
        {"JPEG", std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01", 13),
         CsvImportStatus::WrongFile, 0},
        {"21st field on the last line", good + fieldsLine(21), CsvImportStatus::TooManyData, 0},
        {"foreign CSV of 25 fields", fieldsLine(25) + "\r\n" + fieldsLine(25) + "\r\n",
         CsvImportStatus::TooManyData, 0},
        {"NUL before a wide line", std::string("\0\n", 2) + fieldsLine(25),
         CsvImportStatus::WrongFile, 0},
        // The separators past the 4096th character are never read, so they do not count.
        {"wide only past the cut", repeat('x', 4096) + fieldsLine(25), CsvImportStatus::Good, 1},
        {"20 fields", fieldsLine(20) + "\n" + fieldsLine(20), CsvImportStatus::Good, 2},
    };
    for (const Case& c : cases) {
        const CsvImportCheck check = csvCheckImport(c.bytes, ";");
        EXPECT_EQ(check.status, c.status) << c.name;
        EXPECT_EQ(check.lines.size(), c.lines) << c.name;
    }
}

TEST(GridCsvCheck, SeparatorDecidesWhatIsTooWide)
{
    const std::string wide = fieldsLine(25);
    EXPECT_EQ(csvCheckImport(wide, ";").status, CsvImportStatus::TooManyData);
    EXPECT_EQ(csvCheckImport(wide, ",").status, CsvImportStatus::Good);
    EXPECT_EQ(csvCheckImport(wide, ";;").status, CsvImportStatus::Good);
}

// ---- round trip ----

TEST(GridCsvRoundTrip, ExportedTableComesBackShiftedByTheHeaderLine)
{
    const Rows table{
        {"Addr.", "ID", "Man.", "Value", "Unit", "Med.", "Time", "Date", "Ver.", "Model", "m3"},
        {"5", "12345678", "QVX", "123.456", "kWh", "Heat", "10:11:12", "01.02.2024", "1", "TX1",
         "4.5 m3"},
        {"7", "87654321", "AXI", "\xEA\x9C", "", "Water", "", "", "", "", ""},
        {"", "", "", "", "", "", "", "", "", "", ""},
    };
    const std::string bytes = csvFileBytes(csvGridLines(csvGridFromRows(table), ";"));
    const CsvImportCheck check = csvCheckImport(bytes, ";");
    ASSERT_EQ(check.status, CsvImportStatus::Good);
    const Rows rows = csvRows(check.lines, 11, ";");
    // Every line is data: the header line too, and the empty row comes back as empty cells.
    EXPECT_EQ(rows, table);
}

TEST(GridCsvRoundTrip, CellHoldingTheSeparatorSplits)
{
    const Rows table{{"a;b", "c", "d"}};
    const std::string bytes = csvFileBytes(csvGridLines(csvGridFromRows(table), ";"));
    const CsvImportCheck check = csvCheckImport(bytes, ";");
    ASSERT_EQ(check.status, CsvImportStatus::Good);
    EXPECT_EQ(csvRows(check.lines, 3, ";"), (Rows{{"a", "b", "c"}}));
}

// ---- reading files ----

class GridCsvFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "ferolt-csv-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string write(const std::string& name, const std::string& bytes)
    {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    std::filesystem::path dir_;
};

TEST_F(GridCsvFiles, RegularFileIsReadByteForByte)
{
    const std::string bytes("h;\r\n\xEA\x9C;\r\n\x01\xFF;", 11);
    EXPECT_EQ(csvReadFile(write("meters.csv", bytes)), bytes);
    EXPECT_EQ(csvReadFile(write("empty.csv", "")), std::string());
    const std::string big(200000, 'q');
    EXPECT_EQ(csvReadFile(write("big.csv", big)), big);
}

TEST_F(GridCsvFiles, WhatCannotBeReadGivesNothing)
{
    const std::string file = write("plain.csv", "a;\r\n");
    const std::string fifo = (dir_ / "pipe.csv").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string paths[] = {
        (dir_ / "missing.csv").string(),
        dir_.string(),         // a folder
        file + "/inner.csv",   // a path running through a regular file
        fifo,                  // not a regular file; opening it must not wait for a writer
        "",
    };
    for (const std::string& path : paths) {
        EXPECT_EQ(csvReadFile(path), std::nullopt) << path;
        EXPECT_EQ(csvCheckImportFile(path, ";").status, CsvImportStatus::WrongFile) << path;
    }
}

TEST_F(GridCsvFiles, TruncatedExportIsAWrongFile)
{
    // What a crash during a write may leave: the start of an export, then zeros.
    const std::string path = write("cut.csv", "a;b;\r\nc;" + std::string(4096, '\0'));
    EXPECT_EQ(csvCheckImportFile(path, ";").status, CsvImportStatus::WrongFile);
    const CsvImportCheck good = csvCheckImportFile(write("ok.csv", "a;b;\r\nc;"), ";");
    EXPECT_EQ(good.status, CsvImportStatus::Good);
    EXPECT_EQ(good.lines, (Lines{"a;b;", "c;"}));
}

} // namespace
