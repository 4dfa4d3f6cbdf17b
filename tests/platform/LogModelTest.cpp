#include "LogModel.h"

#include <gtest/gtest.h>

#include <vector>

TEST(LogModel, SplitsOnlyAtCrLf)
{
    LogModel log;
    log.add("a\r\nb");
    log.add("a\rb\nc");
    ASSERT_EQ(log.count(), 3u);
    EXPECT_EQ(log.line(0), "a");
    EXPECT_EQ(log.line(1), "b");
    EXPECT_EQ(log.line(2), "a\rb\nc");
}

TEST(LogModel, TrailingCrLfAndEmptyTextLeaveEmptyLines)
{
    LogModel log;
    log.add("x\r\n");
    ASSERT_EQ(log.count(), 2u);
    EXPECT_EQ(log.line(0), "x");
    EXPECT_EQ(log.line(1), "");
    log.add("");
    EXPECT_EQ(log.count(), 3u);
    log.add("\r\n\r\n");
    EXPECT_EQ(log.count(), 6u);
}

TEST(LogModel, LinePastTheEndIsEmpty)
{
    LogModel log;
    EXPECT_EQ(log.line(0), "");
    log.add("only");
    EXPECT_EQ(log.line(1), "");
    EXPECT_EQ(log.line(1000000), "");
}

TEST(LogModel, KeepsEveryByte)
{
    LogModel log;
    std::string all;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n')
            all.push_back(static_cast<char>(b));
    log.add(all);
    ASSERT_EQ(log.count(), 1u);
    EXPECT_EQ(log.line(0), all);
}

TEST(LogModel, ClearRemovesEveryLineAndTellsTheListener)
{
    LogModel log;
    struct Event { LogModel::Change change; std::size_t first, count; };
    std::vector<Event> events;
    log.setListener([&](LogModel::Change c, std::size_t f, std::size_t n) { events.push_back({c, f, n}); });
    log.add("");
    log.add("one\r\ntwo");
    log.clear();
    EXPECT_EQ(log.count(), 0u);
    log.add("next");
    EXPECT_EQ(log.line(0), "next");
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[1].change, LogModel::Change::Appended);
    EXPECT_EQ(events[1].first, 1u);
    EXPECT_EQ(events[1].count, 2u);
    EXPECT_EQ(events[2].change, LogModel::Change::Cleared);
    EXPECT_EQ(events[3].first, 0u);
}
