// Reading meters on the simulated bus: the selected meter, every meter of the table, a range
// of primary addresses, and a full read into the report.
#include "BusAppFixture.h"
#include "ReplyDecoder.h"
#include "StringGridView.h"
#include "TForm11.h"
#include "TFormFullMbus.h"
#include "TLogin.h"
#include "TSettings.h"
#include "TelegramBuilder.h"
#include "Text8.h"
#include "UpDownEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <map>
#include <functional>
#include <set>
#include <sstream>

namespace {

using namespace std::chrono_literals;

const std::string HeatRecords = "0C 06 27 04 00 00";   // 427 kWh

SimMeter heatMeter(int address)
{
    char id[9];
    std::snprintf(id, sizeof id, "%08d", address);
    return SimMeter(static_cast<std::uint8_t>(address), id, "EMH", 1, 0x04, hexBytes(HeatRecords));
}

SimFaults silent()
{
    SimFaults f;
    f.silent = true;
    return f;
}

class Reading : public BusAppFixture {
protected:
    TForm11& f() { return form11(); }
    StringGrid& grid() { return form11().Grid_vantrel->grid(); }

    // Meters at these addresses answer; every other address is silent.
    void addMeters(std::initializer_list<int> addresses)
    {
        for (int a : addresses)
            bus->addMeter(heatMeter(a));
    }
    // Rows of these address cells, then the empty row; the first is selected.
    void setRows(std::initializer_list<const char*> addresses)
    {
        grid().setRowCount(static_cast<int>(addresses.size()) + 2);
        int r = 1;
        for (const char* a : addresses) {
            grid().setCell(0, r, "old");
            grid().setCell(1, r++, a);
        }
        grid().selectRow(1);
    }
    // The timer ticks only when a test calls its slot; whether it runs still tells whether
    // the run goes on.
    void byHand(QTimer* timer) { timer->setInterval(3600 * 1000); }
    // Runs a read or search tick by tick: before each tick the bus has received every frame
    // sent so far (the administrator's "Sent:" lines) and answered each one sent to an
    // address in `answering`. Gives the ticks taken.
    int stepRun(QTimer* timer, void (TForm11::*tick)(), const std::set<int>& answering, int maxTicks = 60)
    {
        int ticks = 0;
        std::size_t answeredBefore = 0;
        for (; timer->isActive() && ticks < maxTicks; ++ticks) {
            std::size_t sent = 0, answered = 0;
            for (const std::string& line : f().Log.lines()) {
                if (!line.starts_with("Sent:"))
                    continue;
                ++sent;
                const std::string bytes = hexBytes(line.substr(5));
                answered += bytes.size() == 5 && answering.contains(static_cast<unsigned char>(bytes[2]));
            }
            EXPECT_TRUE(waitBus(sent, answered)) << "sent " << sent << ", answered " << answered;
            if (answered > answeredBefore) {
                EXPECT_TRUE(waitForLastReplyOnPort());
            }
            answeredBefore = answered;
            (f().*tick)();
        }
        return ticks;
    }
    int stepRespond(const std::set<int>& answering, int maxTicks = 60)
    {
        return stepRun(f().Timer_respond, &TForm11::Timer_respondTimer, answering, maxTicks);
    }
    int stepReadAll(const std::set<int>& answering, int maxTicks = 60)
    {
        return stepRun(f().Timer_readall, &TForm11::Timer_readallTimer, answering, maxTicks);
    }
    void start(int retries, std::string_view ini = {})
    {
        startProgram(retries, ini);
        login().IsAdministrator = true;
        byHand(f().Timer_respond);
        byHand(f().Timer_readall);
    }
};

TEST_F(Reading, ReadSelectedAsksTheMeterOnceAndUpdatesItsRow)
{
    addMeters({5});
    start(0);
    setRows({"5"});
    f().Butt_readonce->click();
    EXPECT_EQ(stepRespond({5}), 1);
    EXPECT_EQ(bus->receivedBytes(), std::string("\x10\x7B\x05\x80\x16", 5));
    EXPECT_EQ(gridRow(1), "00000005|5|EMH|427.000|kWh|Heat (rt)|2:05:09 PM|2/3/26|0x00|");
    EXPECT_EQ(gridRow(2), "|||||||||");
    EXPECT_EQ(f().StatusText(), "COM1 is closed");
    EXPECT_FALSE(f().PortOpen);
    for (QTimer* t : f().findChildren<QTimer*>())
        EXPECT_FALSE(t->isActive()) << t->objectName().toStdString();
}

TEST_F(Reading, ASilentMeterEndsTheReadWithTheLinkKept)
{
    bus->setFaults(bus->addMeter(heatMeter(5)), silent());
    start(3);
    setRows({"5"});
    f().ReadFull1->trigger();
    ASSERT_TRUE(f().Link.FullReportMode);
    EXPECT_EQ(stepRespond({}), 1);
    EXPECT_EQ(lastLogLine(), "No response from address 5");
    EXPECT_FALSE(f().Link.FullReportMode);
    EXPECT_TRUE(f().PortOpen);
    EXPECT_EQ(frameNames(), std::vector<std::string>({"REQ 5"}));
}

TEST_F(Reading, BroadcastWithNkeFirstAsksForTheTelegramAfterTheAcknowledge)
{
    addMeters({7});
    start(0);
    setRows({"7"});
    f().Check_broadcast->setChecked(true);
    f().Check_nke->setChecked(true);
    f().Butt_readonce->click();
    EXPECT_EQ(stepRespond({254}), 2);
    EXPECT_EQ(frameNames(), std::vector<std::string>({"NKE 254", "REQ 254"}));
    EXPECT_EQ(logCount("0xE5 (Acknowledge)"), 1u);
    EXPECT_EQ(grid().cell(3, 1), "427.000");
    EXPECT_FALSE(f().PortOpen);
}

TEST_F(Reading, AnAddressOutsideTheBusSendsNothing)
{
    addMeters({5});
    start(0);
    setRows({"261", "5"});
    f().Butt_readonce->click();
    EXPECT_EQ(stepRespond({}), 1);
    EXPECT_EQ(lastLogLine(), "No response from address 261");
    // "Read Full" with nothing sent leaves no report mode behind.
    f().ReadFull1->trigger();
    EXPECT_FALSE(f().Link.FullReportMode);

    grid().selectRow(2);
    f().Butt_readonce->click();
    stepRespond({5});
    EXPECT_EQ(frameNames(), std::vector<std::string>({"REQ 5"}));
    EXPECT_EQ(grid().cell(0, 1), "old");
}

TEST_F(Reading, ALateReplyIsNotMixedIntoTheNextRead)
{
    const std::size_t meter = bus->addMeter(heatMeter(5));
    // Late enough that the tick comes before the answer even on a busy machine.
    SimFaults late;
    late.late = 2s;
    bus->setFaults(meter, late);
    start(0);
    setRows({"5"});
    f().Butt_readonce->click();
    ASSERT_TRUE(waitBus(1));
    f().Timer_respondTimer();   // before the meter answers
    EXPECT_EQ(lastLogLine(), "No response from address 5");
    EXPECT_EQ(bus->replyCount(), 0u);
    ASSERT_TRUE(waitBus(1, 1));   // the late answer waits on the open port

    bus->setFaults(meter, {});
    f().Butt_readonce->click();
    EXPECT_EQ(stepRespond({5}), 1);
    EXPECT_EQ(logCount("Respond: " + spacedHex(heatMeter(5).telegram())), 1u);
    EXPECT_EQ(grid().cell(3, 1), "427.000");
    EXPECT_FALSE(f().PortOpen);
}

TEST_F(Reading, AWriteLeftUnansweredAddsNoReadToTheNextExchange)
{
    const std::size_t meter = bus->addMeter(heatMeter(5));
    bus->setFaults(meter, silent());
    start(0);
    setRows({"5"});
    f().ReadAfterWrite = true;   // as a write command leaves it
    f().Butt_readonce->click();
    stepRespond({});
    EXPECT_FALSE(f().ReadAfterWrite);
    bus->clearLog();
    f().Log.clear();

    bus->setFaults(meter, {});
    f().Butt_readonce->click();
    EXPECT_EQ(stepRespond({5}), 1);
    EXPECT_FALSE(f().PortOpen);
    EXPECT_EQ(frameNames(), std::vector<std::string>({"REQ 5"}));
}

TEST_F(Reading, AMeterAcknowledgingTheRequestEndsTheRead)
{
    SimFaults e5;
    e5.e5InsteadOfTelegram = true;
    bus->setFaults(bus->addMeter(heatMeter(5)), e5);
    start(0);
    setRows({"5"});
    f().Check_nke->setChecked(true);
    f().Butt_readonce->click();
    // The first tick takes the SND_NKE's acknowledge and asks for the telegram; the E5 that
    // answers the request ends the read at the next tick.
    EXPECT_EQ(stepRespond({5}, 3), 2);
    EXPECT_EQ(logCount("0xE5 (Acknowledge)"), 2u);
    EXPECT_FALSE(f().Timer_respond->isActive());
    EXPECT_FALSE(f().PortOpen);
    EXPECT_EQ(frameNames(), std::vector<std::string>({"NKE 5", "REQ 5"}));
}

TEST_F(Reading, FindSearchesTheSwappedRangeWithRetriesOnTheRealTimer)
{
    addMeters({6});
    startProgram(1);
    TForm11& form = f();
    // A meter's reply must be in before the next tick: a generous time-out for a busy machine.
    form.UD_timeout->setValue(2000);
    form.UD_address_min->setValue(7);
    form.UD_address_max->setValue(5);
    const std::vector<QWidget*> locked = {form.Butt_readall, form.Butt_readonce, form.Group_ops, form.Group_advanced,
                                          form.Butt_find_id, form.Butt_find_all, form.BitBtn21, form.Butt_command_send};
    int highest = -1;
    QObject::connect(form.ProgressBar1, &QProgressBar::valueChanged, [&](int v) { highest = std::max(highest, v); });

    prompts.queueAnswer(Prompts::Answer::Yes);
    form.Butt_find_primary->click();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].caption, "Clear confirmation");
    EXPECT_EQ(prompts.boxes[0].text, "Do you want to clear the table?");
    EXPECT_EQ(prompts.boxes[0].icon, Prompts::Icon::Warning);
    EXPECT_EQ(prompts.boxes[0].buttons, Prompts::Buttons::YesNoCancel);
    EXPECT_EQ(form.UD_address_min->value(), 5);
    EXPECT_EQ(form.UD_address_max->value(), 7);
    EXPECT_EQ(form.Butt_find_primary->text(), "Stop");
    EXPECT_EQ(form.ProgressBar1->maximum(), 2);
    EXPECT_TRUE(form.ProgressBar1->isVisible());
    for (QWidget* w : locked)
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();

    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.SearchActive; }, 60000));
    std::map<int, int> requests;
    for (const std::string& name : frameNames())
        ++requests[std::stoi(name.substr(4))];
    EXPECT_EQ(requests, (std::map<int, int>{{5, 2}, {6, 1}, {7, 2}}));
    EXPECT_EQ(grid().RowCount(), 3);
    EXPECT_EQ(grid().cell(1, 1) + "," + grid().cell(1, 2), "6,");
    EXPECT_EQ(highest, 2);
    EXPECT_FALSE(form.ProgressBar1->isVisible());
    EXPECT_EQ(form.Butt_find_primary->text(), "Find");
    for (QWidget* w : locked)
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_FALSE(form.Timer_respond->isActive());
    EXPECT_FALSE(form.PortOpen);
    EXPECT_EQ(form.CurAddr, "6");
}

