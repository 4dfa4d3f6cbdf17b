// The write, delete and zero machine step by step, and the display read and "Get info" when
// the display or its link misbehaves.
#include "ClosedPort.h"
#include "DisplayAppFixture.h"
#include "SimDisplayTcp.h"
#include "StringGridView.h"
#include "TForm11.h"
#include "TSettings.h"
#include "UpDownEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

using namespace std::chrono_literals;
using Link = DisplayAppFixture::DisplayLink;
using Fault = SimDisplayFault::Kind;
using Strings = std::vector<std::string>;
using Await = DisplayAppFixture::Await;

class DisplayMachine : public DisplayAppFixture {
protected:
    TForm11& f() { return form11(); }
    // Rows with these addresses, each with a unit, start values, factors, user number and text.
    void rows(std::initializer_list<const char*> addresses)
    {
        pexor().setRowCount(static_cast<int>(addresses.size()) + 1);
        int r = 1;
        for (const char* a : addresses) {
            const std::vector<std::string> cells = {"", a, "m3", "1", "2", "3", "4", "1/1", std::to_string(r), "t"};
            for (int c = 0; c < static_cast<int>(cells.size()); ++c)
                pexor().setCell(c, r, cells[static_cast<std::size_t>(c)]);
            ++r;
        }
    }
    // The commands received, their head up to '=' and the address only ("SET UNIT=3").
    Strings heads()
    {
        Strings out;
        for (const std::string& c : commands())
            out.push_back(c.substr(0, c.find(',')));
        return out;
    }
    std::size_t countOf(const std::string& command)
    {
        const Strings all = commands();
        return static_cast<std::size_t>(std::count(all.begin(), all.end(), command));
    }
    void clearTables()
    {
        for (int a = 1; a <= 3; ++a)
            display.setEntry(a, {});
    }
};

} // namespace

TEST_F(DisplayMachine, StepsGoAcrossTheTickedRowsIn10nPlus9Ticks)
{
    startOn(Link::Serial);
    rows({"1", "2", "3"});
    f().CheckPexorRow(1);
    f().CheckPexorRow(3);
    beginRun();
    f().Butt_pexor_set->click();
    EXPECT_EQ(f().Butt_pexor_set->text(), "Stop writing table in display");
    EXPECT_FALSE(f().Butt_pexor_read->isEnabled());
    EXPECT_EQ(runPexor(), 29);
    Strings expected;
    for (const char* head : {"SET ENTR=", "SET UNIT=", "SET CONM=", "SET COND=", "SET INIT=", "SET INI1=",
                             "SET INI2=", "SET INI4=", "SET NUMB=", "SET TEXT="})
        for (const char* a : {"1", "3"})
            expected.push_back(head + std::string(a));
    EXPECT_EQ(heads(), expected);
    EXPECT_EQ(display.entry(3)->start, (std::array<std::string, 4> {"1", "2", "3", "4"}));
    EXPECT_FALSE(display.entry(2));
    EXPECT_TRUE(released());
    EXPECT_TRUE(f().Butt_pexor_read->isEnabled());
    EXPECT_EQ(f().Butt_pexor_set->text(), "Write table to the display");
    EXPECT_EQ(f().WriteRow, 0);
}

TEST_F(DisplayMachine, ASilentDisplayGetsTheActivateStepRetriesPlusOne)
{
    startOn(Link::Serial, 1);
    rows({"5"});
    f().CheckPexorRow(1);
    display.addFault({Fault::Silent, "", "", -1, 0ms});
    beginRun();
    f().Butt_pexor_setClick();
    ASSERT_GT(runPexor(60, Await::Command), 0);
    EXPECT_EQ(countOf("SET ENTR=5"), 2u);
    display.clearLog();
    settings().UD_retry_read->setValue(0);
    beginRun();
    f().Butt_pexor_setClick();
    ASSERT_GT(runPexor(60, Await::Command), 0);
    EXPECT_EQ(countOf("SET ENTR=5"), 1u);
    EXPECT_EQ(commands().size(), 10u);

    // "Already" is an answer: no retry.
    display.clearFaults();
    display.clearLog();
    settings().UD_retry_read->setValue(1);
    display.addFault({Fault::Already, "SET ENTR=", "", -1, 0ms});
    beginRun();
    f().Butt_pexor_setClick();
    ASSERT_GT(runPexor(), 0);
    EXPECT_EQ(countOf("SET ENTR=5"), 1u);
}

