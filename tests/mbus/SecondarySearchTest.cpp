// The wildcard search body against the bus model itself, with no window and no wait: its
// masks and frames, the meters it finds, the exchanges it spends, its failures; and its
// thread against a host on another thread.
#include "SecondaryIDThread.h"
#include "SecondarySearch.h"

#include "ManualDispatcher.h"
#include "MasterFrames.h"
#include "ReplyDecoder.h"
#include "SearchExchanges.h"
#include "SimBus.h"
#include "TelegramBuilder.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>

namespace {

using namespace std::chrono_literals;

SearchMask maskOf(const char* digits)   // d8 .. d1
{
    SearchMask m;
    for (int p = 8; p >= 1; --p) {
        const char c = digits[8 - p];
        m.d[static_cast<std::size_t>(p - 1)] = c == 'F' ? SearchMask::Wildcard : static_cast<std::uint8_t>(c - '0');
    }
    return m;
}

TEST(SearchMask, SelectFramesCarryTheMaskLeastSignificantFirst)
{
    EXPECT_EQ(spacedHex(SelectMaskFrame(maskOf("FFFFFFF8"))),
              "68 0B 0B 68 53 FD 52 F8 FF FF FF FF FF FF FF 93 16 ");
    EXPECT_EQ(spacedHex(SelectMaskFrame(maskOf("0FFFFFFF"))),
              "68 0B 0B 68 53 FD 52 FF FF FF 0F FF FF FF FF AA 16 ");
    // A whole ID is the frame of the selection by that ID.
    EXPECT_EQ(SelectMaskFrame(maskOf("12345678")), SelectByIdFrame("12345678"));
    EXPECT_EQ(CheckingText(maskOf("FFFFFFF8")), "Checking FFFFFFF8...");
    EXPECT_EQ(CheckingText(maskOf("1234FFFF")), "Checking 1234FFFF...");
}

TEST(SearchMask, SetDigitWildcardsThePositionsSearchedLater)
{
    SearchMask m = maskOf("12345678");
    SetDigit(m, 1, 9, true);   // LSB first from d1: everything above is open again
    EXPECT_EQ(m, maskOf("FFFFFFF9"));
    m = maskOf("12345678");
    SetDigit(m, 8, 9, true);   // the last position of that order: nothing beyond
    EXPECT_EQ(m, maskOf("92345678"));
    m = maskOf("12345678");
    SetDigit(m, 8, 0, false);   // MSB first from d8
    EXPECT_EQ(m, maskOf("0FFFFFFF"));
    m = maskOf("12345678");
    SetDigit(m, 1, 0, false);
    EXPECT_EQ(m, maskOf("12345670"));
    m = maskOf("12345678");
    SetDigit(m, 4, 0, true);
    EXPECT_EQ(m, maskOf("FFFF0678"));
    SetDigit(m, 0, 5, true);
    SetDigit(m, 9, 5, false);
    EXPECT_EQ(m, maskOf("FFFF0678"));   // outside 1..8: no change
}

// The bus model as the search's host: every frame goes to the model at once, and its answers
// are what the next read takes. Faults can be put in any hand-over.
class BusHost : public SecondarySearchHost {
public:
    explicit BusHost(SimBus& bus) : bus_(bus) {}

    void log(const std::string& line) override
    {
        if (onLog)
            onLog(line);
        lines.push_back(line);
    }
    void showProgress(int, int, int position) override { progress = position; }
    void advanceProgress() override { ++progress; }
    std::chrono::milliseconds sendSelect(const SearchMask& mask) override
    {
        if (onSelect)
            onSelect(mask);
        ++selects;
        answer_ = answerTo(SelectMaskFrame(mask));
        return 0ms;
    }
    std::optional<std::string> readSelectionAnswer(bool) override
    {
        if (onRead)
            return onRead();
        return std::exchange(answer_, {});
    }
    std::chrono::milliseconds sendReadAt253() override
    {
        ++reads;
        answer_ = answerTo(ReqUd2Frame(253, false));
        return 0ms;
    }
    Reply253 takeAndDecode253() override
    {
        if (onTake)
            return onTake();
        const std::string reply = std::exchange(answer_, {});
        if (reply.empty())
            return Reply253::NotFound;
        const DecodedReply d = DecodeReply(reply, false, '.');
        if (!d.valid)
            return Reply253::NotFound;
        found.push_back(d.header.id);
        return Reply253::Found;
    }
    void endOfSearch() override { ++ends; }
    void wait(std::chrono::milliseconds) override {}

    std::size_t count(const std::string& line) const
    {
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    }

    std::function<void(const std::string&)> onLog;
    std::function<void(const SearchMask&)> onSelect;
    std::function<std::optional<std::string>()> onRead;
    std::function<Reply253()> onTake;

