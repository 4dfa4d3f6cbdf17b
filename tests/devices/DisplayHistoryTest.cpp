// The readings page: the history read for all months or one on the simulated display, its
// link, the chain from "Get all memory data", the sort, the export and "SET READ"; and the
// display read that a gateway's first packet starts.
#include "DisplayAppFixture.h"
#include "DisplayRows.h"
#include "GridCsvFile.h"
#include "SimDisplayTcp.h"
#include "SmallTmpfs.h"
#include "StringGridView.h"
#include "TForm11.h"
#include "TSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <sstream>

namespace {

using namespace std::chrono_literals;
using Link = DisplayAppFixture::DisplayLink;
using Fault = SimDisplayFault::Kind;
using Strings = std::vector<std::string>;

// A device whose newest month is March 2024; slot n holds the value "n 00".
SimDisplayEntry withHistory(int user)
{
    SimDisplayEntry e;
    e.userNumber = std::to_string(user);
    SimDisplayHistory h;
    h.newestMonth = 3;
    h.newestYear = 24;
    for (int n = 1; n <= 12; ++n)
        h.values[static_cast<std::size_t>(n - 1)] = std::to_string(user) + std::to_string(n) + " 00";
    e.history = h;
    return e;
}

const std::string Unrecognizable = "Unrecognizable month value, returned by Pexor...";

class DisplayHistory : public DisplayAppFixture {
protected:
    TForm11& f() { return form11(); }
    // For each "Unrecognizable month value" line of the log, the date line of the reply it
    // follows.
    Strings datesLoggedUnrecognizable()
    {
        Strings dates;
        std::string date;
        const Strings lines = logFrom(0);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].starts_with("Hist values") && i + 1 < lines.size())
                date = lines[i + 1];
            else if (lines[i] == Unrecognizable)
                dates.push_back(date);
        }
        return dates;
    }
    void addresses(std::initializer_list<const char*> list)
    {
        readings().setRowCount(static_cast<int>(list.size()) + 1);
        int r = 1;
        for (const char* a : list)
            readings().setCell(1, r++, a);
    }
    void month(const char* name) { f().Combo_months->setCurrentText(name); }
};

} // namespace

TEST_F(DisplayHistory, AllMonthsPutEachValueUnderTheMonthTheReplyNames)
{
    display.setEntry(1, withHistory(1));
    display.setEntry(2, withHistory(2));
    startOn(Link::Serial);
    addresses({"1", "2"});
    f().BitBtn13->click();
    Strings expected;
    for (const char* a : {"1", "2"})
        for (int n = 1; n <= 12; ++n)
            expected.push_back("GET HIST=" + std::string(a) + "," + std::to_string(n));
    EXPECT_EQ(commands(), expected);
    const SimDisplayHistory h = *withHistory(1).history;
    for (int n = 1; n <= 12; ++n) {
        const int column = 9 + simHistSlot(h, n).month;
        EXPECT_EQ(readings().cell(column, 1), "1" + std::to_string(n) + "00") << n;
        EXPECT_EQ(readings().cell(column, 2), "2" + std::to_string(n) + "00") << n;
    }
    EXPECT_FALSE(f().ProgressBar1->isVisible());
    EXPECT_TRUE(f().BitBtn17->isEnabled());
    EXPECT_TRUE(released());
}

TEST_F(DisplayHistory, OneMonthAsksForTheSlotTheNewestMonthGives)
{
    display.setEntry(1, withHistory(1));
    display.setEntry(2, {});   // "No history"
    startOn(Link::Serial);
    addresses({"1", "abc", "2"});
    month("May");
    f().BitBtn13Click();
    EXPECT_EQ(commands(), (Strings {"GET HIST=1,1", "GET HIST=1,3", "GET HIST=2,1"}));
    EXPECT_EQ(readings().cell(14, 1), "1300");
    EXPECT_EQ(logCount("No history values saved yet for address 2"), 1u);
    for (int c = 10; c <= 21; ++c)
        EXPECT_EQ(readings().cell(c, 3), "") << c;

    display.clearLog();
    month("Jan");
    f().BitBtn13Click();
    EXPECT_EQ(commands()[1], "GET HIST=1,11");
    EXPECT_EQ(readings().cell(10, 1), "11100");
    display.clearLog();
    month("Mar");
    f().BitBtn13Click();
    EXPECT_EQ(commands(), (Strings {"GET HIST=1,1", "GET HIST=2,1"}));
    EXPECT_EQ(readings().cell(12, 1), "1100");
}

