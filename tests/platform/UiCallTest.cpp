#include "UiCall.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QTest>
#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// Ends the test binary with a message when a deadlock keeps the test from finishing.
class DeadlockWatchdog {
public:
    explicit DeadlockWatchdog(std::chrono::seconds limit)
        : thread_([this, limit] {
              std::unique_lock lock(mutex_);
              if (!done_cv_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "deadlock: the test did not finish\n");
                  std::abort();
              }
          })
    {
    }
    ~DeadlockWatchdog()
    {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        done_cv_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_cv_;
    bool done_ = false;
    std::thread thread_;
};

} // namespace

TEST(UiCall, AWorkersCallRunsOnTheUiThread)
{
    QObject context;
    UiCall ui(&context);
    QThread* ran = nullptr;
    std::atomic<int> result{-1};
    std::jthread worker([&](std::stop_token stop) {
        result = ui.runOnOwner([&] { ran = QThread::currentThread(); }, stop) ? 1 : 0;
    });
    static_cast<void>(QTest::qWaitFor([&] { return result.load() == 1; }, 10000)); // the check below shows the values
    ASSERT_EQ(result.load(), 1);
    EXPECT_EQ(ran, QCoreApplication::instance()->thread());
}

TEST(UiCall, ACallOnTheUiThreadRunsAtOnce)
{
    QObject context;
    UiCall ui(&context);
    int runs = 0;
    EXPECT_TRUE(ui.runOnOwner([&] { ++runs; }, std::stop_token()));
    EXPECT_EQ(runs, 1);   // no event loop was needed
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_FALSE(ui.runOnOwner([&] { ++runs; }, stopped.get_token()));
    EXPECT_EQ(runs, 1);
}

TEST(UiCall, AUiThreadThatStopsAndJoinsAWaitingWorkerDoesNotDeadlock)
{
    const DeadlockWatchdog watchdog(std::chrono::seconds(20));
    QObject context;
    UiCall ui(&context);
    std::atomic<bool> entered{false};
    std::atomic<int> result{-1};
    bool ran = false;
    std::jthread worker([&](std::stop_token stop) {
        entered = true;
        result = ui.runOnOwner([&] { ran = true; }, stop) ? 1 : 0;
    });
    ASSERT_TRUE(waitUntil([&] { return entered.load(); }));
    // The UI thread runs no events here: the worker can only be woken by the stop.
    worker.request_stop();
    worker.join();
    EXPECT_EQ(result.load(), 0);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);   // stopped before it started: it never runs later
}

TEST(UiCall, ACallMayStopAndJoinItsOwnWorker)
{
    const DeadlockWatchdog watchdog(std::chrono::seconds(20));
    QObject context;
    UiCall ui(&context);
    std::atomic<int> result{-1};
    std::jthread worker;
    bool joined = false;
    worker = std::jthread([&](std::stop_token stop) {
        result = ui.runOnOwner([&] {
            worker.request_stop();
            worker.join();   // from inside the call the worker waits on
            joined = true;
        }, stop) ? 1 : 0;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return joined; }, 10000));
    EXPECT_EQ(result.load(), 0);   // the wait ended on stop while the call still ran
}

TEST(UiCall, AnExceptionOfTheCallReachesTheWaitingThread)
{
    QObject context;
    UiCall ui(&context);
    std::atomic<int> outcome{0};
    std::jthread worker([&](std::stop_token stop) {
        try {
            ui.runOnOwner([] { throw std::runtime_error("bad"); }, stop);
            outcome = 1;
        } catch (const std::runtime_error& e) {
            outcome = std::string(e.what()) == "bad" ? 2 : 3;
        }
    });
    static_cast<void>(QTest::qWaitFor([&] { return outcome.load() == 2; }, 10000)); // the check below shows the values
    ASSERT_EQ(outcome.load(), 2);
}

namespace {

// Swallows the queued calls of the object it watches, as a destroyed receiver does.
class DropCalls : public QObject {
public:
    std::atomic<int> dropped{0};
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::MetaCall)
            return false;
        ++dropped;
        return true;
    }
};

} // namespace

TEST(UiCall, ACallDroppedUnrunEndsTheWait)
{
    const DeadlockWatchdog watchdog(std::chrono::seconds(20));
    QObject context;
    DropCalls filter;
    context.installEventFilter(&filter);
    UiCall ui(&context);
    std::atomic<int> result{-1};
    bool ran = false;
    std::jthread worker([&](std::stop_token stop) {
        result = ui.runOnOwner([&] { ran = true; }, stop) ? 1 : 0;
    });
    static_cast<void>(QTest::qWaitFor([&] { return filter.dropped.load() == 1; }, 10000)); // the check below shows the values
    ASSERT_EQ(filter.dropped.load(), 1);
    worker.join();   // no stop requested: the dropped call alone ends the wait
    EXPECT_EQ(result.load(), 0);
    EXPECT_FALSE(ran);
}

TEST(UiCall, NoCallRunsOnceItsContextIsGone)
{
    auto context = std::make_unique<QObject>();
    UiCall ui(context.get());
    context.reset();
    bool ran = false;
    std::atomic<int> result{-1};
    std::jthread worker([&](std::stop_token stop) { result = ui.runOnOwner([&] { ran = true; }, stop) ? 1 : 0; });
    worker.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_FALSE(ran);
}

TEST(UiCall, ManyCallsOfAWorkerEachRunOnceInOrderOnTheUiThread)
{
    // Each call is built on the worker, run on the UI thread and destroyed on whichever
    // thread lets go of it last; under ThreadSanitizer every one of these steps is checked.
    QObject context;
    UiCall ui(&context);
    constexpr int calls = 300;
    std::vector<int> ran;   // the UI thread's alone
    std::atomic<int> accepted{0};
    std::atomic<bool> done{false};
    std::jthread worker([&](std::stop_token stop) {
        for (int i = 0; i < calls; ++i) {
            if (ui.runOnOwner([&ran, i] { ran.push_back(i); }, stop))
                ++accepted;
        }
        done = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 60000));
    EXPECT_EQ(accepted.load(), calls);
    ASSERT_EQ(ran.size(), static_cast<std::size_t>(calls));
    for (int i = 0; i < calls; ++i)
        EXPECT_EQ(ran[static_cast<std::size_t>(i)], i);
}
