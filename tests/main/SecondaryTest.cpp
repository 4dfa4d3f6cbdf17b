// Meters by identification number on the simulated bus: the wildcard search through the
// window, its stop, its failures and the window's close during it; Find by ID; a new primary
// address through a selection; automatic addressing on the real timers.
#include "SecondaryFixture.h"

#include "SearchExchanges.h"
#include "UpDownEdit.h"

#include <random>

namespace {

using namespace std::chrono_literals;
using Secondary = SecondaryFixture;
const std::string Busy = "Another exchange is running, please wait...";

// --- the wildcard search ---

TEST_F(Secondary, AnEmptyBusTakesTenSelectsInEitherOrder)
{
    for (const bool lsb : {false, true}) {
        SCOPED_TRACE(lsb ? "LSB first" : "MSB first");
        if (!lsb)
            start(false);
        settings().Check_LSB->setChecked(lsb);
        bus->clearLog();
        f().Log.clear();
        runFindAll();
        std::vector<std::string> expected;
        for (int v = 0; v < 10; ++v)
            expected.push_back(lsb ? "FFFFFFF" + std::to_string(v) : std::to_string(v) + "FFFFFFF");
        EXPECT_EQ(masks(), expected);
        EXPECT_EQ(logCount("Checking " + expected[3] + "..."), 1u);
        EXPECT_EQ(reads(), 0);
        EXPECT_EQ(prompts.boxes.back().caption, "Clear confirmation");
        expectSearchControlsBack();
    }
}

TEST_F(Secondary, WithoutATestsPeerEachFrameIsFollowedByTheTimeOut)
{
    start(true);
    peer.record(f());   // the frames are noted, the waits last their time
    runFindAll();
    const std::vector<PeerWaits::Sent>& sent = peer.sent();
    ASSERT_EQ(sent.size(), 10u);
    for (std::size_t i = 1; i < sent.size(); ++i)
        EXPECT_GE(sent[i].before - sent[i - 1].before, std::chrono::milliseconds(Wait)) << i;
}

TEST_F(Secondary, OneMeterIsFoundWithOneRead)
{
    addMeter("12345678", 5);
    start(true);
    runFindAll();
    EXPECT_EQ(selects() + reads(), 11);
    EXPECT_EQ(reads(), 1);
    // Only the mask of its last digit was answered: the read follows that select.
    const std::vector<SimLogEntry> frames = bus->frames();
    ASSERT_EQ(frames.size(), 11u);
    EXPECT_TRUE(frames[9].isReqUd2(253));
    EXPECT_EQ(masks()[8], "FFFFFFF8");
    EXPECT_EQ(gridRow(1).substr(0, 15), "12345678|5|ABC|");
    EXPECT_EQ(grid().RowCount(), 3);
    expectSearchControlsBack();
}

// Both meters answer every mask down to the last searched digit.
class CollidingPair : public SecondaryFixture {
protected:
    void run(bool lsbFirst, const std::string& first, const std::string& second);
};

void CollidingPair::run(bool lsbFirst, const std::string& first, const std::string& second)
{
    addMeter(first, 1);
    addMeter(second, 2);
    start(lsbFirst);
    runFindAll();
    EXPECT_EQ(logCount("Collision"), 7u);
    EXPECT_EQ(selects(), 80);
    EXPECT_EQ(reads(), 9);
    EXPECT_EQ(tableIds(), std::multiset<std::string>({first, second}));
}

TEST_F(CollidingPair, TwoMetersApartInTheirFirstDigitAreBothFoundLsbFirst)
{
    run(true, "12345678", "92345678");
}

TEST_F(CollidingPair, TwoMetersApartInTheirLastDigitAreBothFoundMsbFirst)
{
    run(false, "12345678", "12345679");
}

TEST_F(Secondary, TenConsecutiveIdsCostTwentyOrNinetySevenExchanges)
{
    std::vector<std::string> ids;
    for (int i = 0; i < 10; ++i)
        ids.push_back("1234560" + std::to_string(i));
    for (int i = 0; i < 10; ++i)
        addMeter(ids[static_cast<std::size_t>(i)], i + 1);
    start(true);
    runFindAll();
    EXPECT_EQ(selects() + reads(), 20);
    EXPECT_EQ(tableIds(), std::multiset<std::string>(ids.begin(), ids.end()));

    settings().Check_LSB->setChecked(false);
    bus->clearLog();
    f().Log.clear();
    runFindAll();
    EXPECT_EQ(selects() + reads(), 97);
    EXPECT_EQ(tableIds(), std::multiset<std::string>(ids.begin(), ids.end()));
}

TEST_F(Secondary, RandomIdsAreEachFoundOnceAtTheirExchangeCount)
{
    std::mt19937 random(4711);
    std::set<std::string> unique;
    while (unique.size() < 25) {
        char id[9];
        std::snprintf(id, sizeof id, "%08u", std::uniform_int_distribution<unsigned>(0, 99999999)(random));
        unique.insert(id);
    }
    const std::vector<std::string> ids(unique.begin(), unique.end());
    for (std::size_t i = 0; i < ids.size(); ++i)
        addMeter(ids[i], static_cast<int>(i) + 1);
    start(false);
    runFindAll(120s);
    EXPECT_EQ(selects() + reads(), SearchExchanges(ids, false));
    EXPECT_EQ(tableIds(), std::multiset<std::string>(ids.begin(), ids.end()));
}

TEST_F(Secondary, TwoMetersWithOneIdAreNeitherFound)
{
    addMeter("12345678", 1);
    addMeter("12345678", 2);
    start(false);
    runFindAll();
    EXPECT_EQ(selects() + reads(), 88);
    EXPECT_EQ(grid().RowCount(), 2);
    EXPECT_EQ(logCount("Collision"), 8u);
    expectSearchControlsBack();
}

// --- stop, failure, close ---

TEST_F(Secondary, StopEndsTheSearchAfterTheStepInProgress)
{
    addMeter("12345678", 1);
    addMeter("12345679", 2);
    start(false);
    findAll();
    EXPECT_TRUE(f().Button1->isVisible());
    EXPECT_FALSE(f().Butt_find_all->isEnabled());
    EXPECT_FALSE(f().Check_broadcast->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return logCount("Collision") >= 3; }, 30000));
    auto checking = [&] {
        return std::count_if(f().Log.lines().begin(), f().Log.lines().end(),
                             [](const std::string& l) { return l.starts_with("Checking "); });
    };
    const auto shown = checking();
    f().Button1->click();
    ASSERT_TRUE(waitForEnd());
    // The step decided before the click may still go out; nothing after it.
    EXPECT_LE(checking(), shown + 1);
    EXPECT_EQ(selects(), checking());
    EXPECT_LT(selects(), 80);
    EXPECT_EQ(logCount(EndLine), 1u);
    expectSearchControlsBack();

    // A new search runs whole.
    bus->clearLog();
    f().Log.clear();
    runFindAll();
    EXPECT_EQ(selects(), 80);
}

