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

const std::string MainKwh = "0C 06 34 12 00 00 ";         // 1234.000 kWh
const std::string VolumeM3 = "0C 13 78 56 00 00 ";        // 5.678 m3, "TX1"
const std::string LongFlow = "0C 3B 78 56 34 12 ";        // 12345678.000 l/h
const std::string StoredKwh = "84 80 40 06 44 00 00 00 "; // 68.000 kWh
const std::string Vife3C = "04 86 3C 33 00 00 00 ";       // 51.000 kWh
const std::string TariffKwh = "8C 20 06 22 00 00 00 ";    // 22.000 kWh

TEST(ChooseMeterValues, MainValueModelSecondMainAndTitles)
{
    const struct {
        TelegramHeader header;
        std::string records;
        int titleCount;
        bool secMain;
        const char* expected; // main value|unit|model|second main|titles 1 to 3
    } cases[] = {
        {meter("EMH", 4), MainKwh + VolumeM3, 1, false, "1234.000|kWh|||5.678 m3||"},
        {meter("AXI", 4), MainKwh + "0C 06 99 00 00 00", 0, false, "99.000|kWh|||||"},
        {meter("AXI", 4), MainKwh + "84 40 06 11 00 00 00 0C 06 99 00 00 00", 0, false, "17.000|kWh|||||"},
        {meter("QVX", 7), VolumeM3 + "0C 14 11 00 00 00", 0, false, "5.678|m3|TX1||||"},
        {meter("QVX", 7), "84 40 13 22 00 00 00 " + VolumeM3, 0, false, "0.034|m3|||||"},
        {meter("EMH", 7), VolumeM3, 0, false, "5.678|m3|||||"},
        // the main unit is no title; titles in record order, cut to 15
        {meter("EMH", 4), VolumeM3 + MainKwh + LongFlow, 3, false, "1234.000|kWh|||5.678 m3|12345678.000 l/|"},
        // second main value: the first record that meets one of the rules
        {meter("QVX", 4), MainKwh + Vife3C + StoredKwh, 0, true, "1234.000|kWh||51.000|||"},
        {meter("AXI", 4), MainKwh + StoredKwh, 0, true, "68.000|kWh||68.000|||"},
        {meter("LUG", 4), MainKwh + StoredKwh + TariffKwh, 0, true, "1234.000|kWh||22.000|||"},
        {meter("EMH", 4), MainKwh + Vife3C + TariffKwh, 0, true, "1234.000|kWh|||||"},
        {meter("LUG", 4), MainKwh + Vife3C, 0, false, "1234.000|kWh|||||"},
    };
    for (const auto& c : cases) {
        const DecodedReply d = DecodeReply(telegram(c.header, hexBytes(c.records)), false, '.');
        const MeterValues v = ChooseMeterValues(d.header, d.records, c.titleCount, c.secMain);
        EXPECT_EQ(v.mainValue + "|" + v.mainUnit + "|" + v.model + "|" + v.secondMain + "|" + v.titles[0] + "|" +
                      v.titles[1] + "|" + v.titles[2],
                  c.expected)
            << c.header.manufacturer << " " << c.records;
    }
}

// The main window as the update sees it; its ShowCurrentDevice selects as the program's does.
struct Table : ::testing::Test, MeterRowOwner {
    StringGrid grid{12, 2};
    LogModel log;
    MeterReplyState state;
    RecordWalk walk = WalkRecordLines;
    bool searching = false, byId = false, secMain = false, fullReport = true;
    int titles = 1, reportShown = 0;
    std::string curId, curAddr = "256";
    Cells report;

    bool SearchActive() const override { return searching; }
    bool MatchById() const override { return byId; }
    int TitleCount() const override { return titles; }
    bool SecMainShown() const override { return secMain; }
    void setCurrentDevice(const std::string& id, const std::string& addr) override { curId = id, curAddr = addr; }
    void ShowCurrentDevice() override
    {
        if (const int row = CurrentDeviceRow(grid, curId, curAddr))
            grid.selectRow(row);
    }
    void addReportLine(const std::string& line) override { report.push_back(line); }
    void showReport() override { ++reportShown; }
    void clearFullReportMode() override { fullReport = false; }
    DecodedAt decodedAt() override { return {"10:15:30", "03.02.2026"}; }

