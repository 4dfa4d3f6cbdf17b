// The meter row update: the values chosen from the records, the rows written in each mode, the
// report, the walk's failures and the row that shows the selected meter.
#include "HexFile.h"
#include "LogModel.h"
#include "MeterRowUpdate.h"
#include "MeterValues.h"
#include "StringGrid.h"
#include "TelegramBuilder.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using Cells = std::vector<std::string>;

TelegramHeader meter(const std::string& mfr, int medium, const std::string& id = "12345678", int addr = 1)
{
    TelegramHeader h;
    h.manufacturer = mfr;
    h.medium = static_cast<std::uint8_t>(medium);
    h.id = id;
    h.address = static_cast<std::uint8_t>(addr);
    return h;
}

// Main value, energy in kWh; volume in m3; a flow value too long for a title; stored and
// tariff values that only the second main value looks for.
const char* const MainKwh = "0C 06 34 12 00 00 ";   // 1234.000 kWh
const char* const VolumeM3 = "0C 13 78 56 00 00 ";  // 5.678 m3, "TX1"
const char* const LongFlow = "0C 3B 78 56 34 12 ";  // 12345678.000 l/h
const char* const StoredKwh = "84 80 40 06 44 00 00 00 "; // 68.000
const char* const Vife3C = "04 86 3C 33 00 00 00 ";  // 51.000
const char* const TariffKwh = "8C 20 06 22 00 00 00 "; // 22.000

TEST(ChooseMeterValues, MainValueModelSecondMainAndTitles)
{
    const struct {
        const char* name;
        TelegramHeader header;
        std::string records;
        int titleCount;
        bool secMain;
        Cells expected; // main value, unit, model, second main, titles 1 to 3
    } cases[] = {
        {"heat meter", meter("EMH", 0x04), std::string(MainKwh) + VolumeM3, 1, false,
         {"1234.000", "kWh", "", "", "5.678 m3", "", ""}},
        {"AXI: the last kWh record", meter("AXI", 0x04), std::string(MainKwh) + "0C 06 99 00 00 00", 0, false,
         {"99.000", "kWh", "", "", "", "", ""}},
        {"AXI: a later 84 40 record ends it", meter("AXI", 0x04),
         std::string(MainKwh) + "84 40 06 11 00 00 00 0C 06 99 00 00 00", 0, false,
         {"17.000", "kWh", "", "", "", "", ""}},
        {"QVX water meter model", meter("QVX", 0x07), std::string(VolumeM3) + "0C 14 11 00 00 00", 0, false,
         {"5.678", "m3", "TX1", "", "", "", ""}},
        {"QVX under 84 40: no model", meter("QVX", 0x07), "84 40 13 22 00 00 00 0C 14 11 00 00 00", 0, false,
         {"0.034", "m3", "", "", "", "", ""}},
        {"model only for QVX", meter("EMH", 0x07), VolumeM3, 0, false, {"5.678", "m3", "", "", "", "", ""}},
        {"no expected unit", meter("EMH", 0x07), LongFlow, 0, false, {"", "", "", "", "", "", ""}},
        {"three titles, one record; cut to 15", meter("EMH", 0x04), std::string(LongFlow) + MainKwh, 3, false,
         {"1234.000", "kWh", "", "", "12345678.000 l/", "", ""}},
        {"titles in order, main unit skipped", meter("EMH", 0x04), std::string(VolumeM3) + MainKwh + LongFlow, 3,
         false, {"1234.000", "kWh", "", "", "5.678 m3", "12345678.000 l/", ""}},
        {"second main: the first rule met in table order", meter("QVX", 0x04),
         std::string(MainKwh) + Vife3C + StoredKwh, 0, true, {"1234.000", "kWh", "", "51.000", "", "", ""}},
        {"second main: AXI stored value", meter("AXI", 0x04), std::string(MainKwh) + StoredKwh, 0, true,
         {"68.000", "kWh", "", "68.000", "", "", ""}},
        {"second main: LUG passes the stored rule", meter("LUG", 0x04), std::string(MainKwh) + StoredKwh + TariffKwh,
         0, true, {"1234.000", "kWh", "", "22.000", "", "", ""}},
        {"second main: QVX stored value", meter("QVX", 0x04), std::string(MainKwh) + StoredKwh, 0, true,
         {"1234.000", "kWh", "", "68.000", "", "", ""}},
        {"second main: other makers none", meter("EMH", 0x04), std::string(MainKwh) + Vife3C + TariffKwh, 0, true,
         {"1234.000", "kWh", "", "", "", "", ""}},
        {"second main: only when shown", meter("LUG", 0x04), std::string(MainKwh) + Vife3C, 0, false,
         {"1234.000", "kWh", "", "", "", "", ""}},
    };
    for (const auto& c : cases) {
        const DecodedReply d = DecodeReply(telegram(c.header, hexBytes(c.records)), false, '.');
        ASSERT_TRUE(d.valid) << c.name;
        const MeterValues v = ChooseMeterValues(d.header, d.records, c.titleCount, c.secMain);
        const Cells got = {v.mainValue, v.mainUnit, v.model, v.secondMain, v.titles[0], v.titles[1], v.titles[2]};
        EXPECT_EQ(got, c.expected) << c.name;
        for (std::size_t i = static_cast<std::size_t>(c.titleCount); i < v.titles.size(); ++i)
            EXPECT_EQ(v.titles[i], "") << c.name;
    }
}

