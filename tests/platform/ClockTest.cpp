#include "ClockQt.h"
#include "FakeClock.h"

#include <gtest/gtest.h>

#include <QDateTime>

TEST(Clock, TheSystemClockIsTheLocalTime)
{
    // Qt's own reading of the local time brackets ours to the millisecond.
    const QDateTime before = QDateTime::currentDateTime();
    const LocalDateTime now = systemClock().now();
    const QDateTime after = QDateTime::currentDateTime();
    const QDateTime got = toQDateTime(now);
    ASSERT_TRUE(got.isValid());
    EXPECT_GE(before.msecsTo(got), 0) << got.toString(Qt::ISODateWithMs).toStdString();
    EXPECT_GE(got.msecsTo(after), 0) << got.toString(Qt::ISODateWithMs).toStdString();
}

TEST(Clock, QtValuesOfAReading)
{
    FakeClock clock({2024, 2, 29, 23, 59, 58, 123});
    EXPECT_EQ(toQDate(clock.now()), QDate(2024, 2, 29));
    EXPECT_EQ(toQTime(clock.now()), QTime(23, 59, 58, 123));
    clock.set({1999, 12, 31, 0, 0, 0, 0});
    EXPECT_EQ(toQDateTime(clock.now()), QDateTime(QDate(1999, 12, 31), QTime(0, 0)));
    const Clock& asClock = clock;
    EXPECT_EQ(asClock.now(), (LocalDateTime{1999, 12, 31, 0, 0, 0, 0}));
}
