// The display's commands on its four links: date and time, refresh, sort, and the round trip
// of the table (fill, write, read back, delete, zero) on the pty, the display's Ethernet
// module, a gateway server and a gateway that called in.
#include "DisplayAppFixture.h"
#include "StringGridView.h"
#include "TForm11.h"
#include "TSettings.h"
#include "TtyState.h"
#include "UpDownEdit.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

namespace {

using namespace std::chrono_literals;
using Link = DisplayAppFixture::DisplayLink;
using Strings = std::vector<std::string>;

class DisplayCommands : public DisplayAppFixture {
protected:
    TForm11& f() { return form11(); }
    // The reply timer has run and the exchange is over.
    bool exchangeOver() { return QTest::qWaitFor([&] { return !f().Timer_free_command->isActive() && released(); }, 10000); }
    std::vector<SimLogEntry> textPackets()
    {
        std::vector<SimLogEntry> out;
        for (const SimLogEntry& e : gateway->packets())
            if (e.isPacket(simeth::textBody))
                out.push_back(e);
        return out;
    }
};

} // namespace

TEST_F(DisplayCommands, DateThenTimeOneTimeOutLaterOnThePty)
{
    startOn(Link::Serial);
    f().PageControl1->setCurrentWidget(f().TabSheet3);   // the replies shown as text
    f().BitBtn11->click();
    EXPECT_TRUE(f().TimePending);
    ASSERT_TRUE(exchangeOver());
    EXPECT_EQ(commands(), (Strings {"SET DATE=05/03/26", "SET TIME=09:07"}));
    EXPECT_EQ(display.settings().date, "05/03/26");
    EXPECT_EQ(display.settings().time, "09:07");
    // The time goes out one time-out after the date, timed where the program sends it.
    const auto date = peer.firstSent("SET DATE=05/03/26"), time = peer.firstSent("SET TIME=09:07");
    ASSERT_NE(time, PeerWaits::Clock::time_point::max());
    EXPECT_GE(time - date, std::chrono::milliseconds(Timeout - 30));
    EXPECT_EQ(logCount("Setting date of Pexor-V48..."), 1u);
    EXPECT_EQ(logCount("Setting time of Pexor-V48..."), 1u);
    EXPECT_EQ(logCount("OK"), 2u);   // each reply, shown as text
    EXPECT_FALSE(f().TimePending);
}

TEST_F(DisplayCommands, ADateThatCannotGoOutLeavesNoTimePending)
{
    startOn(Link::Serial);
    LockHolder other(pty->slavePath());
    f().BitBtn11->click();
    EXPECT_FALSE(f().TimePending);
    EXPECT_FALSE(logged("Setting date of Pexor-V48..."));
    EXPECT_FALSE(f().Timer_free_command->isActive());
    other.release();
    // A custom command afterwards is not followed by the time.
    f().Check_ascii->setChecked(true);
    f().Edit_command->setText("GET MAIN");
    f().Butt_command_send->click();
    ASSERT_TRUE(exchangeOver());
    EXPECT_EQ(commands(), Strings {"GET MAIN"});
}

TEST_F(DisplayCommands, DateAndTimeOverTheModule)
{
    startOn(Link::Module);
    f().BitBtn11Click();
    ASSERT_TRUE(exchangeOver());
    EXPECT_EQ(commands(), (Strings {"SET DATE=05/03/26", "SET TIME=09:07"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return module->connectionCount() == 0; }, 10000));
}

TEST_F(DisplayCommands, RefreshTimeAndTheSortBoxes)
{
    startOn(Link::Serial);
    EXPECT_EQ(f().Edit_pexor_refresh->text(), "4");
    f().Butt_pexor_refresh->click();
    ASSERT_TRUE(exchangeOver());
    // The display has read the first command off its line before the second goes out: read
    // together, they would be one burst to it.
    ASSERT_TRUE(display.waitForCommands(1, 10s));
    f().UD_pexor_refresh->setValue(13);
    EXPECT_EQ(f().UD_pexor_refresh->value(), 12);
    f().Butt_pexor_refresh->click();
    ASSERT_TRUE(exchangeOver());
    EXPECT_EQ(commands(), (Strings {"SET REFR=04", "SET REFR=12"}));
    EXPECT_EQ(logCount("Setting refresh time of Pexor-V48..."), 2u);

    f().Check_sort_address->setChecked(true);
    EXPECT_FALSE(f().Check_sort_user->isChecked());
    f().Check_sort_address->setChecked(false);
    EXPECT_TRUE(f().Check_sort_user->isChecked());
    f().Check_sort_user->setChecked(false);
    EXPECT_TRUE(f().Check_sort_address->isChecked());
    f().BitBtn16->click();
    EXPECT_TRUE(f().Check_sort_user->isChecked());
    EXPECT_FALSE(f().Check_sort_address->isChecked());
    ASSERT_TRUE(exchangeOver());
    EXPECT_EQ(commands().back(), "SET SRTP=1");
}