TEST_F(Secondary, DuringASearchNothingElseStartsYetStopSecondaryStops)
{
    start(false);
    setRows({{"12345678", "5"}});
    prompts.queueAnswer(Prompts::Answer::No);   // the table stays: a meter to command
    f().Butt_find_allClick();
    ASSERT_TRUE(waitForFrames(1));
    const std::size_t boxes = prompts.boxes.size();
    // Called straight, as a timer or a test would, past the disabled buttons.
    f().Edit_id->setText("12345678");
    f().Butt_find_idClick();
    f().Butt_find_allClick();
    f().Butt_resetClick();
    f().Butt_set_addressClick();
    f().BitBtn21Click();
    EXPECT_EQ(logCount(Busy), 5u);
    EXPECT_EQ(f().Edit_id->text(), "12345678");
    EXPECT_EQ(prompts.boxes.size(), boxes);
    EXPECT_FALSE(f().Timer_secondary->isActive());
    EXPECT_FALSE(f().Timer_respond->isActive());
    EXPECT_FALSE(f().SetAddrPending);
    EXPECT_EQ(f().BitBtn21->text(), "Auto address");

    f().Button1->click();
    ASSERT_TRUE(waitForEnd());
    EXPECT_LT(selects(), 10);
    // The search's own wildcard selects only.
    EXPECT_EQ(bus->frameCount(), static_cast<std::size_t>(selects()));
    for (const std::string& m : masks())
        EXPECT_EQ(m.substr(1), "FFFFFFF");
    EXPECT_FALSE(f().linkBusy());
}

