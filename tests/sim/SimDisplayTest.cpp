// The display's answers byte for byte, its history ring and month names, its fault switches
// and its log, without a transport.
#include "SimBurstFramer.h"
#include "SimDisplay.h"
#include "SimDisplayFile.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace std::chrono_literals;
using Fault = SimDisplayFault::Kind;
using Clock = SimDisplay::Clock;

class Display : public ::testing::Test {
protected:
    // The reply's bytes.
    std::string ask(std::string_view command) { return display.handle(command, Clock::now()).bytes; }

    SimDisplay display;
};

TEST_F(Display, ActivatesEntriesByAddress)
{
    EXPECT_EQ(ask("SET ENTR=5"), "Entry 5 Active\r\n");
    EXPECT_EQ(ask("SET ENTR=5"), "Entry 5 Already in table\r\n");
    EXPECT_EQ(ask("SET ENTR=250"), "Entry 250 Active\r\n");
    for (const char* bad : {"SET ENTR=0", "SET ENTR=251", "SET ENTR=-1", "SET ENTR=12a", "SET ENTR="})
        EXPECT_EQ(ask(bad), "Error\r\n") << bad;
    EXPECT_EQ(display.addresses(), (std::vector<int> {5, 250}));
    EXPECT_EQ(display.entry(5), std::optional<SimDisplayEntry>(SimDisplayEntry {}));
    EXPECT_THROW(display.setEntry(251, {}), std::out_of_range);
}

TEST_F(Display, KeepsWhatIsSentAndReadsItBack)
{
    ask("SET ENTR=7");
    for (const char* c : {"SET UNIT=7,2", "SET CONM=7,10", "SET COND=7,1", "SET INIT=7,12.5", "SET INI1=7,1.5",
                          "SET INI2=7,2,5", "SET INI4=7,4", "SET NUMB=7,0042", "SET TEXT=7,Flat 3, left"})
        EXPECT_EQ(ask(c), "OK\r\n") << c;
    SimDisplayEntry e = *display.entry(7);
    EXPECT_EQ(e.unit, "2");
    EXPECT_EQ(e.multiplier, "10");
    EXPECT_EQ(e.start, (std::array<std::string, 4> {"12.5", "1.5", "2,5", "4"}))
        << "as sent, after the first comma";
    EXPECT_EQ(e.text, "Flat 3, left");
    e.total = {"1234.5", "11", "22", "33"};
    display.setEntry(7, e);

    EXPECT_EQ(ask("GET ENTR=7,1"), "Total pulses *10/1\r\nStart: 12.5 m3\r\nTotal: 1234.5\r\n");
    EXPECT_EQ(ask("GET ENTR=7,2"), "User #: 0042\r\nText: Flat 3, left") << "never a final CR LF";
    EXPECT_EQ(ask("GET TARR=7,0"), "Total pulses\r\nStart: 1.5\r\nTotal: 11\r\n");
    EXPECT_EQ(ask("GET TARR=7,1"), "Total pulses\r\nStart: 2,5\r\nTotal: 22\r\n");
    EXPECT_EQ(ask("GET TARR=7,3"), "Total pulses\r\nStart: 4\r\nTotal: 33\r\n");
    for (const char* bad : {"GET TARR=7,2", "GET ENTR=7,3", "GET ENTR=7", "SET UNIT=7"})
        EXPECT_EQ(ask(bad), "Error\r\n") << bad;

    const std::pair<const char*, const char*> units[] = {
        {"1", "Start: 12.5 kWh"}, {"3", "Start: 12.5 kJ"}, {"4", "Start: 12.5 MJ"},
        {"", "Start: 12.5"}, {"9", "Start: 12.5"}};
    for (const auto& [code, line] : units) {
        ask(std::string("SET UNIT=7,") + code);
        EXPECT_EQ(ask("GET ENTR=7,1"), std::string("Total pulses *10/1\r\n") + line + "\r\nTotal: 1234.5\r\n")
            << code;
    }

    EXPECT_EQ(ask("SET DELP=7,0"), "OK\r\n");
    EXPECT_EQ(display.entry(7)->start, (std::array<std::string, 4> {"0", "0", "0", "0"}));
    EXPECT_EQ(display.entry(7)->total[0], "1234.5") << "zeroing keeps the totals";
    EXPECT_EQ(ask("DEL ENTR=7"), "OK\r\n");
    EXPECT_FALSE(display.entry(7));
    for (const char* gone :
         {"DEL ENTR=7", "SET DELP=7,0", "SET NUMB=7,1", "GET ENTR=7,1", "GET TARR=7,0", "GET HIST=7,1"})
        EXPECT_EQ(ask(gone), "No entry\r\n") << gone;
}

