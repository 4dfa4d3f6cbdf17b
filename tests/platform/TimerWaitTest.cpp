#include "BlockingWait.h"
#include "EnableTimer.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

TEST(EnableTimer, StartsAStoppedTimerAndLeavesARunningOneAlone)
{
    QTimer timer;
    timer.setInterval(60000);
    enableTimer(timer);
    ASSERT_TRUE(timer.isActive());
    // Wait until the timer has visibly run down a little, then enable it again: a restart
    // would put its remaining time back to the full interval.
    ASSERT_TRUE(QTest::qWaitFor([&] { return timer.remainingTime() < 59950; }, 5000));
    const int before = timer.remainingTime();
    enableTimer(timer);
    EXPECT_TRUE(timer.isActive());
    EXPECT_LE(timer.remainingTime(), before);
    EXPECT_EQ(timer.interval(), 60000);
}

TEST(BlockingWait, WaitsAtLeastItsTimeWhileEventsRunAndIsBusy)
{
    EXPECT_FALSE(BlockingWaitBusy());
    int ticks = 0;
    bool busyInside = false;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        busyInside = BlockingWaitBusy();
    });
    ticker.start();
    QElapsedTimer clock;
    clock.start();
    BlockingWait(60);
    EXPECT_GE(clock.elapsed(), 59);
    EXPECT_GT(ticks, 0);   // timers and other events ran during the wait
    EXPECT_TRUE(busyInside);
    EXPECT_FALSE(BlockingWaitBusy());
}

TEST(BlockingWait, NestedWaitsStayBusyUntilTheOuterEnds)
{
    std::vector<bool> busy;
    QTimer::singleShot(0, [&] {
        BlockingWait(5);
        busy.push_back(BlockingWaitBusy());   // back in the outer wait
    });
    BlockingWait(40);
    ASSERT_EQ(busy.size(), 1u);
    EXPECT_TRUE(busy[0]);
    EXPECT_FALSE(BlockingWaitBusy());
    QElapsedTimer clock;
    clock.start();
    BlockingWait(0);
    BlockingWait(-5);   // no wait at all, and no hang
    EXPECT_LT(clock.elapsed(), 5000);
}