// A real question box runs the event loop while it waits for the user: a timer or a socket
// event (a gateway's automatic read) may start an exchange meanwhile. Yes then starts nothing.
TEST_F(Secondary, AnExchangeStartedWhileFindAllAsksKeepsTheLink)
{
    addMeter("12345678", 5);
    start(false);
    byHand();
    setRows({{"12345678", "5"}});
    prompts.whileAsking = [&] { f().Butt_readonceClick(); };
    prompts.queueAnswer(Prompts::Answer::Yes);
    f().Butt_find_allClick();
    EXPECT_EQ(logCount(Busy), 1u);
    EXPECT_FALSE(f().SearchThread);
    EXPECT_TRUE(f().Button1->isHidden());
    EXPECT_TRUE(f().Butt_find_all->isEnabled());
    EXPECT_TRUE(f().Group_ops->isEnabled());
    EXPECT_EQ(grid().cell(0, 1), "12345678");   // Yes cleared nothing
    // The read alone has the link, and ends as usual.
    tickAfter(1, 1, &TForm11::Timer_respondTimer);
    EXPECT_EQ(frameNames(), std::vector<std::string>({"REQ 5"}));
    EXPECT_FALSE(f().linkBusy());
    EXPECT_FALSE(f().PortOpen);
}

TEST_F(Secondary, ThePortClosedMidSearchEndsItInEitherOrder)
{
    for (const bool lsb : {false, true}) {
        SCOPED_TRACE(lsb ? "LSB first" : "MSB first");
        if (!lsb)
            start(false);
        settings().Check_LSB->setChecked(lsb);
        bus->clearLog();
        f().Log.clear();
        findAll();
        ASSERT_TRUE(waitForFrames(3));
        f().ToggleComPort();   // closed under the search
        ASSERT_TRUE(waitForEnd());
        EXPECT_EQ(logCount("No valid physical connection..."), 1u);
        EXPECT_LT(selects(), 10);
        EXPECT_EQ(logCount(EndLine), 1u);
        EXPECT_TRUE(f().StopSecondary);
        expectSearchControlsBack();
    }
}

TEST_F(Secondary, ClosingTheWindowMidSearchEndsItAtOnce)
{
    addMeter("12345678", 1);
    start(false);
    const int before = threadCount();
    peer.record(f());   // the search waits its time-out, not for the bus
    f().setResponseTimeoutForTest(0);
    f().UD_timeout->setValue(9900);
    findAll();
    ASSERT_TRUE(waitForFrames(1));   // the search waits its 9.9 s now
    const std::size_t lines = f().Log.count();
    ASSERT_FALSE(peer.sent().empty());
    const auto waitEnds = peer.sent().back().before + 9900ms;   // the running wait's end
    f().close();
    EXPECT_LT(std::chrono::steady_clock::now(), waitEnds);   // the wait was cut short
    EXPECT_FALSE(f().SearchThread);
    EXPECT_EQ(threadCount(), before);
    EXPECT_EQ(logCount(EndLine), 0u);
    EXPECT_FALSE(f().PortOpen);
    EXPECT_EQ(quitRequests, 1);
    // The close's own lines only: nothing of the search came after it.
    for (std::size_t i = lines; i < f().Log.count(); ++i)
        EXPECT_FALSE(f().Log.line(i).starts_with("Checking")) << f().Log.line(i);
}