TEST_F(DisplayMachine, ALateActivateAnswerIsTakenAtTheRetry)
{
    startOn(Link::Serial, 1);
    rows({"4"});
    f().CheckPexorRow(1);
    display.addFault({Fault::Late, "SET ENTR=", "", 1, std::chrono::milliseconds(Timeout * 2)});
    beginRun();
    f().Butt_pexor_setClick();
    ASSERT_NO_FATAL_FAILURE(tickPexor(Await::Command));   // nothing yet: the row is tried again
    ASSERT_TRUE(QTest::qWaitFor([&] { return countOf("SET ENTR=4") == 2; }, 10000));
    ASSERT_TRUE(display.waitForReplies(2, 10s));
    ASSERT_GT(runPexor(), 0);
    EXPECT_EQ(countOf("SET ENTR=4"), 2u);
    EXPECT_EQ(commands().size(), 11u);
    EXPECT_EQ(display.entry(4)->text, "t");
}

TEST_F(DisplayMachine, TheLastAnswerOfGetInfoIsNotTakenForTheActivation)
{
    display.setEntry(1, {});
    startOn(Link::Module, 1);
    f().Butt_pexor_info->click();
    f().Timer_pexor_info->stop();
    for (std::size_t n = 1; n <= 3; ++n) {
        // The window's events run meanwhile: the socket writes the question from them.
        ASSERT_TRUE(QTest::qWaitFor([&] { return f().Link.LanxpReplyText.ends_with("\r\n"); }, 10000)) << n;
        f().Timer_pexor_infoTimer();
    }
    ASSERT_EQ(f().Info.lines().back(), "Active devices: 1");
    ASSERT_TRUE(released());
    // The display does not answer the activation: the row is tried again, not taken as active.
    rows({"5"});
    f().CheckPexorRow(1);
    display.addFault({Fault::Silent, "SET ENTR=", "", -1, 0ms});
    beginRun();
    f().Butt_pexor_setClick();
    ASSERT_TRUE(f().WriteTableActive);
    ASSERT_GT(runPexor(60, Await::Command), 0);
    EXPECT_EQ(countOf("SET ENTR=5"), 2u);
    EXPECT_FALSE(logged("Active devices: 1"));
}

TEST_F(DisplayMachine, ABadFirstRowOrNoTickPutsNothingOnTheWire)
{
    startOn(Link::Serial, 0);
    rows({"1"});
    f().CheckPexorRow(1);
    for (const char* bad : {"0", "251", "12a", ""}) {
        pexor().setCell(1, 1, bad);
        if (std::string(bad).empty())
            f().BitBtn3Click();   // a second row, so that the table is not the empty one
        beginRun();
        f().Butt_pexor_setClick();
        ASSERT_TRUE(f().WriteTableActive) << bad;
        ASSERT_GT(runPexor(60, Await::Nothing), 0);
        EXPECT_EQ(display.commandCount(), 0u) << bad;
        const std::string line = std::string("Error in device address at row 1") + (*bad ? ", skipping" : "");
        EXPECT_GE(logCount(line), 10u) << bad;
    }
    // No ticked row: the port is never opened.
    rows({"1"});
    f().BitBtn9Click();
    const std::size_t lines = f().Log.count();
    for (QPushButton* b : {f().Butt_pexor_set, f().Butt_pexor_delete, f().Butt_pexor_delp})
        b->click();
    EXPECT_FALSE(f().WriteTableActive);
    EXPECT_EQ(f().Log.count(), lines);
    EXPECT_FALSE(f().PortOpen);
}