    std::vector<std::string> lines;
    std::vector<std::string> found;
    int selects = 0, reads = 0, ends = 0, progress = 0;

private:
    std::string answerTo(const std::string& frame)
    {
        std::string bytes;
        for (const SimAnswer& a : bus_.handle(frame).answers)
            bytes += a.bytes;
        return bytes;
    }

    SimBus& bus_;
    std::string answer_;
};

std::string idText(std::uint32_t id)
{
    char text[9];
    std::snprintf(text, sizeof text, "%08u", id);
    return text;
}

SimBus busOf(const std::vector<std::string>& ids)
{
    SimBus bus;
    for (std::size_t i = 0; i < ids.size(); ++i)
        bus.addMeter(SimMeter(static_cast<std::uint8_t>(1 + i % 250), ids[i], "ABC", 1, 0x07,
                              hexBytes("0C 13 11 00 00 00")));
    return bus;
}

struct SearchRun {
    std::vector<std::string> found;
    int exchanges = 0;
    std::size_t collisions = 0;
    int ends = 0;
};

SearchRun search(const std::vector<std::string>& ids, bool lsbFirst)
{
    SimBus bus = busOf(ids);
    BusHost host(bus);
    std::atomic<bool> stop {false};
    SecondarySearch(host, stop, lsbFirst).run();
    EXPECT_TRUE(stop);
    return {host.found, host.selects + host.reads, host.count("Collision"), host.ends};
}

TEST(SecondarySearch, EmptyBusTenSelectsInEachOrder)
{
    for (const bool lsb : {false, true}) {
        SimBus bus;
        BusHost host(bus);
        std::atomic<bool> stop {false};
        SecondarySearch(host, stop, lsb).run();
        std::vector<std::string> expected;
        for (int v = 0; v < 10; ++v)
            expected.push_back(lsb ? "Checking FFFFFFF" + std::to_string(v) + "..."
                                   : "Checking " + std::to_string(v) + "FFFFFFF...");
        EXPECT_EQ(host.lines, expected);
        EXPECT_EQ(host.reads, 0);
        EXPECT_EQ(host.progress, 11);   // from 1, one step per digit value
        EXPECT_EQ(host.ends, 1);
    }
}

TEST(SecondarySearch, TwoMetersApartInTheLastSearchedDigitCollideSevenTimes)
{
    const std::pair<bool, std::vector<std::string>> cases[] = {
        {true, {"12345678", "92345678"}},
        {false, {"12345678", "12345679"}},
    };
    for (const auto& [lsb, ids] : cases) {
        SimBus bus = busOf(ids);
        BusHost host(bus);
        std::atomic<bool> stop {false};
        SecondarySearch(host, stop, lsb).run();
        EXPECT_EQ(host.selects, 80);
        EXPECT_EQ(host.reads, 9);
        EXPECT_EQ(host.count("Collision"), 7u);
        EXPECT_EQ(std::set<std::string>(host.found.begin(), host.found.end()),
                  std::set<std::string>(ids.begin(), ids.end()));
    }
}

TEST(SecondarySearch, MetersWithOneIdAreACollisionAtTheLastPosition)
{
    const SearchRun run = search({"12345678", "12345678"}, false);
    EXPECT_EQ(run.exchanges, 88);
    EXPECT_TRUE(run.found.empty());
    EXPECT_EQ(run.collisions, 8u);
    EXPECT_EQ(run.ends, 1);
}

// Random, clustered and consecutive populations: every meter is found exactly once, at the
// cost the exchange count gives.
TEST(SecondarySearch, FindsEveryPopulationAtItsExchangeCount)
{
    std::mt19937 random(20260203);
    for (int population = 0; population < 500; ++population) {
        const int size = std::uniform_int_distribution<int>(0, 40)(random);
        std::set<std::string> ids;
        const int shape = population % 3;
        const std::uint32_t base = std::uniform_int_distribution<std::uint32_t>(0, 99999999)(random);
        while (static_cast<int>(ids.size()) < size) {
            std::uint32_t id;
            if (shape == 0)
                id = std::uniform_int_distribution<std::uint32_t>(0, 99999999)(random);
            else if (shape == 1)   // clustered: a few digits apart from one base
                id = (base + std::uniform_int_distribution<std::uint32_t>(0, 999)(random)
                      * (population % 2 ? 1u : 100000u)) % 100000000u;
            else   // consecutive runs
                id = (base + static_cast<std::uint32_t>(ids.size())
                      + 1000u * std::uniform_int_distribution<std::uint32_t>(0, 2)(random)) % 100000000u;
            ids.insert(idText(id));
        }
        const std::vector<std::string> list(ids.begin(), ids.end());
        for (const bool lsb : {false, true}) {
            SCOPED_TRACE(testing::Message() << "population " << population << (lsb ? " LSB" : " MSB"));
            const SearchRun run = search(list, lsb);
            std::vector<std::string> found = run.found;
            std::sort(found.begin(), found.end());
            ASSERT_EQ(found, list);
            ASSERT_EQ(run.exchanges, SearchExchanges(list, lsb));
        }
    }
}

TEST(SecondarySearch, EachFailureHasItsLineAndEndsTheSearch)
{
    struct Case {
        const char* label;
        std::function<void(BusHost&)> fault;
        const char* line;
        int selects;
    } cases[] = {
        {"the mask line",
         [](BusHost& h) {
             h.onLog = [](const std::string& line) {
                 if (line.starts_with("Checking"))
                     throw std::runtime_error("x");
             };
         },
         "Unknown exception in secondary search, code #1000...", 0},
        {"the select", [](BusHost& h) { h.onSelect = [](const SearchMask&) { throw std::runtime_error("x"); }; },
         "Unknown exception in secondary search, code #1001...", 0},
        {"the select answer", [](BusHost& h) { h.onRead = []() -> std::optional<std::string> { throw 1; }; },
         "Unknown exception in secondary search, code #1002...", 1},
        {"the port closed", [](BusHost& h) { h.onRead = [] { return std::optional<std::string>(); }; },
         "No valid physical connection...", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SimBus bus = busOf({"12345678"});
        BusHost host(bus);
        c.fault(host);
        std::atomic<bool> stop {false};
        SecondarySearch(host, stop, false).run();
        EXPECT_EQ(host.count(c.line), 1u);
        EXPECT_EQ(host.selects, c.selects);
        EXPECT_EQ(host.reads, 0);
        EXPECT_EQ(host.ends, 1);
        EXPECT_TRUE(stop);
    }
}

TEST(SecondarySearch, AFailedReadOfTheSelectedMeterCountsAsNotFound)
{
    const std::pair<Reply253, const char*> cases[] = {
        {Reply253::NoConnection, "No valid physical connection :) "},
        {Reply253::TakeFailed, "Unknown exception in secondary search, code #1002..."},
        {Reply253::DecodeFailed, "Unknown exception in secondary search, code #1003..."},
    };
    for (const auto& [reply, line] : cases) {
        SCOPED_TRACE(line);
        SimBus bus = busOf({"12345678"});
        BusHost host(bus);
        host.onTake = [reply] { return reply; };
        std::atomic<bool> stop {false};
        SecondarySearch(host, stop, true).run();
        // Not found: a collision each level down to the last position, the search goes on.
        EXPECT_EQ(host.count(line), 8u);
        EXPECT_EQ(host.count("Collision"), 8u);
        EXPECT_EQ(host.selects, 80);
        EXPECT_EQ(host.ends, 1);
    }
    SimBus bus = busOf({"12345678"});
    BusHost host(bus);
    host.onTake = []() -> Reply253 { throw std::runtime_error("gone"); };
    std::atomic<bool> stop {false};
    SecondarySearch(host, stop, true).run();
    EXPECT_EQ(host.count("Unknown exception in secondary search, code #1002..."), 8u);
}

TEST(SecondarySearch, AStopLetsTheStepInProgressFinishAndSendsNothingMore)
{
    SimBus bus = busOf({"12345678", "12345679", "22222222"});
    BusHost host(bus);
    std::atomic<bool> stop {false};
    int selectsAtStop = 0;
    host.onSelect = [&](const SearchMask& m) {
        if (m == maskOf("123FFFFF")) {   // two levels down
            stop = true;
            selectsAtStop = host.selects + 1;
        }
    };
    SecondarySearch(host, stop, false).run();
    EXPECT_EQ(host.selects, selectsAtStop);
    EXPECT_EQ(host.reads, 3);   // the two collisions above, and the read of the step in progress
    EXPECT_EQ(host.ends, 1);

    // Stopped before it starts: only the end step.
    BusHost idle(bus);
    SecondarySearch(idle, stop, false).run();
    EXPECT_EQ(idle.selects, 0);
    EXPECT_EQ(idle.ends, 1);
}

TEST(SecondarySearch, ACancelledSearchReturnsWithoutItsEndStep)
{
    SimBus bus = busOf({"12345678"});
    BusHost host(bus);
    std::stop_source cancel;
    std::atomic<bool> stop {false};
    host.onSelect = [&](const SearchMask&) {
        if (host.selects == 3)
            cancel.request_stop();
    };
    SecondarySearch(host, stop, false, cancel.get_token()).run();
    EXPECT_EQ(host.selects, 4);
    EXPECT_EQ(host.ends, 0);
}

// The host's hand-overs run on the test's thread, which pumps them; the search runs on its own.
class DispatchedHost : public SecondarySearchHost {
public:
    DispatchedHost(SecondarySearchHost& inner, ManualDispatcher& owner, std::stop_token stop)
        : inner_(inner), owner_(owner), stop_(std::move(stop))
    {
    }
    void log(const std::string& line) override { run([&] { inner_.log(line); }); }
    void showProgress(int a, int b, int c) override { run([&] { inner_.showProgress(a, b, c); }); }
    void advanceProgress() override { run([&] { inner_.advanceProgress(); }); }
    std::chrono::milliseconds sendSelect(const SearchMask& m) override
    {
        run([&] { inner_.sendSelect(m); });
        return 1ms;
    }
    std::optional<std::string> readSelectionAnswer(bool clear) override
    {
        auto cell = std::make_shared<std::optional<std::string>>(std::string());
        run([&inner = inner_, cell, clear] { *cell = inner.readSelectionAnswer(clear); });
        return *cell;
    }
    std::chrono::milliseconds sendReadAt253() override
    {
        run([&] { inner_.sendReadAt253(); });
        return 1ms;
    }
    Reply253 takeAndDecode253() override
    {
        auto cell = std::make_shared<Reply253>(Reply253::NotFound);
        run([&inner = inner_, cell] { *cell = inner.takeAndDecode253(); });
        return *cell;
    }
    void endOfSearch() override { run([&] { inner_.endOfSearch(); }); }
    void wait(std::chrono::milliseconds time) override
    {
        std::mutex m;
        std::condition_variable_any cv;
        std::unique_lock lock(m);
        cv.wait_for(lock, stop_, time, [] { return false; });
    }

private:
    void run(const std::function<void()>& call) { owner_.runOnOwner(call, stop_); }

    SecondarySearchHost& inner_;
    ManualDispatcher& owner_;
    std::stop_token stop_;
};

TEST(SecondaryIDThread, RunsTheSearchWithEveryHandOverOnTheOwnersThread)
{
    SimBus bus = busOf({"12345678", "12345679", "50000000"});
    BusHost inner(bus);
    ManualDispatcher owner;
    std::stop_source cancel;
    DispatchedHost host(inner, owner, cancel.get_token());
    std::atomic<bool> stop {false};
    const std::thread::id here = std::this_thread::get_id();
    bool elsewhere = false;
    inner.onSelect = [&](const SearchMask&) { elsewhere |= std::this_thread::get_id() != here; };

    SecondaryIDThread thread(host, stop, false, cancel);
    ASSERT_TRUE(owner.pumpUntil([&] { return thread.finished(); }, 20s));
    thread.join();
    EXPECT_FALSE(elsewhere);
    EXPECT_EQ(inner.ends, 1);
    EXPECT_EQ(std::set<std::string>(inner.found.begin(), inner.found.end()),
              (std::set<std::string> {"12345678", "12345679", "50000000"}));
    EXPECT_EQ(inner.selects + inner.reads, SearchExchanges({"12345678", "12345679", "50000000"}, false));
}

TEST(SecondaryIDThread, AStopFromTheOwnersThreadEndsTheSearchOnce)
{
    SimBus bus = busOf({"12345678", "12345679"});
    BusHost inner(bus);
    ManualDispatcher owner;
    std::stop_source cancel;
    DispatchedHost host(inner, owner, cancel.get_token());
    std::atomic<bool> stop {false};
    SecondaryIDThread thread(host, stop, false, cancel);
    ASSERT_TRUE(owner.pumpUntil([&] { return inner.selects >= 5; }));
    stop = true;   // as "Stop Secondary" does
    const int selects = inner.selects;
    ASSERT_TRUE(owner.pumpUntil([&] { return thread.finished(); }));
    EXPECT_LE(inner.selects, selects + 1);
    EXPECT_EQ(inner.ends, 1);
}

TEST(SecondaryIDThread, DestroyedWhileWaitingForAHandOverItEndsAtOnce)
{
    SimBus bus = busOf({"12345678"});
    BusHost inner(bus);
    ManualDispatcher owner;   // never pumped: the first hand-over waits for ever
    std::stop_source cancel;
    DispatchedHost host(inner, owner, cancel.get_token());
    std::atomic<bool> stop {false};
    {
        SecondaryIDThread thread(host, stop, false, cancel);
        ASSERT_TRUE(waitUntil([&] { return owner.handedOver() > 0; }));
    }
    EXPECT_EQ(owner.pump(), 0);   // a hand-over of a cancelled search never runs
    EXPECT_EQ(inner.progress, 0);
    EXPECT_EQ(inner.ends, 0);
}

} // namespace