TEST_F(DisplayHistory, AllMonthsLogADateLineWithoutMonthOrYearAndSkipOtherBadDatesSilently)
{
    SimDisplayEntry e = withHistory(1);
    // Slots 2 to 4 (Apr, May, Jun 2023): no '/', the line ends inside the month, the line ends
    // before the year. Slots 5 to 7 (Jul, Aug, Sep): a month name of no language, the year
    // "00", a line too short to be a date.
    e.history->dates = {"", "05-Apr-23", "05/M", "05/Jun", "05/Xyz/23", "05/Aug/00", "05"};
    display.setEntry(1, e);
    display.setEntry(2, withHistory(2));
    startOn(Link::Serial);
    addresses({"1", "2"});
    f().BitBtn13->click();
    ASSERT_EQ(commands().size(), 24u);
    EXPECT_EQ(datesLoggedUnrecognizable(), (Strings {"05-Apr-23", "05/M", "05/Jun"}));
    const SimDisplayHistory h = *e.history;
    for (int n = 1; n <= 12; ++n) {
        const int column = 9 + simHistSlot(h, n).month;
        const bool written = n == 1 || n > 7;
        EXPECT_EQ(readings().cell(column, 1), written ? "1" + std::to_string(n) + "00" : "") << n;
        EXPECT_EQ(readings().cell(column, 2), "2" + std::to_string(n) + "00") << n;
    }
    EXPECT_FALSE(logged("Unexpected error, addr 1..."));
    EXPECT_TRUE(f().BitBtn17->isEnabled());
    EXPECT_TRUE(released());
}

TEST_F(DisplayHistory, OneMonthLogsADateLineWithoutMonthOrYearAndSkipsOtherBadDatesSilently)
{
    // 1: the newest month's date has no '/'; 2: the chosen month's ends before its year;
    // 3: the newest month's name is of no language; 4: so is the chosen month's.
    SimDisplayEntry e = withHistory(1);
    e.history->dates[0] = "05-Mar-24";
    display.setEntry(1, e);
    e = withHistory(2);
    e.history->dates[2] = "05/May";
    display.setEntry(2, e);
    e = withHistory(3);
    e.history->dates[0] = "05/Xyz/24";
    display.setEntry(3, e);
    e = withHistory(4);
    e.history->dates[2] = "05/Xyz/23";
    display.setEntry(4, e);
    display.setEntry(5, withHistory(5));
    startOn(Link::Serial);
    addresses({"1", "2", "3", "4", "5"});
    month("May");
    f().BitBtn13Click();
    EXPECT_EQ(commands(), (Strings {"GET HIST=1,1", "GET HIST=2,1", "GET HIST=2,3", "GET HIST=3,1", "GET HIST=4,1",
                                    "GET HIST=4,3", "GET HIST=5,1", "GET HIST=5,3"}));
    EXPECT_EQ(datesLoggedUnrecognizable(), (Strings {"05-Mar-24", "05/May"}));
    // Without a month from the newest reply the row is skipped as one without history.
    EXPECT_EQ(logCount("No history values saved yet for address 1"), 1u);
    EXPECT_EQ(logCount("No history values saved yet for address 2"), 0u);
    EXPECT_EQ(logCount("No history values saved yet for address 3"), 1u);
    EXPECT_EQ(logCount("No history values saved yet for address 4"), 0u);
    for (int r = 1; r <= 4; ++r)
        for (int c = 10; c <= 21; ++c)
            EXPECT_EQ(readings().cell(c, r), "") << r << " " << c;
    EXPECT_EQ(readings().cell(14, 5), "5300");
    EXPECT_TRUE(released());
}