// The main window as the update sees it; its ShowCurrentDevice selects as the program's does.
struct FakeOwner : MeterRowOwner {
    StringGrid& grid;
    bool searching = false, byId = false, secMain = false, fullReport = true;
    int titles = 1;
    std::string curId, curAddr = "256";
    Cells report;
    int reportShown = 0;
    explicit FakeOwner(StringGrid& g) : grid(g) {}

    bool SearchActive() const override { return searching; }
    bool MatchById() const override { return byId; }
    int TitleCount() const override { return titles; }
    bool SecMainShown() const override { return secMain; }
    void setCurrentDevice(const std::string& id, const std::string& addr) override
    {
        curId = id;
        curAddr = addr;
    }
    void ShowCurrentDevice() override
    {
        if (const int row = CurrentDeviceRow(grid, curId, curAddr))
            grid.selectRow(row);
    }
    void addReportLine(const std::string& line) override { report.push_back(line); }
    void showReport() override { ++reportShown; }
    void clearFullReportMode() override { fullReport = false; }
    DecodedAt decodedAt() override { return {"10:15:30", "03.02.2026"}; }
};

struct Table : ::testing::Test {
    StringGrid grid{12, 2};
    LogModel log;
    FakeOwner owner{grid};
    MeterReplyState state;
    RecordWalk walk = WalkRecordLines;

    bool reply(const TelegramHeader& h, const std::string& records, bool report = false)
    {
        MeterRowUpdate update(owner, grid, log, walk);
        return ProcessMeterReply(log, telegram(h, hexBytes(records)), report, '.', state, &update);
    }
    Cells row(int r) const
    {
        Cells cells;
        for (int c = 0; c < grid.ColCount(); ++c)
            cells.push_back(grid.cell(c, r));
        return cells;
    }
    void addRow(const std::string& id, const std::string& addr, const std::string& value = "old")
    {
        const int r = grid.RowCount() - 1;
        grid.setCell(0, r, id);
        grid.setCell(1, r, addr);
        grid.setCell(3, r, value);
        grid.setRowCount(r + 2);
    }
    std::vector<Cells> all() const
    {
        std::vector<Cells> rows;
        for (int r = 0; r < grid.RowCount(); ++r)
            rows.push_back(row(r));
        return rows;
    }
};

TEST_F(Table, RowCellsWithAndWithoutTheSecondMainValue)
{
    owner.searching = true;
    const std::string records = std::string(MainKwh) + Vife3C + VolumeM3;
    ASSERT_TRUE(reply(meter("LUG", 0x04, "00001234", 17), records));
    owner.secMain = true;
    ASSERT_TRUE(reply(meter("LUG", 0x04, "00001234", 17), records));
    EXPECT_EQ(row(1), (Cells{"00001234", "17", "LUG", "1234.000", "kWh", "Heat (rt)", "10:15:30", "03.02.2026",
                             "0x00", "", "5.678 m3", ""}));
    EXPECT_EQ(row(2), (Cells{"00001234", "17", "LUG", "1234.000", "51.000", "kWh", "Heat (rt)", "10:15:30",
                             "03.02.2026", "0x00", "", "5.678 m3"}));
}