    bool reply(const TelegramHeader& h, const std::string& records, bool reportMode = false)
    {
        MeterRowUpdate update(*this, grid, log, walk);
        return ProcessMeterReply(log, telegram(h, hexBytes(records)), reportMode, '.', state, &update);
    }
    Cells row(int r) const
    {
        Cells cells;
        for (int c = 0; c < grid.ColCount(); ++c)
            cells.push_back(grid.cell(c, r));
        return cells;
    }
    std::vector<Cells> all() const
    {
        std::vector<Cells> rows;
        for (int r = 0; r < grid.RowCount(); ++r)
            rows.push_back(row(r));
        return rows;
    }
    void addRows(const std::vector<std::pair<std::string, std::string>>& idAndAddr)
    {
        for (const auto& [id, addr] : idAndAddr) {
            const int r = grid.RowCount() - 1;
            grid.setCell(0, r, id);
            grid.setCell(1, r, addr);
            grid.setCell(3, r, "old");
            grid.setRowCount(r + 2);
        }
    }
};

TEST_F(Table, SearchFillsTheEmptyRowWithOrWithoutTheSecondMainValue)
{
    searching = true;
    ASSERT_TRUE(reply(meter("LUG", 4, "00001234", 17), MainKwh + Vife3C + VolumeM3));
    secMain = true;
    ASSERT_TRUE(reply(meter("LUG", 4, "00005678", 18), MainKwh + Vife3C + VolumeM3));
    EXPECT_EQ(row(1), (Cells{"00001234", "17", "LUG", "1234.000", "kWh", "Heat (rt)", "10:15:30", "03.02.2026",
                             "0x00", "", "5.678 m3", ""}));
    EXPECT_EQ(row(2), (Cells{"00005678", "18", "LUG", "1234.000", "51.000", "kWh", "Heat (rt)", "10:15:30",
                             "03.02.2026", "0x00", "", "5.678 m3"}));
    EXPECT_EQ(row(3), Cells(12));
    EXPECT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(curId + "/" + curAddr, "00005678/18");
}

TEST_F(Table, ByIdRewritesEveryRowOfTheIdOrAppends)
{
    byId = true;
    addRows({{"11111111", "0"}, {"22222222", "0"}, {"11111111", "0"}});
    ASSERT_TRUE(reply(meter("EMH", 4, "11111111", 0), MainKwh));
    EXPECT_EQ(grid.cell(3, 1) + grid.cell(3, 2) + grid.cell(3, 3), "1234.000old1234.000");
    ASSERT_TRUE(reply(meter("EMH", 4, "44444444", 0), MainKwh));
    EXPECT_EQ(grid.RowCount(), 6);
    EXPECT_EQ(grid.cell(0, 4) + "@" + std::to_string(grid.selectedRow()), "44444444@4");
}

TEST_F(Table, ByAddressRewritesTheRowsOfTheAddressOnly)
{
    addRows({{"11111111", "0"}, {"22222222", "0"}, {"33333333", "7"}});
    const auto before = all();
    EXPECT_TRUE(reply(meter("EMH", 4, "55555555", 9), MainKwh));
    EXPECT_EQ(all(), before);

    // Two meters share address 0: only the one that answered changes, and it is selected.
    ASSERT_TRUE(reply(meter("EMH", 4, "11111111", 0), MainKwh));
    EXPECT_EQ(grid.cell(3, 1), "1234.000");
    EXPECT_EQ(row(2), before[2]);
    EXPECT_EQ(grid.selectedRow(), 1);

    // A meter whose ID changed keeps its row.
    ASSERT_TRUE(reply(meter("EMH", 4, "66666666", 7), MainKwh));
    EXPECT_EQ(grid.cell(0, 3) + " " + grid.cell(3, 3), "66666666 1234.000");
    EXPECT_EQ(grid.RowCount(), 5);
}

TEST_F(Table, ReportModeWritesTheReportAndLeavesTheTable)
{
    addRows({{"12345678", "1"}});
    const auto before = all();
    ASSERT_TRUE(reply(meter("EMH", 4), MainKwh + VolumeM3, true));
    EXPECT_EQ(report, (Cells{"ID:12345678, Mfr: EMH, Main medium: Heat (rt)",
                             "Access counter: 1, Status: 0x00, Model: ",
                             "DIF,DIFE=0C ; VIF, VIFE=06 ; Instantenous value , 1234.000 kWh, ",
                             "DIF,DIFE=0C ; VIF, VIFE=13 ; Instantenous value , 5.678 m3, TX1",
                             "Decoded at 10:15:30, 03.02.2026", ""}));
    EXPECT_TRUE(reportShown == 1 && !fullReport);
    EXPECT_EQ(all(), before);
}