TEST_F(DisplayHistory, ACustomCommandsLeftoverAnswerIsNotTakenForTheFirstReply)
{
    display.setEntry(1, withHistory(1));
    display.setEntry(2, {});   // "No history"
    startOn(Link::Module);
    // A custom command on the module leaves its answer in the module's reply text.
    f().Check_ascii->setChecked(true);
    f().Edit_command->setText("GET HIST=1,1");
    f().Butt_command_send->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f().Timer_free_command->isActive() && released(); }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return f().Link.LanxpReplyText.find("Hist values") != std::string::npos; },
                                10000));
    display.clearLog();
    addresses({"2"});
    month("Mar");
    f().BitBtn13Click();
    EXPECT_EQ(commands(), Strings {"GET HIST=2,1"});
    EXPECT_EQ(logCount("No history values saved yet for address 2"), 1u);
    for (int c = 10; c <= 21; ++c)
        EXPECT_EQ(readings().cell(c, 1), "") << c;
    EXPECT_TRUE(released());
}

TEST_F(DisplayHistory, TheQuestionAndTheReplyTakeTheSameLink)
{
    display.setEntry(1, withHistory(1));
    // A gateway server, and the serial port open on a line of its own.
    DisplayPtySimulator line(display, DisplayPtyOptions {folder(), "COM1"});
    line.start();
    startOn(Link::GatewayServer);
    f().ToggleComPort();
    ASSERT_TRUE(f().PortOpen);
    addresses({"1"});
    month("Mar");
    f().BitBtn13Click();
    EXPECT_EQ(readings().cell(12, 1), "1100");
    ASSERT_TRUE(gateway->waitForPackets(1, 10s));
    EXPECT_EQ(gateway->packets().front().packet->payload, "GET HIST=1,1");
}

TEST_F(DisplayHistory, TheModuleDroppedDuringTheReadAborts)
{
    display.setEntry(1, withHistory(1));
    display.addFault({Fault::Drop, "GET HIST=1,3", "", 1, 0ms});
    startOn(Link::Module);
    addresses({"1"});
    f().BitBtn13Click();
    EXPECT_EQ(logCount("No valid connection set, aborting..."), 1u);
    EXPECT_EQ(commands().size(), 3u);
    EXPECT_TRUE(f().BitBtn17->isEnabled());
    EXPECT_TRUE(f().Butt_get_historical->isEnabled());
    EXPECT_FALSE(f().ProgressBar1->isVisible());
    EXPECT_TRUE(released());
}

TEST_F(DisplayHistory, GetAllMemoryDataChainsTheHistoryToEveryLaterRead)
{
    display.setEntry(3, withHistory(3));
    startOn(Link::Serial);
    month("Mar");
    f().Butt_get_historical->click();
    EXPECT_EQ(f().Combo_months->currentText(), "ALL");
    EXPECT_TRUE(f().ReadAllMemory);
    Strings c = commands();
    ASSERT_EQ(c.size(), 1u + 5 + 12);
    EXPECT_EQ(c[6], "GET HIST=3,1");
    EXPECT_EQ(readings().cell(12, 1), "3100");
    EXPECT_EQ(readings().cell(5, 1), "3");
    EXPECT_TRUE(released());

    display.clearLog();
    month("Mar");
    f().Butt_pexor_readClick();
    c = commands();
    ASSERT_EQ(c.size(), 1u + 5 + 1);
    EXPECT_EQ(c.back(), "GET HIST=3,1");
    EXPECT_TRUE(f().ReadAllMemory);
}