TEST_F(Display, ListsItsAddresses)
{
    EXPECT_EQ(ask("GET ADDR"), "Active devices: \r\n");
    for (int a : {1, 2, 3, 7, 9, 10, 250})
        display.setEntry(a, {});
    EXPECT_EQ(ask("GET ADDR"), "Active devices: 1-3,7,9-10,250\r\n");
    display.setAddrForm(SimAddrForm::ListCr);
    EXPECT_EQ(ask("GET ADDR"), "Active devices: 1-3\r7\r9-10\r250\r\n");
    display.setAddrForm(SimAddrForm::Lines);
    EXPECT_EQ(ask("GET ADDR"), "Active devices: \r\n1\r\n2\r\n3\r\n7\r\n9\r\n10\r\n250\r\n");
}

TEST(DisplayHistory, RingOfTwelveMonths)
{
    SimDisplayHistory h;
    h.newestMonth = 3;
    h.newestYear = 24;
    const std::pair<int, SimHistMonth> slots[] = {{1, {3, 24}}, {2, {4, 23}}, {3, {5, 23}}, {10, {12, 23}},
                                                  {11, {1, 23}}, {12, {2, 23}}};
    for (const auto& [n, m] : slots) {
        EXPECT_EQ(simHistSlot(h, n).month, m.month) << n;
        EXPECT_EQ(simHistSlot(h, n).year, m.year) << n;
    }
    h.newestMonth = 12;
    h.newestYear = 0;
    EXPECT_EQ(simHistSlot(h, 2).month, 1);
    EXPECT_EQ(simHistSlot(h, 2).year, 99);
}