TEST_F(Secondary, TheProgramsEndDuringASearchJoinsItsThread)
{
    addMeter("12345678", 1);
    start(false);
    const int before = threadCount();
    peer.record(f());   // the search waits its time-out, not for the bus
    f().setResponseTimeoutForTest(0);
    f().UD_timeout->setValue(9900);
    findAll();
    ASSERT_TRUE(waitForFrames(1));
    ASSERT_FALSE(peer.sent().empty());
    const auto waitEnds = peer.sent().back().before + 9900ms;   // the running wait's end
    destroyWindows();
    EXPECT_LT(std::chrono::steady_clock::now(), waitEnds);
    EXPECT_EQ(threadCount(), before);
}

// --- Find by ID ---

TEST_F(Secondary, FindByIdSelectsReadsAndDeselectsTheMeter)
{
    addMeter("12345678", 5, "0C 06 27 04 00 00", 0x04);
    start();
    byHand();
    setRows({{"12345678", "5"}});
    f().Edit_id->setText("12345678");
    f().Butt_find_idClick();
    tickAfter(1, 1, &TForm11::Timer_secondaryTimer);   // E5: the meter is selected
    tickAfter(2, 2, &TForm11::Timer_secondaryTimer);   // the telegram
    EXPECT_FALSE(f().Timer_secondary->isActive());
    EXPECT_TRUE(f().PortOpen);
    tickAfter(3, 3, &TForm11::Timer_respondTimer);   // E5 of the deselection
    EXPECT_EQ(spacedHex(bus->receivedBytes()), "68 0B 0B 68 53 FD 52 78 56 34 12 FF FF FF FF B2 16 "
                                              "10 7B FD 78 16 10 40 FD 3D 16 ");
    EXPECT_EQ(gridRow(1).substr(0, 23), "12345678|5|ABC|427.000|");
    EXPECT_EQ(grid().RowCount(), 3);
    EXPECT_EQ(grid().selectedRow(), 1);
    EXPECT_FALSE(f().PortOpen);
    EXPECT_FALSE(f().Timer_respond->isActive());
    EXPECT_FALSE(f().MatchById);
}

TEST_F(Secondary, FindByIdAddsAMeterNotInTheTable)
{
    addMeter("12345678", 5);
    start();
    byHand();
    f().Edit_id->setText("12345678");
    f().Butt_find_idClick();
    tickAfter(1, 1, &TForm11::Timer_secondaryTimer);
    tickAfter(2, 2, &TForm11::Timer_secondaryTimer);
    EXPECT_EQ(grid().cell(0, 1), "12345678");
    EXPECT_EQ(grid().selectedRow(), 1);
    EXPECT_EQ(f().CurAddr, "5");
}

TEST_F(Secondary, FindByIdRefusesAWrongLengthAndSendsNothingForAPartialWildcard)
{
    addMeter("12345678", 5);
    start();
    byHand();
    f().Edit_id->setText("1234567");
    f().Butt_find_idClick();
    EXPECT_EQ(f().Log.line(f().Log.count() - 1), "Incorrect ID entered");
    EXPECT_FALSE(f().PortOpen);
    EXPECT_FALSE(f().Timer_secondary->isActive());

    f().Edit_id->setText("1234FFFF");
    f().Butt_find_idClick();
    EXPECT_TRUE(f().Timer_secondary->isActive());
    EXPECT_TRUE(prompts.boxes.empty());   // a single ID: no question
    f().Timer_secondaryTimer();
    EXPECT_EQ(f().Log.line(f().Log.count() - 1), "No response from device 1234FFFF");
    EXPECT_EQ(bus->frameCount(), 0u);
    EXPECT_FALSE(f().PortOpen);
}