TEST_F(DisplayMachine, DeleteAndZeroSendOnlyTheirOwnCommandAndDeleteCannotBeStopped)
{
    startOn(Link::Serial);
    clearTables();
    rows({"1", "2"});
    f().CheckPexorRow(1);
    f().CheckPexorRow(2);
    // A stopped write leaves its step boxes; the delete after it sends only its own command.
    f().Butt_pexor_setClick();
    ASSERT_TRUE(display.waitForReplies(1, 10s));
    f().Butt_pexor_setClick();
    EXPECT_TRUE(f().Check_pexor_active->isChecked());
    EXPECT_TRUE(released());
    display.clearLog();
    beginRun();
    f().Butt_pexor_delete->click();
    EXPECT_FALSE(f().Butt_pexor_set->isEnabled());
    f().Butt_pexor_set->click();
    EXPECT_TRUE(f().WriteTableActive);
    EXPECT_EQ(runPexor(), 2);
    EXPECT_EQ(commands(), (Strings {"DEL ENTR=1", "DEL ENTR=2"}));
    EXPECT_TRUE(f().Butt_pexor_set->isEnabled());

    clearTables();
    display.clearLog();
    f().UncheckPexorRow(2);
    beginRun();
    f().Butt_pexor_delpClick();
    EXPECT_EQ(display.commandCount(), 0u);
    ASSERT_NO_FATAL_FAILURE(tickPexor(Await::Nothing));
    ASSERT_TRUE(QTest::qWaitFor([&] { return display.commandCount() == 1; }, 10000));
    EXPECT_EQ(commands(), Strings {"SET DELP=1,0"});
    EXPECT_GT(runPexor(), 0);
    EXPECT_EQ(commands(), Strings {"SET DELP=1,0"});
}

TEST_F(DisplayMachine, StopUntickClearAndAnEmptiedAddress)
{
    startOn(Link::Serial);
    rows({"1", "2", "3"});
    f().CheckPexorRow(1);
    f().CheckPexorRow(3);
    beginRun();
    f().Butt_pexor_setClick();
    f().UncheckPexorRow(3);   // the next row is not visited
    for (int i = 0; i < 4; ++i)
        ASSERT_NO_FATAL_FAILURE(tickPexor());
    ASSERT_TRUE(display.waitForReplies(3, 10s));
    EXPECT_EQ(heads(), (Strings {"SET ENTR=1", "SET UNIT=1", "SET CONM=1"}));
    // Stop: the timer stops, the link goes, the step boxes stay.
    f().Butt_pexor_set->click();
    EXPECT_FALSE(f().WriteTableActive);
    EXPECT_FALSE(f().Timer_pexor->isActive());
    EXPECT_TRUE(released());
    EXPECT_FALSE(f().Check_pexor_unit->isChecked());
    EXPECT_TRUE(f().Check_pexor_multiplier->isChecked());

    // The only row's address emptied during a run: Stop still stops.
    rows({"1"});
    beginRun();
    f().Butt_pexor_setClick();
    pexor().setCell(1, 1, "");
    f().Butt_pexor_setClick();
    EXPECT_FALSE(f().WriteTableActive);

    // "Clear table" in the middle of a run: the run ends.
    rows({"1", "2", "3"});
    f().BitBtn8Click();
    ASSERT_TRUE(display.waitForReplies(display.commandCount(), 10s));
    beginRun();
    f().Butt_pexor_setClick();
    ASSERT_NO_FATAL_FAILURE(tickPexor());
    f().Butt_pexor_cleartable->click();
    // No row is left: the activation's tick and each further step's tick find none.
    EXPECT_EQ(runPexor(20, Await::Nothing), 10);
    EXPECT_FALSE(f().WriteTableActive);
}