TEST_F(Table, SearchAppendsIntoTheEmptyRowAndSelectsIt)
{
    owner.searching = true;
    ASSERT_TRUE(reply(meter("EMH", 0x04, "11111111", 5), MainKwh));
    ASSERT_TRUE(reply(meter("EMH", 0x04, "22222222", 7), MainKwh));
    EXPECT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(grid.cell(1, 1), "5");
    EXPECT_EQ(grid.cell(1, 2), "7");
    EXPECT_EQ(row(3), Cells(12));
    EXPECT_EQ(grid.selectedRow(), 2);
    EXPECT_EQ(owner.curId, "22222222");
    EXPECT_EQ(owner.curAddr, "7");
}

TEST_F(Table, ByIdRewritesEveryRowOfTheIdOrAppends)
{
    owner.byId = true;
    addRow("11111111", "0");
    addRow("22222222", "0");
    addRow("11111111", "0");
    addRow("33333333", "4");
    grid.selectRow(4);
    ASSERT_TRUE(reply(meter("EMH", 0x04, "11111111", 0), MainKwh));
    EXPECT_EQ(grid.cell(3, 1), "1234.000");
    EXPECT_EQ(grid.cell(3, 2), "old");
    EXPECT_EQ(grid.cell(3, 3), "1234.000");
    EXPECT_EQ(grid.RowCount(), 6);
    EXPECT_EQ(grid.selectedRow(), 3); // the meter's own row, not the last one at address 0

    ASSERT_TRUE(reply(meter("EMH", 0x04, "44444444", 0), MainKwh));
    EXPECT_EQ(grid.RowCount(), 7);
    EXPECT_EQ(grid.cell(0, 5), "44444444");
    EXPECT_EQ(grid.selectedRow(), 5);
    EXPECT_EQ(row(6), Cells(12));
}

TEST_F(Table, ByAddressRewritesTheRowsOfTheAddressOnly)
{
    addRow("11111111", "0");
    addRow("22222222", "0");
    addRow("33333333", "7");
    grid.selectRow(3);
    const auto before = all();
    EXPECT_TRUE(reply(meter("EMH", 0x04, "55555555", 9), MainKwh));
    EXPECT_EQ(all(), before);
    EXPECT_EQ(grid.selectedRow(), 3);
    EXPECT_EQ(owner.curAddr, "256");

    // Two meters share address 0: only the one that answered changes.
    ASSERT_TRUE(reply(meter("EMH", 0x04, "11111111", 0), MainKwh));
    EXPECT_EQ(grid.cell(3, 1), "1234.000");
    EXPECT_EQ(row(2), before[2]);
    EXPECT_EQ(grid.selectedRow(), 1);

    // A meter whose ID changed keeps its row.
    ASSERT_TRUE(reply(meter("EMH", 0x04, "66666666", 7), MainKwh));
    EXPECT_EQ(grid.cell(0, 3), "66666666");
    EXPECT_EQ(grid.cell(3, 3), "1234.000");
    EXPECT_EQ(grid.RowCount(), 5);
    EXPECT_EQ(grid.selectedRow(), 3);
}

TEST_F(Table, ReportModeWritesTheReportAndLeavesTheTable)
{
    addRow("12345678", "1");
    const auto before = all();
    ASSERT_TRUE(reply(meter("EMH", 0x04), std::string(MainKwh) + VolumeM3, true));
    EXPECT_EQ(owner.report, (Cells{
        "ID:12345678, Mfr: EMH, Main medium: Heat (rt)",
        "Access counter: 1, Status: 0x00, Model: ",
        "DIF,DIFE=0C ; VIF, VIFE=06 ; Instantenous value , 1234.000 kWh, ",
        "DIF,DIFE=0C ; VIF, VIFE=13 ; Instantenous value , 5.678 m3, TX1",
        "Decoded at 10:15:30, 03.02.2026",
        "",
    }));
    EXPECT_EQ(owner.reportShown, 1);
    EXPECT_FALSE(owner.fullReport);
    EXPECT_EQ(all(), before);
    EXPECT_EQ(log.count(), 1u); // the reply's bytes only
}