TEST_F(DisplayHistory, SortKeepsRowsWithoutKeyAfterTheSortedOnes)
{
    startDisplay();
    f().Butt_sort_histClick();   // neither box: nothing
    addresses({"7", "", "3", "300"});
    readings().setCell(20, 1, "nov7");
    readings().setCell(21, 4, "dec300");
    const std::string before = rowText(readings(), 1);
    f().Butt_sort_histClick();
    EXPECT_EQ(rowText(readings(), 1), before);
    f().Check_sort_hist_address->setChecked(true);
    EXPECT_FALSE(f().Check_sort_hist_user->isChecked());
    f().Butt_sort_hist->click();
    ASSERT_EQ(readings().RowCount(), 5);
    EXPECT_EQ(readings().cell(1, 1), "3");
    EXPECT_EQ(readings().cell(1, 2), "7");
    EXPECT_EQ(readings().cell(20, 2), "nov7");
    EXPECT_EQ(readings().cell(1, 3), "");
    EXPECT_EQ(readings().cell(1, 4), "300");
    EXPECT_EQ(readings().cell(21, 4), "dec300");

    // By user number, stable for equal numbers.
    f().Check_sort_hist_user->setChecked(true);
    EXPECT_FALSE(f().Check_sort_hist_address->isChecked());
    for (int r = 1; r <= 4; ++r)
        readings().setCell(5, r, r == 3 ? "1" : "12");
    f().Butt_sort_histClick();
    EXPECT_EQ(readings().cell(1, 1), "");
    EXPECT_EQ(readings().cell(1, 2), "3");
    EXPECT_EQ(readings().cell(1, 3), "7");
    EXPECT_EQ(readings().cell(1, 4), "300");
}

TEST_F(DisplayHistory, RowsAddDeleteAndClear)
{
    startDisplay();
    f().Butt_delete_histClick();   // nothing selected yet: nothing happens
    for (int i = 0; i < 260; ++i)
        f().Butt_add_hist->click();
    EXPECT_EQ(readings().RowCount(), 251);

    addresses({"1", "2", "3", "4", "5"});
    readings().setCell(21, 3, "dec3");
    readings().setCell(21, 4, "dec4");
    readings().selectCell(6, 3);   // as a click on row 3 does
    EXPECT_EQ(f().ReadingsSelRow, 3);
    f().Butt_delete_hist->click();
    ASSERT_EQ(readings().RowCount(), 5);
    const Strings left = {readings().cell(1, 1), readings().cell(1, 2), readings().cell(1, 3), readings().cell(1, 4)};
    EXPECT_EQ(left, (Strings {"1", "2", "4", "5"}));
    EXPECT_EQ(readings().cell(21, 3), "dec4");
    // The selection stays; past the last row the last row goes.
    readings().selectCell(1, 4);
    f().Butt_delete_histClick();
    EXPECT_EQ(readings().RowCount(), 4);
    f().ReadingsSelRow = 9;
    f().Butt_delete_histClick();
    ASSERT_EQ(readings().RowCount(), 3);
    EXPECT_EQ(readings().cell(1, 2), "2");

    // One row is emptied, not removed; Clear leaves one empty row and the header.
    f().Butt_clear_hist->click();
    EXPECT_EQ(readings().RowCount(), 2);
    EXPECT_EQ(rowText(readings(), 1), std::string(21, '|'));
    EXPECT_EQ(readings().cell(21, 0), "Dec");
    readings().setCell(1, 1, "7");
    f().ReadingsSelRow = 1;
    f().Butt_delete_histClick();
    EXPECT_EQ(readings().RowCount(), 2);
    EXPECT_EQ(readings().cell(1, 1), "");
}

TEST_F(DisplayHistory, ExportStartsWithAnEmptyLine)
{
    startDisplay();
    addresses({"1", "2"});
    readings().setCell(21, 2, "42");
    const std::string path = folder() + "/history";
    prompts.queueSaveFile(path);
    f().BitBtn17->click();
    ASSERT_EQ(prompts.dialogs.back().args.fileName, "pexorV48_readings.csv");
    std::ifstream in(path + ".csv", std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const Strings lines = csvFileLines(bytes.str());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "");
    EXPECT_TRUE(bytes.str().starts_with("\r\n ID ;"));
    for (std::size_t l = 1; l < lines.size(); ++l) {
        EXPECT_EQ(std::count(lines[l].begin(), lines[l].end(), ';'), 22) << l;
        EXPECT_EQ(csvRowCells(lines[l], ReadingsColumns, ";", ReadingsColumns + 1),
                  [&] {
                      Strings row;
                      for (int c = 0; c < ReadingsColumns; ++c)
                          row.push_back(readings().cell(c, static_cast<int>(l) - 1));
                      return row;
                  }())
            << l;
    }
    // A file that cannot be written shows the error box.
    prompts.queueSaveFile(folder() + "/no/such/folder/history.csv");
    f().BitBtn17Click();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, "Error saving file");
    EXPECT_EQ(prompts.boxes[0].text, "File cannot be written, no rights!\nContact administrator.");
    prompts.boxes.clear();
}