TEST_F(Secondary, AMeterAcknowledgingItsRequestEndsTheExchange)
{
    SimFaults e5;
    e5.e5InsteadOfTelegram = true;
    bus->setFaults(addMeter("12345678", 5), e5);
    start();
    byHand();
    f().Edit_id->setText("12345678");
    f().Butt_find_idClick();
    tickAfter(1, 1, &TForm11::Timer_secondaryTimer);
    tickAfter(2, 2, &TForm11::Timer_secondaryTimer);   // E5 where a telegram was asked for
    EXPECT_FALSE(f().Timer_secondary->isActive());
    tickAfter(3, 3, &TForm11::Timer_respondTimer);
    EXPECT_FALSE(f().Timer_respond->isActive());
    EXPECT_EQ(frameNames(), std::vector<std::string>({"LONG 53/52", "REQ 253", "NKE 253"}));
    EXPECT_FALSE(f().PortOpen);
}

TEST_F(Secondary, GlobalInitialisationWaitsBeforeTheFirstSelect)
{
    start(false);
    settings().Global_init->setChecked(true);
    runFindAll();
    const std::vector<SimLogEntry> frames = bus->frames();
    ASSERT_EQ(frames.size(), 11u);
    EXPECT_TRUE(frames[0].isSndNke(255));
    // The select went out at least the wait after the reset began to go out.
    EXPECT_GE(frames[1].time - peer.firstSent(SndNkeFrame(255)), 1300ms);
    EXPECT_EQ(selects(), 10);
}

// --- a new primary address through a selection ---

TEST_F(Secondary, SetAddressByIdRunsTheChainAndTheMeterAnswersAtItsNewAddress)
{
    addMeter("12345678", 3);
    start();
    byHand();
    setRows({{"12345678", "3"}});
    f().UD_new_address->setValue(9);
    f().Butt_set_address->click();
    EXPECT_TRUE(f().SetAddrPending);
    tickAfter(1, 1, &TForm11::Timer_secondaryTimer);   // selected: the new address goes to 253
    tickAfter(2, 2, &TForm11::Timer_secondaryTimer);   // acknowledged: the read
    tickAfter(3, 3, &TForm11::Timer_secondaryTimer);   // the telegram: the deselection
    tickAfter(4, 4, &TForm11::Timer_respondTimer);
    const std::vector<SimLogEntry> frames = bus->frames();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(spacedHex(frames[1].bytes), "68 06 06 68 73 FD 51 01 7A 09 45 16 ");
    EXPECT_EQ(frameNames(), std::vector<std::string>({"LONG 53/52", "LONG 73/51", "REQ 253", "NKE 253"}));
    EXPECT_EQ(bus->meter(0).address(), 9);
    EXPECT_EQ(grid().cell(1, 1), "9");
    EXPECT_EQ(f().CurAddr, "9");
    EXPECT_FALSE(f().SetAddrPending);
    EXPECT_FALSE(f().PortOpen);

    // The meter answers at 9 now.
    f().Butt_readonce->click();
    tickAfter(5, 5, &TForm11::Timer_respondTimer);
    EXPECT_TRUE(bus->frames().back().isReqUd2(9));
    EXPECT_EQ(logCount("No response from address 9"), 0u);
}

TEST_F(Secondary, SetAddressOnBroadcastGoesTo254AndWithoutIdNowhere)
{
    addMeter("12345678", 3);
    start();
    byHand();
    setRows({{"", "3"}});
    f().UD_new_address->setValue(9);
    f().Butt_set_addressClick();   // no ID: nothing
    EXPECT_FALSE(f().Timer_secondary->isActive());
    EXPECT_FALSE(f().SetAddrPending);

    f().Check_broadcast->setChecked(true);
    f().Butt_set_addressClick();
    tickAfter(1, 1, &TForm11::Timer_respondTimer);
    EXPECT_EQ(spacedHex(bus->receivedBytes()), "68 06 06 68 73 FE 51 01 7A 09 46 16 ");
    EXPECT_EQ(bus->meter(0).address(), 9);
}