TEST_F(Table, AFailingWalkIsReportedInBothModes)
{
    walk = [](const MeterReplyState& s, Cells* lines) {
        if (lines)
            lines->push_back(s.GridFullTelegram[0].reportLine());
        throw std::runtime_error("bad record");
    };
    addRow("12345678", "1");
    const auto before = all();
    EXPECT_TRUE(reply(meter("EMH", 0x04), MainKwh));
    EXPECT_EQ(log.lines().back(), "Exception decoding telegram - bad record");
    EXPECT_EQ(all(), before);
    EXPECT_EQ(owner.curAddr, "256");

    EXPECT_TRUE(reply(meter("EMH", 0x04), MainKwh, true));
    ASSERT_EQ(owner.report.size(), 6u);
    EXPECT_EQ(owner.report[2], "DIF,DIFE=0C ; VIF, VIFE=06 ; Instantenous value , 1234.000 kWh, ");
    EXPECT_EQ(owner.report[3], "Exception decoding all values!!!");
    EXPECT_EQ(owner.report[4], "Decoded at 10:15:30, 03.02.2026");
    EXPECT_EQ(owner.report[5], "");
    EXPECT_EQ(log.lines().back(), "Exception decoding all values!!!");
    EXPECT_EQ(owner.reportShown, 1);
    EXPECT_FALSE(owner.fullReport);
    EXPECT_EQ(all(), before);
}

TEST_F(Table, EveryRecordedMeterGivesARowInEachMode)
{
    owner.titles = 9;
    owner.secMain = true;
    grid.setColCount(20);
    int valid = 0;
    for (const auto& file : telegramFiles("meters")) {
        const std::string bytes = readHexFile(file);
        const DecodedReply d = DecodeReply(bytes, false, '.');
        if (!d.valid)
            continue;
        ++valid;
        const std::string addr = std::to_string(d.header.primaryAddress);
        for (int mode = 0; mode < 3; ++mode) {
            grid.setRowCount(2);
            grid.clearRow(1);
            owner.searching = mode == 0;
            owner.byId = mode == 1;
            if (mode == 2)
                addRow("", addr);
            MeterRowUpdate update(owner, grid, log);
            ASSERT_TRUE(ProcessMeterReply(log, bytes, false, '.', state, &update)) << file;
            EXPECT_EQ(grid.RowCount(), 3) << file << " mode " << mode;
            EXPECT_EQ(grid.cell(0, 1), d.header.id) << file << " mode " << mode;
            EXPECT_EQ(grid.cell(1, 1), addr) << file;
            EXPECT_EQ(grid.selectedRow(), 1) << file;
        }
    }
    EXPECT_GT(valid, 40);
}

TEST(CurrentDeviceRow, PrefersTheRowOfIdAndAddress)
{
    const struct {
        std::vector<std::pair<std::string, std::string>> rows; // ID, address
        std::string id, addr;
        int expected;
    } cases[] = {
        {{{"A", "5"}, {"B", "7"}, {"C", "5"}}, "X", "5", 3},
        {{{"A", "5"}, {"B", "7"}, {"C", "5"}}, "C", "5", 3},
        {{{"A", "0"}, {"B", "0"}}, "A", "0", 1},
        {{{"A", "0"}, {"B", "0"}, {"A", "0"}}, "A", "0", 3},
        {{{"A", "5"}, {"A", "7"}}, "A", "9", 0},
        {{{"A", "5"}, {"", ""}}, "", "256", 0},
    };
    for (const auto& c : cases) {
        StringGrid grid(11, static_cast<int>(c.rows.size()) + 1);
        for (std::size_t i = 0; i < c.rows.size(); ++i) {
            grid.setCell(0, static_cast<int>(i) + 1, c.rows[i].first);
            grid.setCell(1, static_cast<int>(i) + 1, c.rows[i].second);
        }
        EXPECT_EQ(CurrentDeviceRow(grid, c.id, c.addr), c.expected) << c.id << "/" << c.addr;
    }
}

} // namespace