TEST_F(Reading, FindSendsOneRequestPerAddressOrNkeThenRequest)
{
    const struct {
        bool nke;
        int retries;
        std::vector<std::string> frames;
    } cases[] = {
        {false, 0, {"REQ 1", "REQ 2", "REQ 3"}},
        {true, 0, {"NKE 1", "NKE 2", "REQ 2", "NKE 3"}},
        // A silent address gets the first request and one more per retry.
        {false, 2, {"REQ 1", "REQ 1", "REQ 1", "REQ 2", "REQ 3", "REQ 3", "REQ 3"}},
        {true, 1, {"NKE 1", "NKE 1", "NKE 2", "REQ 2", "NKE 3", "NKE 3"}},
    };
    addMeters({2});
    start(0);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.nke) + " " + std::to_string(c.retries));
        settings().UD_retry_read->setValue(c.retries);
        bus->clearLog();
        f().Log.clear();
        f().UD_address_min->setValue(1);
        f().UD_address_max->setValue(3);
        f().Check_nke->setChecked(c.nke);
        prompts.queueAnswer(Prompts::Answer::Yes);
        f().Butt_find_primary->click();
        stepRespond({2});
        EXPECT_EQ(frameNames(), c.frames);
        EXPECT_EQ(gridRow(1).substr(0, 16), "00000002|2|EMH|4");
        EXPECT_EQ(grid().RowCount(), 3);
    }
}

