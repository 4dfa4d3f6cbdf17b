// ProcessMeterReply: the log lines, the kept header and record table, and the step after it.
#include "LogModel.h"
#include "MeterReply.h"
#include "TelegramBuilder.h"

#include <gtest/gtest.h>

namespace {

struct RecordingStep : MeterReplyStep {
    int calls = 0;
    bool lastReportMode = false;
    std::string idSeen;
    std::size_t rowsSeen = 0;
    void afterValidReply(MeterReplyState& state, bool fullReportMode) override
    {
        ++calls;
        lastReportMode = fullReportMode;
        idSeen = state.header.id;
        rowsSeen = state.GridFullTelegram.size();
    }
};

std::string meterTelegram(const std::string& id, const std::string& records)
{
    TelegramHeader h;
    h.id = id;
    h.address = 3;
    return telegram(h, hexBytes(records));
}

TEST(ProcessMeterReplyLog, ValidReplyLogsOnlyItsBytes)
{
    LogModel log;
    MeterReplyState state;
    RecordingStep step;
    const std::string reply = meterTelegram("12345678", "04 13 39 30 00 00 02 6C 41 3C");
    EXPECT_TRUE(ProcessMeterReply(log, reply, false, '.', state, &step));
    ASSERT_EQ(log.count(), 1u);
    EXPECT_EQ(log.line(0), "Respond: " + spacedHex(reply));
    EXPECT_EQ(log.line(0).back(), ' ');
    EXPECT_EQ(log.line(0).substr(0, 21), "Respond: 68 19 19 68 ");

    EXPECT_EQ(state.header.id, "12345678");
    EXPECT_EQ(state.header.primaryAddress, 3);
    ASSERT_EQ(state.GridFullTelegram.size(), 3u);
    EXPECT_EQ(state.GridFullTelegram[0].cells[ColValue], "12.345");
    EXPECT_EQ(state.GridFullTelegram[1].cells[ColValue], "1.12.26");
    for (const auto& cell : state.GridFullTelegram[2].cells)
        EXPECT_EQ(cell, "");
    EXPECT_EQ(state.GridFullTelegram[2].reportLine(), "");

    EXPECT_EQ(step.calls, 1);
    EXPECT_EQ(step.idSeen, "12345678");
    EXPECT_EQ(step.rowsSeen, 3u);
    EXPECT_FALSE(step.lastReportMode);
}

TEST(ProcessMeterReplyLog, BrokenReplyLogsItsFailuresAndKeepsTheTable)
{
    LogModel log;
    MeterReplyState state;
    RecordingStep step;
    ASSERT_TRUE(ProcessMeterReply(log, meterTelegram("11111111", "04 13 39 30 00 00"), false, '.', state, &step));

    std::string broken = meterTelegram("22222222", "04 13 01 00 00 00 04 13 02 00 00 00");
    broken[broken.size() - 2] = static_cast<char>(broken[broken.size() - 2] ^ 0x01);
    broken.back() = 0x10;
    EXPECT_FALSE(ProcessMeterReply(log, broken, true, '.', state, &step));
    ASSERT_EQ(log.count(), 4u);
    EXPECT_EQ(log.line(1), "Respond: " + spacedHex(broken));
    EXPECT_EQ(log.line(2), "Wrong CRC");
    EXPECT_EQ(log.line(3), "Wrong STOP byte");

    EXPECT_EQ(step.calls, 1);
    EXPECT_EQ(state.header.id, "11111111");
    ASSERT_EQ(state.GridFullTelegram.size(), 2u);
    EXPECT_EQ(state.GridFullTelegram[0].cells[ColValue], "12.345");
}

TEST(ProcessMeterReplyLog, ShortAndEmptyRepliesLogOnlyTheRespondLine)
{
    LogModel log;
    MeterReplyState state;
    RecordingStep step;
    EXPECT_FALSE(ProcessMeterReply(log, "", false, '.', state, &step));
    EXPECT_FALSE(ProcessMeterReply(log, hexBytes("E5"), false, '.', state, &step));
    EXPECT_FALSE(ProcessMeterReply(log, hexBytes("68 01 01 68 08 01 16"), false, '.', state, &step));
    EXPECT_FALSE(ProcessMeterReply(log, hexBytes("68 04 04 68 08 01 70 08 81 16"), false, '.', state, &step));
    ASSERT_EQ(log.count(), 4u);
    EXPECT_EQ(log.line(0), "Respond: ");
    EXPECT_EQ(log.line(1), "Respond: E5 ");
    EXPECT_EQ(log.line(2), "Respond: 68 01 01 68 08 01 16 ");
    EXPECT_EQ(log.line(3), "Respond: 68 04 04 68 08 01 70 08 81 16 ");
    EXPECT_EQ(step.calls, 0);
    EXPECT_TRUE(state.GridFullTelegram.empty());
}

TEST(ProcessMeterReplyLog, ReportModeReachesTheStepAndTheStatus)
{
    LogModel log;
    MeterReplyState state;
    RecordingStep step;
    TelegramHeader h;
    h.manufacturer = "QVX";
    h.status = 0xC4;
    const std::string reply = telegram(h, "");
    EXPECT_TRUE(ProcessMeterReply(log, reply, false, '.', state, &step));
    EXPECT_EQ(state.header.status, "QBV");
    ASSERT_EQ(state.GridFullTelegram.size(), 1u); // no record, the empty row only
    EXPECT_TRUE(ProcessMeterReply(log, reply, true, '.', state, &step));
    EXPECT_EQ(state.header.status, "0xC4");
    EXPECT_TRUE(step.lastReportMode);
    EXPECT_EQ(step.calls, 2);

    // without a following step the state is kept all the same
    MeterReplyState alone;
    EXPECT_TRUE(ProcessMeterReply(log, meterTelegram("87654321", "04 13 39 30 00 00"), false, ',', alone));
    EXPECT_EQ(alone.header.id, "87654321");
    EXPECT_EQ(alone.GridFullTelegram[0].cells[ColValue], "12,345");
}

} // namespace