TEST_F(DisplayMachine, TheModuleDroppedMidRunEndsTheRunWithTheItalianCaption)
{
    startOn(Link::Module);
    f().Italian1->trigger();
    rows({"1", "2"});
    f().BitBtn8Click();
    beginRun();
    f().Butt_pexor_setClick();
    EXPECT_EQ(f().Butt_pexor_set->text(), "Stop writing table in display");
    ASSERT_NO_FATAL_FAILURE(tickPexor());
    module->hangUp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f().Link.LanxpConnected; }, 10000));
    ASSERT_GT(runPexor(60, Await::Nothing), 0);
    EXPECT_TRUE(logged("Socket exception during setting Pexor parameters - not connected"));
    EXPECT_EQ(f().Butt_pexor_set->text(), "Invia tabella al Display");
    f().Butt_pexor_setClick();
    f().Butt_pexor_setClick();   // and after a stop
    EXPECT_EQ(f().Butt_pexor_set->text(), "Invia tabella al Display");
}

// --- the read ---

TEST_F(DisplayMachine, AStaleListIsNotTakenForTheAnswer)
{
    display.setEntry(2, {});
    startOn(Link::Serial);
    f().Butt_pexor_readClick();
    ASSERT_EQ(pexor().cell(1, 1), "2");
    display.addFault({Fault::Silent, "", "", -1, 0ms});
    f().Butt_pexor_readClick();
    EXPECT_EQ(logCount("Sorry, no active addresses in memory..."), 1u);
    EXPECT_EQ(pexor().RowCount(), 2);
    EXPECT_EQ(readings().RowCount(), 2);
    EXPECT_EQ(rowText(pexor(), 1), "|||||||||||||");
    EXPECT_EQ(readings().cell(1, 1), "");
    EXPECT_TRUE(released());
}

TEST_F(DisplayMachine, ATariffReplyIsNotTakenForTheNextOne)
{
    SimDisplayEntry e;
    e.start = {"1", "2", "3", "4"};
    e.total = {"10", "20", "30", "40"};
    display.setEntry(1, e);
    display.addFault({Fault::NoFinalCrLf, "GET TARR=", "", -1, 0ms});
    display.addFault({Fault::Err, "GET TARR=1,1", "", -1, 0ms});
    startOn(Link::Serial);
    f().Butt_pexor_readClick();
    EXPECT_EQ(pexor().cell(11, 1), "20 m3");
    EXPECT_EQ(pexor().cell(4, 1), "2");
    EXPECT_EQ(pexor().cell(12, 1), "");
    EXPECT_EQ(pexor().cell(5, 1), "");
    EXPECT_EQ(readings().cell(9, 1), "");
    EXPECT_EQ(pexor().cell(13, 1), "40");
}

TEST_F(DisplayMachine, ALateLastAnswerAndSplitReplies)
{
    SimDisplayEntry e;
    e.total = {"10", "20", "30", "40"};
    display.setEntry(1, e);
    display.setEntry(3, e);
    display.addFault({Fault::Late, "GET TARR=3,3", "", 1, std::chrono::milliseconds(Timeout * 2)});
    startOn(Link::Serial);
    f().Butt_pexor_readClick();
    EXPECT_EQ(pexor().cell(13, 1), "40");
    EXPECT_EQ(pexor().cell(13, 2), "");
    EXPECT_EQ(pexor().cell(6, 2), "");
    ASSERT_TRUE(display.waitForReplies(1 + 10, 10s));
    f().Butt_pexor_readClick();
    EXPECT_EQ(pexor().cell(13, 2), "40");
    EXPECT_EQ(pexor().cell(1, 3), "");   // no row made of the late answer
    EXPECT_EQ(pexor().RowCount(), 3);

    display.addFault({Fault::Split, "", "", -1, 40ms});
    f().Butt_pexor_readClick();
    EXPECT_EQ(pexor().cell(10, 2), "10");
    EXPECT_EQ(pexor().cell(12, 2), "30 m3");
    EXPECT_EQ(pexor().cell(7, 1), "1/1");
}