// A real question box runs the event loop while it waits: a timer or a gateway's automatic
// read may start an exchange meanwhile. Yes then starts no search and clears nothing.
TEST_F(Reading, AnExchangeStartedWhileFindAsksKeepsTheLink)
{
    addMeters({5});
    start(0);
    setRows({"5"});
    f().UD_address_min->setValue(1);
    f().UD_address_max->setValue(3);
    prompts.whileAsking = [&] { f().Butt_readonceClick(); };
    prompts.queueAnswer(Prompts::Answer::Yes);
    f().Butt_find_primary->click();
    EXPECT_EQ(logCount("Another exchange is running, please wait..."), 1u);
    EXPECT_FALSE(f().SearchActive);
    EXPECT_EQ(grid().cell(1, 1), "5");   // Yes cleared nothing
    // The read alone has the link, and ends as usual.
    EXPECT_EQ(stepRespond({5}), 1);
    EXPECT_EQ(frameNames(), std::vector<std::string>({"REQ 5"}));
    EXPECT_FALSE(f().linkBusy());
    EXPECT_FALSE(f().PortOpen);
}

TEST_F(Reading, AnInvalidTelegramDuringTheSearchIsAskedForAgainUpToTheRetries)
{
    SimFaults wrongSum;
    wrongSum.wrongChecksum = true;
    bus->setFaults(bus->addMeter(heatMeter(5)), wrongSum);
    addMeters({6});
    start(2);
    const struct {
        bool nke;
        std::vector<std::string> frames;
        std::size_t readingLines;   // "Reading device 5"
    } cases[] = {
        {false, {"REQ 5", "REQ 5", "REQ 5", "REQ 6"}, 2},
        {true, {"NKE 5", "REQ 5", "NKE 5", "REQ 5", "NKE 5", "REQ 5", "NKE 6", "REQ 6"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nke);
        bus->clearLog();
        f().Log.clear();
        f().UD_address_min->setValue(5);
        f().UD_address_max->setValue(6);
        f().Check_nke->setChecked(c.nke);
        prompts.queueAnswer(Prompts::Answer::Yes);
        f().Butt_find_primary->click();
        EXPECT_LT(stepRespond({5, 6}), 60);
        EXPECT_FALSE(f().SearchActive);
        EXPECT_EQ(frameNames(), c.frames);
        EXPECT_EQ(logCount("Reading device 5"), c.readingLines);
        EXPECT_EQ(logCount("Wrong CRC"), 3u);
        // Only the meter with a sound telegram is in the table.
        EXPECT_EQ(grid().RowCount(), 3);
        EXPECT_EQ(grid().cell(1, 1), "6");
    }
}

TEST_F(Reading, GlobalInitialisationResetsTheBusAndWaitsBeforeTheSearch)
{
    addMeters({1});
    start(0);
    settings().Global_init->setChecked(true);
    f().UD_address_min->setValue(1);
    f().UD_address_max->setValue(1);
    prompts.queueAnswer(Prompts::Answer::No);
    const auto clicked = std::chrono::steady_clock::now();
    f().Butt_find_primary->click();
    const auto returned = std::chrono::steady_clock::now();
    stepRespond({1});
    const std::vector<SimLogEntry> frames = bus->frames();
    ASSERT_EQ(frameNames(), std::vector<std::string>({"NKE 255", "REQ 1"}));
    // The wait blocks the window, however late the bus reads its line.
    EXPECT_GE(returned - clicked, 1300ms);
    // The reset goes out before the wait and the request after it: the request reached the bus
    // at least the wait after the reset began to go out, which was after the click.
    EXPECT_GE(frames[1].time - peer.firstSent(SndNkeFrame(255)), 1300ms);
}

TEST_F(Reading, StopEndsTheSearchWithTheFindCaptionOfTheLanguage)
{
    addMeters({5});
    start(0);
    f().UD_address_min->setValue(5);
    f().UD_address_max->setValue(9);
    const struct {
        void (TForm11::*language)();
        const char* caption;
        const char* question;
        const char* find;
    } cases[] = {
        {&TForm11::Italian1Click, "Conferma cancellazione", "Vuoi cancellare la tabella?", "Cerca"},
        {&TForm11::Polish1Click, "Wyczy\x9C\xE6 potwierdzenie", "Czy chcesz wyczy\x9C" "ci\xE6 tabele?", "Znajd\x9F"},
        {&TForm11::English1Click, "Clear confirmation", "Do you want to clear the table?", "Find"},
    };
    std::size_t n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.find);
        (f().*c.language)();
        prompts.queueAnswer(Prompts::Answer::Yes);
        f().Butt_find_primary->click();
        EXPECT_EQ(prompts.boxes.back().caption, c.caption);
        EXPECT_EQ(prompts.boxes.back().text, c.question);
        ++n;
        ASSERT_TRUE(waitBus(n, n));
        f().Butt_find_primary->click();
        EXPECT_EQ(Text8::fromUnicode(f().Butt_find_primary->text()), c.find);
        EXPECT_FALSE(f().SearchActive || f().Timer_respond->isActive() || f().PortOpen);
        EXPECT_TRUE(f().Butt_readonce->isEnabled());
        EXPECT_FALSE(f().ProgressBar1->isVisible());
    }
    // Cancel: nothing happens.
    prompts.queueAnswer(Prompts::Answer::Cancel);
    f().Butt_find_primary->click();
    EXPECT_FALSE(f().SearchActive || f().PortOpen);
    EXPECT_EQ(frameNames(), std::vector<std::string>(3, "REQ 5"));
}