TEST_F(Secondary, ASilentMeterIsNamedByItsId)
{
    SimFaults silent;
    silent.silent = true;
    bus->setFaults(addMeter("12345678", 3), silent);
    start();
    byHand();
    setRows({{"12345678", "3"}});
    f().Edit_id->setText("87654321");
    f().Butt_set_addressClick();
    tickAfter(1, 0, &TForm11::Timer_secondaryTimer);
    EXPECT_EQ(f().Log.line(f().Log.count() - 1), "No response from device 12345678");
    EXPECT_FALSE(f().SetAddrPending);
    EXPECT_FALSE(f().PortOpen);
}

TEST_F(Secondary, StopAddrLeavesNoNewAddressForTheNextFind)
{
    addMeter("12345678", 3);
    start();
    byHand();
    setRows({{"12345678", "3"}});
    prompts.queueAnswer(Prompts::Answer::Yes);
    f().BitBtn21->click();
    ASSERT_TRUE(f().SetAddrPending);
    // The frame is on the bus before the next command's purge could drop it from the line.
    ASSERT_TRUE(waitBus(1, 1));
    f().BitBtn21->click();   // "Stop addr" while the selection waits for its acknowledge
    EXPECT_FALSE(f().Timer_secondary->isActive());
    EXPECT_FALSE(f().SetAddrPending);
    EXPECT_TRUE(f().Check_broadcast->isEnabled());

    bus->clearLog();
    f().Edit_id->setText("12345678");
    f().Butt_find_idClick();
    tickAfter(1, 1, &TForm11::Timer_secondaryTimer);
    ASSERT_TRUE(waitBus(2));
    EXPECT_EQ(frameNames(), std::vector<std::string>({"LONG 53/52", "REQ 253"}));
    EXPECT_EQ(bus->meter(0).address(), 3);
}

TEST_F(Secondary, AFindWhileASetAddressWaitsSendsNoNewAddress)
{
    addMeter("12345678", 3);
    start();
    byHand();
    setRows({{"12345678", "3"}});
    f().UD_new_address->setValue(9);
    f().Butt_set_addressClick();
    ASSERT_TRUE(f().SetAddrPending);
    ASSERT_TRUE(waitBus(1, 1));
    f().Butt_find_primaryClick();   // refused: the selection's exchange runs
    EXPECT_FALSE(f().SearchActive);
    EXPECT_EQ(logCount(Busy), 1u);
    f().Butt_find_idClick();   // so is a Find by ID
    EXPECT_EQ(logCount(Busy), 2u);
    EXPECT_TRUE(f().Timer_secondary->isActive());

    // The selection given up from outside: its new address is not the next Find's.
    f().Timer_secondary->stop();
    ASSERT_TRUE(f().SetAddrPending);
    bus->clearLog();
    f().Edit_id->setText("12345678");
    f().Butt_find_idClick();
    EXPECT_FALSE(f().SetAddrPending);
    tickAfter(1, 1, &TForm11::Timer_secondaryTimer);
    ASSERT_TRUE(waitBus(2));
    EXPECT_EQ(frameNames(), std::vector<std::string>({"LONG 53/52", "REQ 253"}));
    EXPECT_EQ(bus->meter(0).address(), 3);
}

// --- automatic addressing, on the real timers ---