TEST_F(Display, AnswersHistoryInEachLayout)
{
    SimDisplayEntry e;
    SimDisplayHistory h;
    h.newestMonth = 3;
    h.newestYear = 24;
    h.day = 5;
    h.values[0] = "12 345";
    h.values[2] = "7";
    e.history = h;
    display.setEntry(1, e);
    display.setEntry(2, {});

    EXPECT_EQ(ask("GET HIST=1,1"), "Hist values: 12 345\r\n05/Mar/24\r\n");
    EXPECT_EQ(ask("GET HIST=1,3"), "Hist values: 7\r\n05/May/23\r\n");
    EXPECT_EQ(ask("GET HIST=2,1"), "No history\r\n");
    for (const char* bad : {"GET HIST=1,0", "GET HIST=1,13", "GET HIST=1,x", "GET HIST=1"})
        EXPECT_EQ(ask(bad), "Error\r\n") << bad;

    display.setT1Layout(true);
    EXPECT_EQ(ask("GET HIST=1,1"), "Hist values: 12 345\r\nT1: 0\r\nT2: 0\r\nT3: 0\r\n05/Mar/24\r\n");
    display.setT1Layout(false);

    // A date line of its own for one slot; the others keep theirs.
    h.dates[2] = "05-May-23";
    e.history = h;
    display.setEntry(1, e);
    EXPECT_EQ(ask("GET HIST=1,3"), "Hist values: 7\r\n05-May-23\r\n");
    EXPECT_EQ(ask("GET HIST=1,1"), "Hist values: 12 345\r\n05/Mar/24\r\n");
    h.dates[2].clear();
    e.history = h;
    display.setEntry(1, e);

    const char* italian[] = {"Gen", "Feb", "Mar", "Apr", "Mag", "Giu", "Lug", "Ago", "Set", "Ott", "Nov", "Dic"};
    const char* russian[] = {"\xDF\xED\xF3", "\xD4\xE5\xE2", "\xCC\xE0\xF0", "\xC0\xEF\xF0",
                             "\xCC\xE0\xE9", "\xDE\xED\xE8", "\xDE\xEB\xE8", "\xC0\xE2\xE3",
                             "\xD1\xE5\xEF", "\xCE\xEA\xF2", "\xCD\xEE\xE5", "\xC4\xE5\xEA"};
    const char* english[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::pair<SimMonthNames, const char**> sets[] = {
        {SimMonthNames::English, english},
        {SimMonthNames::Italian, italian},
        {SimMonthNames::Russian1251, russian}};
    for (const auto& [names, table] : sets) {
        display.setMonthNames(names);
        for (int n = 1; n <= 12; ++n) {
            const int month = (3 - 1 + n - 1) % 12; // index of the slot's month
            const std::string date = std::string("05/") + table[month] + (n == 1 ? "/24" : "/23");
            EXPECT_EQ(ask("GET HIST=1," + std::to_string(n)),
                      "Hist values: " + h.values[n - 1] + "\r\n" + date + "\r\n")
                << n;
        }
    }
}

TEST_F(Display, RecordsItsSettingsAndShowsThem)
{
    EXPECT_EQ(ask("SET DATE=05/03/26"), "OK\r\n");
    EXPECT_EQ(ask("SET TIME=09:07"), "OK\r\n");
    EXPECT_EQ(ask("SET REFR=04"), "OK\r\n");
    EXPECT_EQ(ask("SET REFR=12"), "OK\r\n");
    for (const char* bad : {"SET DATE=5/3/26", "SET TIME=9:07", "SET REFR=13", "SET REFR=03", "SET REFR=x"})
        EXPECT_EQ(ask(bad), "Error\r\n") << bad;
    for (const char* c : {"SET LOCK", "SET SORT", "SET SORT", "SET SRTP=1", "SET READ"})
        EXPECT_EQ(ask(c), "OK\r\n") << c;
    const SimDisplaySettings s = display.settings();
    EXPECT_EQ(s.date, "05/03/26");
    EXPECT_EQ(s.time, "09:07");
    EXPECT_EQ(s.refresh, "12");
    EXPECT_TRUE(s.locked);
    EXPECT_EQ(s.sortTables, 2);
    EXPECT_EQ(s.sortBy, "1");
    EXPECT_EQ(s.readUpdates, 1);

    display.setEntry(4, {});
    EXPECT_EQ(ask("GET MAIN"),
              "Pexor-V48 main data\r\nDate: 05/03/26\r\nTime: 09:07\r\nRefresh: 12\r\nDevices: 1\r\n");
    EXPECT_EQ(ask("GET SERV"), "Pexor-V48 service data\r\nFirmware: 1.0\r\nLocked: yes\r\nSort tables: 2\r\n"
                               "Sorted by: 1\r\nReadings updated: 1\r\n");
    for (const char* unknown :
         {"GET ADDR ", "get addr", "SET LOCK\r\n", "XYZ", "", "SET FOO=1,2", "GET FOO=1,2"})
        EXPECT_EQ(ask(unknown), "Unknown command\r\n") << unknown;
}

TEST_F(Display, FaultsMatchByPrefixAndAddressForTheirCount)
{
    display.setEntry(1, {});
    display.setEntry(2, {});
    display.addFault({Fault::Err, "GET TARR=2,1", "", 2});
    display.addFault({Fault::Late, "GET TARR=", "1", -1, 400ms});
    EXPECT_EQ(ask("GET TARR=2,0"), "Total pulses\r\nStart: 0\r\nTotal: 0\r\n");
    EXPECT_EQ(ask("GET TARR=2,1"), "Err\r\n");
    EXPECT_EQ(display.handle("GET TARR=2,1", Clock::now()).delay, 0ms) << "the late fault is for address 1";
    EXPECT_EQ(ask("GET TARR=2,1"), "Total pulses\r\nStart: 0\r\nTotal: 0\r\n") << "two matches used up";
    for (int i = 0; i < 3; ++i) {
        const SimDisplayReply r = display.handle("GET TARR=1,3", Clock::now());
        EXPECT_EQ(r.delay, 400ms) << "for good";
        EXPECT_EQ(r.bytes, "Total pulses\r\nStart: 0\r\nTotal: 0\r\n");
    }
    EXPECT_EQ(display.handle("GET ENTR=1,1", Clock::now()).delay, 0ms);
    display.clearFaults();
    EXPECT_EQ(display.handle("GET TARR=1,3", Clock::now()).delay, 0ms);
}

TEST_F(Display, EachFaultSwitch)
{
    display.addFault({Fault::Silent, "SET ENTR=", "", 1});
    SimDisplayReply r = display.handle("SET ENTR=3", Clock::now());
    EXPECT_TRUE(r.bytes.empty());
    EXPECT_FALSE(r.drop);
    EXPECT_FALSE(display.entry(3)) << "a silent display hears nothing";

    display.addFault({Fault::Err, "SET ENTR=", "", 1});
    EXPECT_EQ(ask("SET ENTR=3"), "Err\r\n");
    EXPECT_FALSE(display.entry(3));

    display.addFault({Fault::Already, "SET ENTR=", "", 1});
    EXPECT_EQ(ask("SET ENTR=3"), "Entry 3 Already in table\r\n");
    EXPECT_TRUE(display.entry(3)) << "the device is entered all the same";
    EXPECT_EQ(ask("SET ENTR=4"), "Entry 4 Active\r\n");

    display.addFault({Fault::Split, "GET ENTR=", "", 1});
    r = display.handle("GET ENTR=3,1", Clock::now());
    ASSERT_TRUE(r.split);
    EXPECT_EQ(*r.split, 40ms);
    EXPECT_EQ(r.firstPart() + r.secondPart(), r.bytes);
    EXPECT_EQ(r.firstPart().size(), r.bytes.size() / 2);
    display.addFault({Fault::Split, "GET ENTR=", "", 1, 70ms});
    EXPECT_EQ(*display.handle("GET ENTR=3,1", Clock::now()).split, 70ms);
    EXPECT_FALSE(display.handle("GET ENTR=3,1", Clock::now()).split);

    display.addFault({Fault::NoFinalCrLf, "GET TARR=", "", -1});
    EXPECT_EQ(ask("GET TARR=3,0"), "Total pulses\r\nStart: 0\r\nTotal: 0");
    EXPECT_EQ(ask("GET ENTR=3,2"), "User #: \r\nText: ");
    display.clearFaults();

    display.addFault({Fault::Drop, "DEL ENTR=", "3", 1});
    r = display.handle("DEL ENTR=3", Clock::now());
    EXPECT_TRUE(r.drop);
    EXPECT_TRUE(r.bytes.empty());
    EXPECT_TRUE(display.entry(3)) << "the line went before the command was carried out";
    EXPECT_EQ(ask("DEL ENTR=3"), "OK\r\n");

    EXPECT_EQ(display.handle("GET MAIN", Clock::now(), 10).bytes, "Pexor-V48 ");
}

TEST_F(Display, LogsCommandsAndRepliesForWaiters)
{
    std::vector<std::string> seen;
    display.setObserver([&](const SimDisplayLogEntry& e) { seen.push_back(simDisplayLogLine(e)); });
    const auto t = Clock::now();
    display.addFault({Fault::Silent, "SET READ", "", 1});
    display.handle("SET ENTR=9", t);
    display.recordReply("Entry 9 Active\r\n", t + 5ms);
    display.handle("SET READ", t + 10ms);
    display.recordHangUp(t + 20ms, "connection dropped");
    const auto log = display.log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_TRUE(log[0].isCommand("SET ENTR="));
    EXPECT_FALSE(log[0].isCommand("GET"));
    EXPECT_FALSE(log[1].isCommand());
    EXPECT_EQ(log[1].time, t + 5ms);
    EXPECT_EQ(log[3].kind, SimDisplayLogEntry::Kind::HangUp);
    EXPECT_EQ(display.commands(), (std::vector<std::string> {"SET ENTR=9", "SET READ"}));
    EXPECT_EQ(display.commandCount(), 2u);
    EXPECT_EQ(display.replyCount(), 1u);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0], "Command \"SET ENTR=9\"  (entry 9 new)");
    EXPECT_EQ(seen[1], "Reply \"Entry 9 Active\\r\\n\"");
    EXPECT_EQ(seen[2], "Command \"SET READ\"  (not heard [silent])");
    display.setObserver({});

    EXPECT_FALSE(display.waitForCommands(3, 20ms));
    std::thread later([&] { display.handle("GET ADDR", Clock::now()); });
    EXPECT_TRUE(display.waitForCommands(3, 5s));
    later.join();
    EXPECT_TRUE(display.waitForLog([](const auto& l) { return l.back().isCommand("GET ADDR"); }, 5s));
    display.clearLog();
    EXPECT_TRUE(display.log().empty());
    EXPECT_FALSE(display.waitForReplies(1, 20ms));
}