TEST_F(Reading, ASearchAfterAReadFullThatSentNothingFillsTheTable)
{
    addMeters({2});
    start(0);
    f().ReadFull1->trigger();   // no meter selected: nothing is sent
    f().UD_address_min->setValue(2);
    f().UD_address_max->setValue(2);
    prompts.queueAnswer(Prompts::Answer::Yes);
    f().Butt_find_primary->click();
    // A one-address search still shows a bar, not a busy animation.
    EXPECT_LT(f().ProgressBar1->minimum(), f().ProgressBar1->maximum());
    stepRespond({2});
    EXPECT_EQ(grid().cell(1, 1), "2");
    EXPECT_FALSE(windows().FormFullMbus->isVisible());
}

TEST_F(Reading, ReadAllGoesThroughTheRowsOnTheRealTimer)
{
    addMeters({3, 6});
    startProgram(0);
    TForm11& form = f();
    form.UD_timeout->setValue(2000);   // generous: each reply is in before the next tick
    form.Polish1Click();
    setRows({"3", "4", "6"});
    form.Butt_readall->setText("x");
    form.Butt_readall->click();
    EXPECT_FALSE(form.Group_search->isEnabled() || form.Butt_readonce->isEnabled());
    EXPECT_TRUE(form.ProgressBar1->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.Timer_readall->isActive(); }, 60000));
    EXPECT_EQ(frameNames(), std::vector<std::string>({"REQ 3", "REQ 4", "REQ 6"}));
    EXPECT_EQ(grid().cell(3, 1) + "," + grid().cell(3, 2) + "," + grid().cell(3, 3), "427.000,,427.000");
    EXPECT_EQ(form.Butt_readall->text().toStdString(), "Odczytaj wszystkie");
    EXPECT_TRUE(form.Group_search->isEnabled() && form.Butt_readonce->isEnabled());
    EXPECT_FALSE(form.ProgressBar1->isVisible());
    EXPECT_FALSE(form.PortOpen);
}

