// One exchange at a time: the display's starts while meters are read, the meters' starts
// while the display is written, clicks and a close that come during a display read's wait,
// and stops, which are never refused. The line is the meter bus; a display that never
// answers is enough here.
#include "BlockingWait.h"
#include "BusHolder.h"
#include "DisplayAppFixture.h"
#include "StringGridView.h"
#include "TForm11.h"
#include "TelegramBuilder.h"
#include "WaitUntil.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

#include <memory>

namespace {

using namespace std::chrono_literals;
const char* const Busy = "Another exchange is running, please wait...";

std::size_t occurrences(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// A left click on the middle of a widget as the window system reports one: queued for the
// event loop, which defers it while it excludes user input, and delivered as spontaneous
// input through the widget's window. (QTest's clicks are delivered at once.)
void windowSystemClick(QWidget& widget)
{
    QWindow* window = widget.window()->windowHandle();
    ASSERT_NE(window, nullptr);
    const QPoint middle = widget.rect().center();
    const QPointF local = widget.mapTo(widget.window(), middle);
    const QPointF global = widget.mapToGlobal(middle);
    using Async = QWindowSystemInterface::AsynchronousDelivery;
    QWindowSystemInterface::handleMouseEvent<Async>(window, local, global, Qt::LeftButton, Qt::LeftButton,
                                                    QEvent::MouseButtonPress);
    QWindowSystemInterface::handleMouseEvent<Async>(window, local, global, Qt::NoButton, Qt::LeftButton,
                                                    QEvent::MouseButtonRelease);
}

class DisplayGuard : protected BusHolder, public DisplayAppFixture {
protected:
    DisplayGuard()
    {
        BusSimulatorOptions options;
        options.programFolder = folder();
        bus = std::make_unique<BusSimulator>(options);
        bus->start();
        bus->addMeter(SimMeter(5, "00000005", "EMH", 1, 0x04, hexBytes("0C 06 27 04 00 00")));
    }
    TForm11& f() { return form11(); }
    void tables()
    {
        StringGrid& meters = f().Grid_vantrel->grid();
        meters.setRowCount(3);
        meters.setCell(1, 1, "5");
        meters.selectRow(1);
        pexor().setCell(1, 1, "7");
        f().CheckPexorRow(1);
    }
    std::string received() { return bus->receivedBytes(); }
};

} // namespace

TEST_F(DisplayGuard, DuringAReadOfAllMetersTheDisplayStartsNothing)
{
    startDisplay(DisplayLink::Serial, 0);
    tables();
    f().Butt_readall->click();
    ASSERT_TRUE(bus->waitForFrames(1, 5s));
    ASSERT_TRUE(f().Timer_readall->isActive());
    for (QPushButton* b : {f().Butt_pexor_set, f().Butt_pexor_read, f().BitBtn11, f().Butt_pexor_delete,
                           f().Butt_pexor_delp, f().BitBtn15, f().BitBtn16, f().Butt_pexor_info, f().BitBtn18,
                           f().Butt_get_historical, f().BitBtn13})
        b->click();
    EXPECT_EQ(logCount(Busy), 11u);
    EXPECT_FALSE(f().WriteTableActive);
    EXPECT_FALSE(f().TimePending);
    // "Read all meters" again starts that read again.
    f().Butt_readall->click();
    EXPECT_EQ(logCount(Busy), 11u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f().Timer_readall->isActive(); }, 10000));
    EXPECT_EQ(received().find("SET "), std::string::npos);
    EXPECT_EQ(received().find("GET "), std::string::npos);
    EXPECT_EQ(bus->frameCount(), 2u);
}

TEST_F(DisplayGuard, DuringAWriteRunTheMetersStartNothingAndTheStopIsNeverRefused)
{
    startDisplay(DisplayLink::Serial, 0);
    tables();
    f().Butt_pexor_set->click();
    ASSERT_TRUE(f().WriteTableActive);
    f().Timer_pexor->stop();
    ASSERT_TRUE(waitUntil([&] { return received().find("SET ENTR=7") != std::string::npos; }));
    f().Butt_readonce->click();
    f().Butt_readall->click();
    f().Butt_find_primary->click();
    f().Butt_get_historical->click();
    // The searches by ID, automatic addressing and the meter commands.
    f().Edit_id->setText("00000005");
    f().Butt_find_idClick();
    f().Butt_find_allClick();
    f().BitBtn21Click();
    f().Butt_resetClick();
    f().Butt_set_baudClick();
    f().Butt_set_addressClick();
    // A custom command: a read request in hex.
    f().Check_hex->setChecked(true);
    f().Edit_command->setText("10 7B 05 80 16");
    f().Butt_command_send->click();
    EXPECT_EQ(logCount(Busy), 11u);
    EXPECT_FALSE(f().Timer_free_command->isActive());
    EXPECT_EQ(bus->frameCount(), 0u);
    EXPECT_FALSE(f().AutoAddressing);

    // Another exchange holding the link does not keep the write from stopping.
    f().Timer_respond->start(3600 * 1000);
    f().Butt_pexor_set->click();
    f().Timer_respond->stop();
    f().Edit_timeoutChange();
    EXPECT_FALSE(f().WriteTableActive);
    EXPECT_FALSE(f().PortOpen);
    EXPECT_EQ(f().Butt_pexor_set->text(), "Write table to the display");
    f().Butt_readonce->click();
    EXPECT_TRUE(bus->waitForFrames(1, 5s));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f().Timer_respond->isActive(); }, 10000));
}

