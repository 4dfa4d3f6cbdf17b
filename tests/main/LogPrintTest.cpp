#include "LogPrint.h"
#include "RecordingPrintDevice.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Kind = RecordingPrintDevice::Kind;

std::vector<std::string> logLines(int n)
{
    std::vector<std::string> lines;
    for (int i = 0; i < n; ++i)
        lines.push_back("line " + std::to_string(i));
    return lines;
}

// A clock text that changes with every reading, so each header shows whether it read anew.
struct TickingClock {
    int reads = 0;
    std::string operator()() { return "01.02.2024, 10:11:" + std::to_string(10 + ++reads); }
};

PrintResult print(RecordingPrintDevice& device, int lines, TickingClock& clock)
{
    return printLog(device, logLines(lines), [&clock] { return clock(); });
}

TEST(LogPrint, PageBreaks)
{
    // The first page holds lines 0 to 35, every later one the next 35.
    struct Case {
        int lines;
        std::vector<int> linesPerPage;
    };
    const Case cases[] = {
        {0, {0}}, {1, {1}}, {35, {35}}, {36, {36, 0}}, {37, {36, 1}},
        {71, {36, 35, 0}}, {72, {36, 35, 1}},
    };
    for (const Case& c : cases) {
        RecordingPrintDevice device;
        TickingClock clock;
        ASSERT_EQ(print(device, c.lines, clock), PrintResult::Printed) << c.lines << " lines";
        const auto pages = device.pages();
        ASSERT_EQ(pages.size(), c.linesPerPage.size()) << c.lines << " lines";
        int next = 0;
        for (std::size_t p = 0; p < pages.size(); ++p) {
            // Every page: the header first, with the time read for that page, then its lines.
            ASSERT_EQ(pages[p].size(), static_cast<std::size_t>(c.linesPerPage[p]) + 1);
            EXPECT_EQ(pages[p][0].text,
                      "Print of log file 01.02.2024, 10:11:" + std::to_string(11 + p));
            for (std::size_t k = 1; k < pages[p].size(); ++k)
                EXPECT_EQ(pages[p][k].text, "line " + std::to_string(next++));
        }
        EXPECT_EQ(next, c.lines);
        EXPECT_EQ(clock.reads, static_cast<int>(pages.size()));
        EXPECT_EQ(device.events.front().kind, Kind::Begin);
        EXPECT_EQ(device.events.back().kind, Kind::End);
        EXPECT_EQ(device.count(Kind::End), 1u);
        EXPECT_EQ(device.count(Kind::Abort), 0u);
    }
}

TEST(LogPrint, PositionsOnTheMillimetreGrid)
{
    struct Case {
        int width, height, lineHeight;
        int x, headerY, firstY;
    };
    const Case cases[] = {
        {2100, 2970, 7, 220, 200, 300},   // u = v = 10
        {8976, 13699, 141, 924, 920, 1380}, // A4 at 1200 dpi inside 10 mm margins: u 42, v 46
        {4961, 7016, 50, 506, 460, 690},  // u = v = 23 (divisions cut)
        {209, 296, 5, 0, 0, 0},           // smaller than the grid: everything at the corner
    };
    for (const Case& c : cases) {
        RecordingPrintDevice device;
        device.width = c.width;
        device.height = c.height;
        device.lineHeight = c.lineHeight;
        TickingClock clock;
        ASSERT_EQ(print(device, 37, clock), PrintResult::Printed);
        const auto pages = device.pages();
        ASSERT_EQ(pages.size(), 2u);
        for (const auto& page : pages) {
            EXPECT_EQ(page[0].y, c.headerY) << c.width << "x" << c.height;
            for (const auto& text : page)
                EXPECT_EQ(text.x, c.x) << text.text;
        }
        const int step = 2 * c.lineHeight;
        EXPECT_EQ(pages[0][1].y, c.firstY);                // line 0
        EXPECT_EQ(pages[0][2].y, c.firstY + step);         // line 1
        EXPECT_EQ(pages[0][36].y, c.firstY + 35 * step);   // line 35, last of page one
        EXPECT_EQ(pages[1][1].y, c.firstY + step);         // line 36, one step below the start
    }
}

TEST(LogPrint, FailureToBeginPrintsNothing)
{
    RecordingPrintDevice device;
    device.failBegin = true;
    TickingClock clock;
    EXPECT_EQ(print(device, 40, clock), PrintResult::Failed);
    ASSERT_EQ(device.events.size(), 1u);
    EXPECT_EQ(device.events[0].kind, Kind::Begin);
    EXPECT_EQ(clock.reads, 0);
}

TEST(LogPrint, FailureAtANewPageAbortsOnce)
{
    struct Case {
        int lines, failingPage;
        std::size_t textsBefore;  // headers and lines drawn before the failing page
    };
    const Case cases[] = {{40, 1, 37}, {100, 1, 37}, {100, 2, 73}};
    for (const Case& c : cases) {
        RecordingPrintDevice device;
        device.failAtNewPage = c.failingPage;
        TickingClock clock;
        EXPECT_EQ(print(device, c.lines, clock), PrintResult::Failed);
        EXPECT_EQ(device.count(Kind::Abort), 1u);
        EXPECT_EQ(device.count(Kind::End), 0u);
        EXPECT_EQ(device.count(Kind::Text), c.textsBefore);
        EXPECT_EQ(device.count(Kind::NewPage), static_cast<std::size_t>(c.failingPage));
        // Nothing is drawn after the failed page, and the abort is the last thing done.
        ASSERT_GE(device.events.size(), 2u);
        EXPECT_EQ(device.events.back().kind, Kind::Abort);
        EXPECT_EQ(device.events[device.events.size() - 2].kind, Kind::NewPage);
    }
}

TEST(LogPrint, FailureToEndIsReportedAndAborts)
{
    RecordingPrintDevice device;
    device.failEnd = true;
    TickingClock clock;
    EXPECT_EQ(print(device, 3, clock), PrintResult::Failed);
    EXPECT_EQ(device.count(Kind::Abort), 1u);
    EXPECT_EQ(device.events.back().kind, Kind::Abort);
}

TEST(LogPrint, ThrowingClockLeavesNoDocumentOpen)
{
    RecordingPrintDevice device;
    int reads = 0;
    auto clock = [&reads]() -> std::string {
        if (++reads == 2)
            throw std::runtime_error("clock");
        return "now";
    };
    EXPECT_THROW(printLog(device, logLines(40), clock), std::runtime_error);
    EXPECT_EQ(device.count(Kind::Abort), 1u);
    EXPECT_EQ(device.events.back().kind, Kind::Abort);
}

} // namespace