TEST_F(Reading, ReadAllPassesAcknowledgesAddressesOutsideTheBusAndAClearedTable)
{
    SimFaults e5;
    e5.e5InsteadOfTelegram = true;
    bus->setFaults(bus->addMeter(heatMeter(3)), e5);
    addMeters({6});
    start(2);
    setRows({"3", "300", "6"});
    f().Butt_readall->click();
    EXPECT_LT(stepReadAll({3, 6}), 60);
    EXPECT_EQ(frameNames(), std::vector<std::string>({"REQ 3", "REQ 3", "REQ 3", "REQ 6"}));
    EXPECT_EQ(grid().cell(3, 3), "427.000");

    // Cleared under a run that has gone past its new end.
    bus->clearLog();
    f().Log.clear();
    f().Butt_readall->click();
    stepReadAll({3, 6}, 6);   // rows 1 and 2 passed after their retries
    ASSERT_EQ(f().ReadAllRow, 3);
    f().Butt_clear_grid->click();
    EXPECT_LT(stepReadAll({6}), 5);
    EXPECT_TRUE(f().Butt_readonce->isEnabled());
    EXPECT_FALSE(f().PortOpen);
}

TEST_F(Reading, ReadAllWithNkeFirstAsksEachRowAfterItsAcknowledgeWithoutTheBar)
{
    addMeters({3, 6});
    start(0);
    setRows({"3", "6"});
    f().Check_nke->setChecked(true);
    f().Butt_readall->click();
    EXPECT_FALSE(f().ProgressBar1->isVisible());
    EXPECT_LT(stepReadAll({3, 6}), 60);
    EXPECT_EQ(frameNames(), std::vector<std::string>({"NKE 3", "REQ 3", "NKE 6", "REQ 6"}));
    EXPECT_EQ(logCount("0xE5 (Acknowledge)"), 2u);
    EXPECT_EQ(grid().cell(3, 1) + "," + grid().cell(3, 2), "427.000,427.000");
    EXPECT_FALSE(f().Timer_readall->isActive() || f().PortOpen);
}