TEST_F(DisplayHistory, UpdateReadingsOverTheModule)
{
    startOn(Link::Module);
    f().BitBtn18->click();
    EXPECT_EQ(logCount("Updating readings of Pexor-V48..."), 1u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f().Timer_free_command->isActive() && released(); }, 10000));
    EXPECT_EQ(commands(), Strings {"SET READ"});
    EXPECT_EQ(display.settings().readUpdates, 1);
}

TEST_F(DisplayHistory, TheFirstPacketOfAGatewayStartsTheReadAfterItsEvent)
{
    display.setEntry(4, withHistory(4));
    display.setEntry(9, {});
    ASSERT_NO_FATAL_FAILURE(startOn(Link::CallingIn, 1, true));
    // The gateway's first packet, before anything was sent to it.
    ASSERT_TRUE(gateway->sendRaw(simeth::textReply({10, 0, 0, 1}, 1, simeth::textBody, "Hello")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return f().Link.PacketNo > 1; }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f().linkBusy(); }, 30000));
    EXPECT_EQ(commands().front(), "GET ADDR");
    EXPECT_EQ(commands().size(), 11u);
    ASSERT_TRUE(gateway->waitForLog([](const std::vector<SimLogEntry>& log) {
        return std::any_of(log.begin(), log.end(), [](const SimLogEntry& e) { return e.kind == SimLogEntry::Kind::Text; });
    }, 10s));
    EXPECT_EQ(gateway->packets().size(), 0u);   // the questions go out bare
    EXPECT_EQ(pexor().cell(1, 1), "4");
    EXPECT_EQ(pexor().cell(8, 1), "4");
    EXPECT_EQ(pexor().cell(1, 2), "9");
    EXPECT_FALSE(logged("Sorry, no active addresses in memory..."));

    // A second packet starts nothing.
    ASSERT_TRUE(gateway->sendRaw(simeth::textReply({10, 0, 0, 1}, 2, simeth::textBody, "Again")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return f().Link.EthReplyText == "Again"; }, 10000));
    QCoreApplication::processEvents();   // a read queued by that event would run here
    EXPECT_EQ(commands().size(), 11u);
    EXPECT_FALSE(f().linkBusy());
}

TEST_F(DisplayHistory, OneAutomaticReadWaitsAtATimeAndItCountsAsAStart)
{
    display.setEntry(4, {});
    ASSERT_NO_FATAL_FAILURE(startOn(Link::CallingIn, 1, true));
    // Two first packets before the queued read has run: one read.
    f().queueAutoDisplayRead();
    f().queueAutoDisplayRead();
    ASSERT_TRUE(QTest::qWaitFor([&] { return f().Link.PacketNo > 1; }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f().linkBusy(); }, 30000));
    EXPECT_EQ(commands().size(), 6u);
    EXPECT_FALSE(logged("Another exchange is running, please wait..."));
    EXPECT_EQ(pexor().cell(1, 1), "4");

    // While another exchange holds the link, the automatic read sends nothing.
    f().Check_ascii->setChecked(true);
    f().Edit_command->setText("GET MAIN");
    f().Butt_command_send->click();
    ASSERT_TRUE(f().Timer_free_command->isActive());
    f().queueAutoDisplayRead();
    ASSERT_TRUE(QTest::qWaitFor([&] { return logged("Another exchange is running, please wait..."); }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f().linkBusy(); }, 10000));
    EXPECT_EQ(commands().size(), 7u);
    EXPECT_EQ(commands().back(), "GET MAIN");
}