TEST_F(Secondary, AutoAddressNumbersTheTableFromItsStart)
{
    const char* ids[] = {"10000001", "10000002", "10000003", "10000004", "10000005"};
    for (int i = 0; i < 5; ++i)
        addMeter(ids[i], 50 + i);
    start();
    setRows({{ids[3], "53"}, {ids[0], "50"}, {ids[4], "54"}, {ids[1], "51"}, {ids[2], "52"}});
    f().UD_AutoPrimary->setValue(10);
    prompts.queueAnswer(Prompts::Answer::Yes);
    f().BitBtn21->click();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, "Address confirmation");
    EXPECT_EQ(prompts.boxes[0].text, "This will address automatically ALL devices (primary), OK?");
    EXPECT_EQ(prompts.boxes[0].icon, Prompts::Icon::Warning);
    EXPECT_EQ(f().BitBtn21->text(), "Stop addr");
    EXPECT_FALSE(f().Check_broadcast->isEnabled());
    EXPECT_FALSE(f().Butt_readall->isEnabled());
    EXPECT_TRUE(f().BitBtn21->isEnabled());

    ASSERT_TRUE(QTest::qWaitFor([&] { return logCount("Auto addressing has finished...") == 1; }, 60000));
    const int order[] = {3, 0, 4, 1, 2};
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(bus->meter(static_cast<std::size_t>(order[row])).address(), 10 + row) << ids[order[row]];
    for (int row = 1; row <= 5; ++row)
        EXPECT_EQ(grid().cell(1, row), std::to_string(9 + row));
    EXPECT_EQ(f().BitBtn21->text(), "Auto address");
    EXPECT_TRUE(f().Check_broadcast->isEnabled());
    EXPECT_TRUE(f().Butt_readall->isEnabled());
    EXPECT_TRUE(f().Group_ops->isEnabled());
    EXPECT_FALSE(f().AutoAddressing);

    // The next meter's selection follows the deselection, after the 200 ms pause and one tick;
    // timed where the program sends, since the bus would shorten a gap whose first frame it read late.
    const auto isSelection = [](const std::string& f) {
        return f.size() > 6 && f[0] == '\x68' && f[4] == '\x53' && f[6] == '\x52';
    };
    const std::vector<PeerWaits::Sent>& sent = peer.sent();
    int gaps = 0;
    for (std::size_t i = 0; i + 1 < sent.size(); ++i) {
        if (sent[i].frame != SndNkeFrame(253) || !isSelection(sent[i + 1].frame))
            continue;
        ++gaps;
        EXPECT_GE(sent[i + 1].before - sent[i].before, 280ms);
    }
    EXPECT_EQ(gaps, 4);
}

TEST_F(Secondary, AutoAddressStopsAbove249)
{
    for (int i = 0; i < 3; ++i)
        addMeter("2000000" + std::to_string(i), 1 + i);
    start();
    setRows({{"20000000", "1"}, {"20000001", "2"}, {"20000002", "3"}});
    f().UD_AutoPrimary->setValue(248);
    prompts.queueAnswer(Prompts::Answer::Yes);
    f().BitBtn21->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return logCount("Primary address can not be above 249, aborting...") == 1; }, 60000));
    EXPECT_EQ(bus->meter(0).address(), 248);
    EXPECT_EQ(bus->meter(1).address(), 249);
    EXPECT_EQ(bus->meter(2).address(), 3);
    EXPECT_EQ(f().BitBtn21->text(), "Auto address");
    EXPECT_TRUE(f().Check_broadcast->isEnabled());
    EXPECT_EQ(logCount("Auto addressing has finished..."), 0u);
}

TEST_F(Secondary, AutoAddressPassesRowsWithoutIdAndSilentMeters)
{
    addMeter("30000001", 1);
    SimFaults silent;
    silent.silent = true;
    bus->setFaults(addMeter("30000003", 3), silent);
    addMeter("30000004", 4);
    start();
    setRows({{"30000001", "1"}, {"", "2"}, {"30000003", "3"}, {"30000004", "4"}});
    f().UD_AutoPrimary->setValue(10);
    prompts.queueAnswer(Prompts::Answer::Yes);
    f().BitBtn21->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return logCount("Auto addressing has finished...") == 1; }, 60000));
    EXPECT_EQ(bus->meter(0).address(), 10);
    EXPECT_EQ(bus->meter(1).address(), 3);   // silent: 12 was its turn
    EXPECT_EQ(bus->meter(2).address(), 13);
    EXPECT_EQ(logCount("No response from device 30000003"), 1u);
}