TEST_F(DisplayCommands, GatewayServerCarriesTheSortTheDateAndTheTimeAsPackets)
{
    startOn(Link::GatewayServer);
    f().BitBtn15->click();
    EXPECT_FALSE(f().Timer_free_command->isActive());
    EXPECT_TRUE(f().Link.TovekClientConnected);   // "SET SORT" leaves the link as it is
    f().BitBtn16->click();
    ASSERT_TRUE(exchangeOver());
    f().BitBtn11->click();
    ASSERT_TRUE(exchangeOver());
    ASSERT_TRUE(gateway->waitForPackets(4, 10s));
    const std::vector<SimLogEntry> packets = textPackets();
    ASSERT_EQ(packets.size(), 4u);
    EXPECT_EQ(packets[0].packet->payload, "SET SORT");
    EXPECT_EQ(packets[1].packet->payload, "SET SRTP=1");
    EXPECT_EQ(packets[2].packet->payload, "SET DATE=05/03/26");
    EXPECT_EQ(packets[3].packet->payload, "SET TIME=09:07");
    EXPECT_LT(packets[0].packet->packetNo, packets[1].packet->packetNo);
    EXPECT_EQ(logCount("Creating sort table in Pexor-V48, please wait..."), 1u);
    EXPECT_EQ(logCount("Sorting Pexor-V48 by user number..."), 1u);
    EXPECT_EQ(display.settings().sortTables, 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return gateway->connectionCount() == 0; }, 10000));
}

// --- the round trip on each link ---

namespace {

class DisplayRoundTrip : public DisplayCommands, public ::testing::WithParamInterface<Link> {
protected:
    void meter(int row, const char* address, const char* value, const char* unit, const char* model)
    {
        StringGrid& meters = f().Grid_vantrel->grid();
        meters.setRowCount(row + 2);
        meters.setCell(1, row, address);
        meters.setCell(3, row, value);
        meters.setCell(4, row, unit);
        meters.setCell(9, row, model);
    }
    // The run on its own timer on the pty; on the other links tick by tick, each tick once
    // the reply has come.
    void runAndWait(QPushButton* button)
    {
        beginRun();
        button->click();
        ASSERT_TRUE(f().WriteTableActive);
        if (GetParam() == Link::Serial)
            ASSERT_TRUE(QTest::qWaitFor([&] { return !f().WriteTableActive; }, 60000 * SlowBuildFactor));
        else
            ASSERT_GT(runPexor(), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return released(); }, 10000));
    }
    void linkReleased()
    {
        EXPECT_TRUE(released());
        if (GetParam() == Link::CallingIn) {
            EXPECT_TRUE(f().Link.ClientOnListen);   // the listening link stays
        }
    }
};

} // namespace