TEST(DisplayBurstFramer, AGapEndsABurst)
{
    SimBurstFramer framer(25ms, 9);
    const auto t = SimBurstFramer::Clock::now();
    EXPECT_FALSE(framer.deadline());
    EXPECT_TRUE(framer.feed("GET ", t).empty());
    EXPECT_TRUE(framer.feed("ADDR", t + 20ms).empty());
    EXPECT_EQ(framer.deadline(), t + 45ms);
    EXPECT_FALSE(framer.idle(t + 44ms));
    const auto burst = framer.idle(t + 45ms);
    ASSERT_TRUE(burst);
    EXPECT_EQ(burst->bytes, "GET ADDR");
    EXPECT_EQ(burst->last, t + 20ms);

    framer.feed("ab", t + 100ms);
    const auto two = framer.feed("0123456789", t + 130ms);
    ASSERT_EQ(two.size(), 2u) << "the gap ends the first, the limit the second";
    EXPECT_EQ(two[0].bytes, "ab");
    EXPECT_EQ(two[1].bytes, "012345678");
    EXPECT_EQ(framer.idle(t + 200ms)->bytes, "9");
}

TEST(DisplayEntriesFile, FillsTheDisplay)
{
    SimDisplay display;
    simParseDisplayEntries("# devices\n"
                           "months=it t1=1 addrform=lines\n"
                           "addr=1 unit=2 mult=10 div=1 user=0042 start=12.5,1 total=100,1,2,3 "
                           "hist=03/24:10;20 day=5 text=Flat  1 # x\n"
                           "\n"
                           "addr=3\r\n",
                           display);
    EXPECT_EQ(display.addresses(), (std::vector<int> {1, 3}));
    const SimDisplayEntry e = *display.entry(1);
    EXPECT_EQ(e.unit, "2");
    EXPECT_EQ(e.multiplier, "10");
    EXPECT_EQ(e.userNumber, "0042");
    EXPECT_EQ(e.start, (std::array<std::string, 4> {"12.5", "1", "0", "0"}));
    EXPECT_EQ(e.total, (std::array<std::string, 4> {"100", "1", "2", "3"}));
    EXPECT_EQ(e.text, "Flat  1 ");
    ASSERT_TRUE(e.history);
    EXPECT_EQ(e.history->values[1], "20");
    EXPECT_EQ(e.history->values[2], "0");
    EXPECT_EQ(display.handle("GET HIST=1,2", Clock::now()).bytes,
              "Hist values: 20\r\nT1: 0\r\nT2: 0\r\nT3: 0\r\n05/Apr/23\r\n");
    EXPECT_EQ(display.handle("GET ADDR", Clock::now()).bytes, "Active devices: \r\n1\r\n3\r\n");

    const std::pair<const char*, const char*> bad[] = {
        {"addr=1\naddr=251\n", "line 2: addr=251"}, {"unit=2\n", "line 1: addr= is missing"},
        {"addr=1 months=it\n", "line 1: display settings and a device"},
        {"addr=1 foo=2\n", "unknown key \"foo\""},
        {"addr=1 hist=3/24:1\n", "hist=3/24:1"},
        {"months=fr\n", "months=fr"},
        {"addr=1 start=1,2,3,4,5\n", "start="}};
    for (const auto& [text, message] : bad) {
        try {
            simParseDisplayEntries(text, display);
            ADD_FAILURE() << text;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
    }
}

} // namespace