TEST_F(Secondary, StopAddrEndsTheRun)
{
    for (int i = 0; i < 3; ++i)
        addMeter("4000000" + std::to_string(i), 1 + i);
    start();
    setRows({{"40000000", "1"}, {"40000001", "2"}, {"40000002", "3"}});
    f().UD_AutoPrimary->setValue(10);
    prompts.queueAnswer(Prompts::Answer::Yes);
    f().BitBtn21->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bus->meter(0).address() == 10; }, 30000));
    f().BitBtn21->click();
    EXPECT_FALSE(f().Timer_secondary->isActive());
    EXPECT_FALSE(f().Timer_auto_address->isActive());
    EXPECT_FALSE(f().Timer_respond->isActive());
    EXPECT_FALSE(f().AutoAddressing);
    EXPECT_EQ(f().BitBtn21->text(), "Auto address");
    EXPECT_TRUE(f().Check_broadcast->isEnabled());
    EXPECT_TRUE(f().Butt_find_all->isEnabled());

    // The stop gives the link back: a read goes out.
    const std::size_t sent = bus->frameCount();
    const int address = std::stoi(f().CurAddr);
    f().Butt_readonceClick();
    EXPECT_EQ(logCount(Busy), 0u);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const std::vector<SimLogEntry> frames = bus->frames();
            for (std::size_t i = sent; i < frames.size(); ++i)
                if (frames[i].isReqUd2(address))
                    return true;
            return false;
        },
        5000));
}

TEST_F(Secondary, AnExchangeStartedWhileAutoAddressAsksKeepsTheLink)
{
    addMeter("12345678", 5);
    start();
    byHand();
    setRows({{"12345678", "5"}});
    f().Check_broadcast->setChecked(true);
    prompts.whileAsking = [&] { f().Butt_readonceClick(); };   // a read of every meter, by broadcast
    prompts.queueAnswer(Prompts::Answer::Yes);
    f().BitBtn21->click();
    EXPECT_EQ(logCount(Busy), 1u);
    EXPECT_FALSE(f().AutoAddressing);
    EXPECT_FALSE(f().SetAddrPending);
    EXPECT_FALSE(f().Timer_secondary->isActive());
    EXPECT_EQ(f().BitBtn21->text(), "Auto address");
    EXPECT_TRUE(f().Butt_readall->isEnabled());
    EXPECT_TRUE(f().Check_broadcast->isEnabled());
    EXPECT_TRUE(f().Check_broadcast->isChecked());   // the read in progress goes on as it began
    tickAfter(1, 1, &TForm11::Timer_respondTimer);
    EXPECT_EQ(frameNames(), std::vector<std::string>({"REQ 254"}));
    EXPECT_EQ(bus->meter(0).address(), 5);
    EXPECT_FALSE(f().linkBusy());
}

TEST_F(Secondary, DuringAutoAddressingReadsAndDisplayCommandsStartNothing)
{
    const char* ids[] = {"50000001", "50000002", "50000003"};
    for (int i = 0; i < 3; ++i)
        addMeter(ids[i], 1 + i);
    start();
    setRows({{ids[0], "1"}, {ids[1], "2"}, {ids[2], "3"}});
    f().UD_AutoPrimary->setValue(10);
    // Starts tried all through the run, as timers would try them.
    int tries = 0;
    QTimer poke;
    poke.setInterval(40);
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (f().BitBtn21->text() != "Stop addr")
            return;
        ++tries;
        f().Butt_readonceClick();
        f().BitBtn12Click();   // the display's time
    });
    prompts.queueAnswer(Prompts::Answer::Yes);
    f().BitBtn21->click();
    poke.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return logCount("Auto addressing has finished...") == 1; }, 60000));
    poke.stop();
    EXPECT_GT(tries, 3);
    EXPECT_EQ(logCount(Busy), 2u * static_cast<std::size_t>(tries));
    EXPECT_EQ(logCount("Setting time of Pexor-V48..."), 0u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(bus->meter(i).address(), 10 + static_cast<int>(i));
    // The run's own chain only, meter by meter.
    std::vector<std::string> chain;
    for (int i = 0; i < 3; ++i)
        chain.insert(chain.end(), {"LONG 53/52", "LONG 73/51", "REQ 253", "NKE 253"});
    EXPECT_EQ(frameNames(), chain);
    EXPECT_EQ(bus->receivedBytes().find("SET "), std::string::npos);
}

} // namespace