TEST_F(DisplayGuard, WhileADisplayCommandWaitsForItsReplyACustomCommandSendsNothing)
{
    startDisplay(DisplayLink::Serial, 0);
    f().PageControl1->setCurrentWidget(f().TabSheet3);   // ASCII
    f().Edit_command->setText("GET MAIN");
    f().BitBtn11->click();
    ASSERT_TRUE(f().Timer_free_command->isActive());
    f().Butt_command_send->click();
    EXPECT_EQ(logCount(Busy), 1u);
    // The time follows the date's reply, and its reply ends the exchange.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f().TimePending && !f().linkBusy(); }, 10000));
    ASSERT_TRUE(waitUntil([&] { return received().find("SET TIME=09:07") != std::string::npos; }));
    EXPECT_EQ(received().find("GET MAIN"), std::string::npos);

    // A custom command's own reply display takes a second one.
    f().Butt_command_send->click();
    ASSERT_TRUE(f().Timer_free_command->isActive());
    f().Butt_command_send->click();
    EXPECT_EQ(logCount(Busy), 1u);
    EXPECT_TRUE(waitUntil([&] { return occurrences(received(), "GET MAIN") == 2; }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f().linkBusy(); }, 10000));
}

TEST_F(DisplayGuard, AClickInsideAReadsWaitStartsNothing)
{
    startDisplay(DisplayLink::Serial, 0);
    tables();
    f().PageControl1->setCurrentWidget(f().TabSheet3);
    bool insideWait = false;
    QTimer::singleShot(0, &f(), [&] {
        insideWait = BlockingWaitBusy();
        QTest::mouseClick(f().Butt_pexor_read, Qt::LeftButton);
        QTest::mouseClick(f().Butt_pexor_set, Qt::LeftButton);
        QTest::mouseClick(f().Butt_readonce, Qt::LeftButton);
    });
    f().Butt_pexor_readClick();
    ASSERT_TRUE(insideWait);
    EXPECT_EQ(logCount(Busy), 3u);
    EXPECT_TRUE(logged("Sorry, no active addresses in memory..."));
    EXPECT_EQ(occurrences(received(), "GET ADDR"), 1u);
    EXPECT_EQ(bus->frameCount(), 0u);
    EXPECT_FALSE(f().WriteTableActive);
    EXPECT_FALSE(f().PortOpen);
    EXPECT_FALSE(f().linkBusy());
}

TEST_F(DisplayGuard, AWindowSystemClickDuringAReadsWaitIsDroppedWithTheRead)
{
    startDisplay(DisplayLink::Serial, 0);
    f().PageControl1->setCurrentWidget(f().TabSheet3);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f()));
    // "Date and Time": a display command that needs nothing of the tables.
    const QSignalSpy clicks(f().BitBtn11, &QPushButton::clicked);
    bool insideWait = false;
    QTimer::singleShot(0, &f(), [&] {
        insideWait = BlockingWaitBusy();
        windowSystemClick(*f().BitBtn11);
    });
    f().Butt_pexor_readClick();
    ASSERT_TRUE(insideWait);
    EXPECT_TRUE(logged("Sorry, no active addresses in memory..."));
    // The window's events run on: a click the read held back would arrive now.
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_FALSE(logged(Busy));
    EXPECT_FALSE(logged("Setting date of Pexor-V48..."));
    EXPECT_FALSE(f().TimePending);
    EXPECT_FALSE(f().linkBusy());

    // The same click after the read starts the command. Input is delivered in its order:
    // once this one has come, no earlier one is still on its way.
    windowSystemClick(*f().BitBtn11);
    ASSERT_TRUE(QTest::qWaitFor([&] { return clicks.count() > 0; }, 10000));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(logCount("Setting date of Pexor-V48..."), 1u);
    EXPECT_FALSE(logged(Busy));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f().linkBusy(); }, 10000));
    EXPECT_EQ(occurrences(received(), "SET DATE="), 1u);
}

TEST_F(DisplayGuard, ACloseInsideAReadsWaitTakesEffectAfterTheRead)
{
    startDisplay(DisplayLink::Serial, 0);
    bool insideWait = false;
    QTimer::singleShot(0, &f(), [&] {
        insideWait = BlockingWaitBusy();
        f().close();
    });
    f().Butt_pexor_readClick();
    ASSERT_TRUE(insideWait);
    const bool closedDuringRead = !f().isVisible();
    EXPECT_FALSE(closedDuringRead);
    EXPECT_TRUE(logged("Sorry, no active addresses in memory..."));
    EXPECT_EQ(quitRequests, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f().isVisible(); }, 10000));
    static_cast<void>(QTest::qWaitFor([&] { return quitRequests == 1; }, 10000)); // the check below shows the values
    ASSERT_EQ(quitRequests, 1);
}