TEST_F(Reading, ReadAllShowsTheBarFromTheFirstRowToTheLast)
{
    addMeters({3});
    start(0);
    const struct {
        std::initializer_list<const char*> rows;
        bool trailingRow;   // the table ends with its empty row
        int maximum;        // RowCount - 1, at least 2
    } cases[] = {
        {{"3"}, false, 2},   // the only meter in row 1 of two rows
        {{"3"}, true, 2},
        {{"3", "4"}, true, 3},
        {{"3", "4", "5", "6"}, true, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.maximum);
        setRows(c.rows);
        if (!c.trailingRow)
            grid().setRowCount(grid().RowCount() - 1);
        f().Butt_readall->click();
        ASSERT_TRUE(f().Timer_readall->isActive());
        EXPECT_TRUE(f().ProgressBar1->isVisible());
        EXPECT_EQ(f().ProgressBar1->minimum(), 1);
        EXPECT_EQ(f().ProgressBar1->maximum(), c.maximum);
        EXPECT_EQ(f().ProgressBar1->value(), 1);
        EXPECT_LT(stepReadAll({3}), 60);
        EXPECT_FALSE(f().ProgressBar1->isVisible());
    }
}

TEST_F(Reading, ReadFullPutsTheReportInItsWindowAndLeavesTheTable)
{
    addMeters({5});
    start(0);
    setRows({"5"});
    const std::string before = gridRow(1);
    f().ReadFull1->trigger();
    EXPECT_EQ(stepRespond({5}), 1);
    TFormFullMbus& report = *windows().FormFullMbus;
    EXPECT_TRUE(report.isVisible());
    EXPECT_FALSE(f().Link.FullReportMode);
    EXPECT_EQ(gridRow(1), before);

    std::vector<std::string> expected = {"", "ID:00000005, Mfr: EMH, Main medium: Heat (rt)",
                                         "Access counter: 1, Status: 0x00, Model: "};
    for (const RecordRow& r : DecodeReply(heatMeter(5).telegram(), true, '.').records)
        if (!r.reportLine().empty())
            expected.push_back(r.reportLine());
    expected.insert(expected.end(), {"Decoded at 2:05:09 PM, 2/3/26", ""});
    EXPECT_EQ(report.report().lines(), expected);
    ASSERT_EQ(expected.size(), 6u);

    const std::string path = folder() + "/report";
    prompts.queueSaveFile(path);
    report.BitBtn2->click();
    std::ifstream in(path + ".txt", std::ios::binary);
    std::ostringstream saved;
    saved << in.rdbuf();
    std::string lines;
    for (const std::string& line : expected)
        lines += line + "\r\n";
    EXPECT_EQ(saved.str(), lines);
}

} // namespace