TEST_F(DisplayMachine, SplitRepliesOverTheModuleDecodeWhole)
{
    SimDisplayEntry e;
    e.userNumber = "0042";
    e.text = "split text";
    e.total = {"10", "20", "30", "40"};
    display.setEntry(6, e);
    display.addFault({Fault::Split, "", "", -1, 40ms});
    startOn(Link::Module);
    f().Butt_pexor_readClick();
    EXPECT_EQ(pexor().cell(1, 1), "6");
    EXPECT_EQ(pexor().cell(8, 1), "0042");
    EXPECT_EQ(pexor().cell(9, 1), "split text");
    EXPECT_EQ(pexor().cell(11, 1), "20 m3");
    EXPECT_TRUE(released());
}

TEST_F(DisplayMachine, NothingListeningForTheModuleSendsNothingUntilItListens)
{
    display.setEntry(8, {});
    const ClosedPort closed;   // nobody listens there
    ASSERT_NE(closed.port(), 0);
    startDisplay(DisplayLink::Module, 1, closed.port());
    pexor().setCell(1, 1, "keep");
    readings().setCell(1, 1, "keep");
    f().Butt_pexor_readClick();
    EXPECT_EQ(pexor().cell(1, 1), "keep");
    EXPECT_EQ(readings().cell(1, 1), "keep");
    EXPECT_FALSE(f().Link.LanxpConnected);

    module = std::make_unique<SimDisplayModule>();
    simAttachDisplay(*module, display);
    settings().Edit_lanxp_port->setText(QString::number(module->port()));
    f().Butt_pexor_readClick();
    EXPECT_EQ(pexor().cell(1, 1), "8");
    EXPECT_EQ(commands().front(), "GET ADDR");
}

TEST_F(DisplayMachine, AHangUpDuringAReadEndsIt)
{
    for (int a : {1, 2})
        display.setEntry(a, {});
    display.addFault({Fault::Drop, "GET ENTR=1,2", "", 1, 0ms});
    startOn(Link::Serial);
    f().Butt_pexor_readClick();
    EXPECT_TRUE(pty->hungUp());
    EXPECT_LT(display.commandCount(), 11u);
    EXPECT_FALSE(f().PortOpen);
    EXPECT_FALSE(f().linkBusy());
}

TEST_F(DisplayMachine, WithoutATestsPeerAReadWaitsItsTimeOutForTheList)
{
    display.setEntry(1, {});
    display.addFault({Fault::Silent, "", "", -1, 0ms});
    startOn(Link::Serial);
    peer.record(f());   // the questions are noted, the waits last their time
    const auto begin = std::chrono::steady_clock::now();
    f().Butt_pexor_readClick();
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(Timeout));
    ASSERT_EQ(peer.sent().size(), 1u);
    EXPECT_EQ(peer.sent()[0].frame, "GET ADDR");
    EXPECT_EQ(logCount("Sorry, no active addresses in memory..."), 1u);
}

TEST_F(DisplayMachine, GetInfoKeepsALastLineWithoutLineEnd)
{
    display.setEntry(1, {});
    display.addFault({Fault::NoFinalCrLf, "GET SERV", "", -1, 0ms});
    startOn(Link::Serial);
    f().Butt_pexor_info->click();
    f().Timer_pexor_info->stop();
    for (std::size_t n = 1; n <= 3; ++n) {
        ASSERT_TRUE(display.waitForReplies(n, 10s));
        ASSERT_TRUE(QTest::qWaitFor([&] { return f().Comm1.InQueCount() > 0; }, 10000));
        f().Timer_pexor_infoTimer();
    }
    EXPECT_EQ(commands(), (Strings {"GET MAIN", "GET SERV", "GET ADDR"}));
    const std::vector<std::string>& lines = f().Info.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Readings updated: 0"), lines.end());
    EXPECT_EQ(lines.back(), "Active devices: 1");
    EXPECT_TRUE(released());
}