TEST_P(DisplayRoundTrip, FillWriteReadDeleteZero)
{
    ASSERT_NO_FATAL_FAILURE(startOn(GetParam()));
    meter(1, "1", "12.34", "m3", "TX1");
    meter(2, "2", "1234567.8", "kWh", "TX2");
    meter(3, "3", "0", "MJ", "ABC");
    f().BitBtn1Click();
    const std::string long25 = "abcdefghijklmnopqrstuvwxy";
    pexor().setCell(9, 1, "Flat 1");
    pexor().setCell(9, 2, long25);
    pexor().setCell(9, 3, "x");
    f().BitBtn8Click();
    runAndWait(f().Butt_pexor_set);
    ASSERT_EQ(display.addresses(), (std::vector<int> {1, 2, 3}));
    const auto entry = [&](int a) { return *display.entry(a); };
    EXPECT_EQ(entry(1).unit, "2");
    EXPECT_EQ(entry(2).unit, "1");
    EXPECT_EQ(entry(3).unit, "4");
    EXPECT_EQ(entry(2).multiplier, "10");
    EXPECT_EQ(entry(3).divider, "0");
    EXPECT_EQ(entry(1).start, (std::array<std::string, 4> {"12.3", "0.0", "0.0", "0.0"}));
    EXPECT_EQ(entry(2).start[0], "1234567.8");
    EXPECT_EQ(entry(3).start[0], "0.0");
    EXPECT_EQ(entry(1).userNumber, "1");
    EXPECT_EQ(entry(3).userNumber, "3");
    EXPECT_EQ(entry(1).text, "Flat 1");
    EXPECT_EQ(entry(2).text, long25.substr(0, 20));
    EXPECT_EQ(f().Butt_pexor_set->text(), "Write table to the display");

    // The display's totals, then everything read back into empty tables.
    for (int a : {1, 2, 3}) {
        SimDisplayEntry e = entry(a);
        e.total = {std::to_string(a) + "00.5", std::to_string(a) + "1", std::to_string(a) + "2", std::to_string(a) + "3"};
        display.setEntry(a, e);
    }
    std::vector<std::string> written;
    for (int r = 1; r <= 3; ++r) {
        std::string cells;
        for (int c = 1; c <= 9; ++c)
            cells += pexor().cell(c, r) + "|";
        written.push_back(cells);
    }
    written[1] = "2|kWh|1234567.8|0.0|0.0|0.0|10/1|2|" + long25.substr(0, 20) + "|";
    f().Butt_pexor_cleartableClick();
    f().Butt_pexor_read->click();
    linkReleased();
    ASSERT_EQ(pexor().RowCount(), 4);
    ASSERT_EQ(readings().RowCount(), 4);
    for (int r = 1; r <= 3; ++r) {
        std::string cells;
        for (int c = 1; c <= 9; ++c)
            cells += pexor().cell(c, r) + "|";
        EXPECT_EQ(cells, written[static_cast<std::size_t>(r - 1)]) << "row " << r;
        const std::string a = std::to_string(r);
        EXPECT_EQ(pexor().cell(10, r), a + "00.5");
        EXPECT_EQ(pexor().cell(11, r), a + "1 m3");
        EXPECT_EQ(pexor().cell(12, r), a + "2 m3");
        EXPECT_EQ(pexor().cell(13, r), a + "3");
        EXPECT_EQ(rowText(readings(), r).substr(0, rowText(readings(), r).find("||||||||||||")),
                  "|" + a + "|" + pexor().cell(2, r) + "|" + pexor().cell(3, r) + "|" + pexor().cell(7, r) + "|"
                      + pexor().cell(8, r) + "|" + pexor().cell(9, r) + "|" + a + "00.5|" + a + "1|" + a + "2");
    }

    // Delete row 2, zero row 1, read again.
    f().BitBtn9Click();
    f().CheckPexorRow(2);
    runAndWait(f().Butt_pexor_delete);
    f().BitBtn9Click();
    f().CheckPexorRow(1);
    runAndWait(f().Butt_pexor_delp);
    EXPECT_EQ(display.addresses(), (std::vector<int> {1, 3}));
    f().Butt_pexor_readClick();
    linkReleased();
    ASSERT_EQ(pexor().RowCount(), 3);
    EXPECT_EQ(pexor().cell(1, 1), "1");
    EXPECT_EQ(pexor().cell(1, 2), "3");
    for (int c : {3, 4, 5, 6})
        EXPECT_EQ(pexor().cell(c, 1), "0") << c;
    EXPECT_EQ(pexor().cell(3, 2), "0.0");
}

INSTANTIATE_TEST_SUITE_P(Links, DisplayRoundTrip,
                         ::testing::Values(Link::Serial, Link::Module, Link::GatewayServer, Link::CallingIn),
                         [](const ::testing::TestParamInfo<Link>& info) {
                             switch (info.param) {
                             case Link::Serial:
                                 return "Pty";
                             case Link::Module:
                                 return "Module";
                             case Link::GatewayServer:
                                 return "GatewayServer";
                             case Link::CallingIn:
                                 return "CallingIn";
                             }
                             return "";
                         });