TEST_F(Table, ADateRunningPastTheDataIsTheLastRecordInBothModes)
{
    // 00 6D with three bytes left: the date row, and nothing decoded from its bytes.
    addRows({{"12345678", "1"}});
    ASSERT_TRUE(reply(meter("EMH", 1), "00 6D 05 0A 41", true));
    EXPECT_EQ(Cells(report.begin() + 2, report.end()),
              (Cells{"DIF,DIFE=00 ; VIF, VIFE=6D ; Instantenous value , Exception decoding DateTime Time point, "
                     "Date and time (hh:mm, dd.mm.yyyy)",
                     "Decoded at 10:15:30, 03.02.2026", ""}));
    ASSERT_TRUE(reply(meter("EMH", 1), "00 6D 05 0A 41"));
    ASSERT_EQ(state.GridFullTelegram.size(), 2u);   // the date row, then the table's empty row
    EXPECT_EQ(state.GridFullTelegram[0].cells[ColValue], "Exception decoding DateTime");
    EXPECT_EQ(state.GridFullTelegram[1].cells[ColNumber], "");
}

TEST_F(Table, AFailingWalkIsReportedInBothModes)
{
    walk = [](const MeterReplyState& s, Cells* lines) {
        if (lines)
            lines->push_back(s.GridFullTelegram[0].reportLine());
        throw std::runtime_error("bad record");
    };
    addRows({{"12345678", "1"}});
    const auto before = all();
    EXPECT_TRUE(reply(meter("EMH", 4), MainKwh));
    EXPECT_EQ(log.lines().back(), "Exception decoding telegram - bad record");
    EXPECT_EQ(curAddr, "256");

    EXPECT_TRUE(reply(meter("EMH", 4), MainKwh, true));
    EXPECT_EQ(Cells(report.begin() + 2, report.end()),
              (Cells{"DIF,DIFE=0C ; VIF, VIFE=06 ; Instantenous value , 1234.000 kWh, ",
                     "Exception decoding all values!!!", "Decoded at 10:15:30, 03.02.2026", ""}));
    EXPECT_EQ(log.lines().back(), "Exception decoding all values!!!");
    EXPECT_TRUE(reportShown == 1 && !fullReport);
    EXPECT_EQ(all(), before);
}

TEST_F(Table, EveryRecordedMeterGivesARowInEachMode)
{
    titles = 9;
    secMain = true;
    grid.setColCount(20);
    int valid = 0;
    for (const auto& file : telegramFiles("meters")) {
        const std::string bytes = readHexFile(file);
        const DecodedReply d = DecodeReply(bytes, false, '.');
        valid += d.valid;
        for (int mode = 0; d.valid && mode < 3; ++mode) {
            grid.setRowCount(1);
            grid.setRowCount(2);
            searching = mode == 0;
            byId = mode == 1;
            if (mode == 2)
                addRows({{"", std::to_string(d.header.primaryAddress)}});
            MeterRowUpdate update(*this, grid, log);
            ASSERT_TRUE(ProcessMeterReply(log, bytes, false, '.', state, &update)) << file;
            EXPECT_EQ(grid.cell(0, 1) + "@" + std::to_string(grid.RowCount()), d.header.id + "@3")
                << file << " mode " << mode;
        }
    }
    EXPECT_GT(valid, 40);
}

TEST(CurrentDeviceRow, PrefersTheRowOfIdAndAddress)
{
    StringGrid grid(11, 6);
    const char* const rows[][2] = {{"A", "5"}, {"A", "0"}, {"B", "0"}, {"C", "5"}};
    for (int r = 0; r < 4; ++r) {
        grid.setCell(0, r + 1, rows[r][0]);
        grid.setCell(1, r + 1, rows[r][1]);
    }
    EXPECT_EQ(CurrentDeviceRow(grid, "X", "5"), 4);
    EXPECT_EQ(CurrentDeviceRow(grid, "A", "5"), 1);
    EXPECT_EQ(CurrentDeviceRow(grid, "A", "0"), 2);
    EXPECT_EQ(CurrentDeviceRow(grid, "A", "9"), 0);
}

} // namespace
