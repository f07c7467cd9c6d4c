#include "platform/async/MainActor.h"
#include "platform/async/Suspensions.h"
#include "platform/async/TaskHandle.h"
#include "tests/support/EventLoop.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace gloam::async;
using gloam::testing::runEventsFor;
using gloam::testing::runEventsUntil;

namespace {

// What a task records. Tasks hold it shared, never a test's locals: a task
// may outlive a test that timed out waiting for it.
struct Journal {
    std::vector<std::string> entries;
    bool finished = false;
    std::atomic<QThread*> workerThread{nullptr};
    QThread* resumedOn = nullptr;
};

Task<int> computeOnWorker(std::shared_ptr<Journal> journal)
{
    // A named job, not a temporary in the co_await operand: GCC 12 copies
    // such a temporary wrongly (a captured shared_ptr then dangles).
    auto work = [journal] {
        journal->workerThread = QThread::currentThread();
        return 6 * 7;
    };
    co_return co_await onWorker(std::move(work));
}

Task<void> resumeThreadProbe(std::shared_ptr<Journal> journal)
{
    const int value = co_await computeOnWorker(journal);
    journal->resumedOn = QThread::currentThread();
    journal->entries.push_back(std::to_string(value));
    journal->finished = true;
}

Task<void> sleepThenRecord(std::shared_ptr<Journal> journal, double seconds)
{
    journal->entries.push_back("before");
    co_await sleepFor(seconds);
    journal->entries.push_back("after");
    journal->finished = true;
}

Task<void> failing()
{
    co_await resumeOnMain();
    throw std::runtime_error("disk on fire");
}

Task<void> catchChildFailure(std::shared_ptr<Journal> journal)
{
    try {
        co_await failing();
    } catch (const CancellationError&) {
        journal->entries.push_back("cancelled");
    } catch (const std::runtime_error& error) {
        journal->entries.push_back(error.what());
    }
    journal->finished = true;
}

struct Owner {
    int touched = 0;
};

Task<void> touchOwnerAfterWork(std::weak_ptr<Owner> weakOwner, std::shared_ptr<Journal> journal)
{
    co_await onWorker([] { QThread::msleep(20); });
    journal->entries.push_back("resumed");
    auto owner = requireOwner(weakOwner);
    owner->touched += 1;
    journal->entries.push_back("touched");
}

} // namespace

TEST(TaskTest, WorkRunsOffTheMainThreadAndTheTaskResumesOnIt)
{
    auto journal = std::make_shared<Journal>();
    spawn(resumeThreadProbe(journal));

    // Spawning never runs the task inside the call.
    EXPECT_TRUE(journal->entries.empty());
    ASSERT_TRUE(runEventsUntil([&] { return journal->finished; }));

    EXPECT_EQ(journal->entries, std::vector<std::string>{"42"});
    EXPECT_NE(journal->workerThread.load(), nullptr);
    EXPECT_NE(journal->workerThread.load(), QCoreApplication::instance()->thread());
    EXPECT_EQ(journal->resumedOn, QCoreApplication::instance()->thread());
}

TEST(TaskTest, SleepWaitsAtLeastItsDuration)
{
    auto journal = std::make_shared<Journal>();
    const double started = ContinuousClock::now();
    spawn(sleepThenRecord(journal, 0.05));
    ASSERT_TRUE(runEventsUntil([&] { return journal->finished; }));
    EXPECT_GE(ContinuousClock::now() - started, 0.05);
    EXPECT_EQ(journal->entries, (std::vector<std::string>{"before", "after"}));
}

TEST(TaskTest, CancellingASleepingTaskEndsItSilentlyWithoutWaitingForTheDeadline)
{
    auto journal = std::make_shared<Journal>();
    TaskHandle handle = spawn(sleepThenRecord(journal, 30.0));
    ASSERT_TRUE(runEventsUntil([&] { return !journal->entries.empty(); }));

    handle.cancel();
    ASSERT_TRUE(runEventsUntil([&] { return handle.isDone(); }, 2.0));
    EXPECT_TRUE(handle.isCancelled());
    EXPECT_EQ(journal->entries, std::vector<std::string>{"before"});
    EXPECT_FALSE(journal->finished);
}

TEST(TaskTest, TaskCancelledBeforeItStartsNeverRuns)
{
    auto journal = std::make_shared<Journal>();
    TaskHandle handle = spawn(sleepThenRecord(journal, 0.0));
    handle.cancel();
    ASSERT_TRUE(runEventsUntil([&] { return handle.isDone(); }));
    EXPECT_TRUE(journal->entries.empty());
}

TEST(TaskTest, CancellationDuringWorkerJobIsReportedAsItsOwnErrorKind)
{
    auto journal = std::make_shared<Journal>();
    auto release = std::make_shared<std::atomic<bool>>(false);
    auto body = [](std::shared_ptr<Journal> out, std::shared_ptr<std::atomic<bool>> gate) -> Task<void> {
        try {
            auto wait = [gate] {
                while (!gate->load()) {
                    QThread::msleep(1);
                }
            };
            co_await onWorker(std::move(wait));
            out->entries.push_back("completed");
        } catch (const CancellationError&) {
            out->entries.push_back("cancellation");
        } catch (...) {
            out->entries.push_back("other error");
        }
        out->finished = true;
    };
    TaskHandle handle = spawn(body(journal, release));
    runEventsFor(0.02);
    handle.cancel();
    *release = true;
    ASSERT_TRUE(runEventsUntil([&] { return journal->finished; }));
    EXPECT_EQ(journal->entries, std::vector<std::string>{"cancellation"});
}

TEST(TaskTest, CheckpointThrowsOnlyOnceCancelled)
{
    auto journal = std::make_shared<Journal>();
    auto body = [](std::shared_ptr<Journal> out) -> Task<void> {
        co_await checkCancellation();
        out->entries.push_back("passed first checkpoint");
        out->entries.push_back((co_await isCancelled()) ? "cancelled" : "running");
        co_await sleepFor(10.0);
        out->entries.push_back("unreachable");
    };
    TaskHandle handle = spawn(body(journal));
    ASSERT_TRUE(runEventsUntil([&] { return journal->entries.size() == 2; }));
    handle.cancel();
    ASSERT_TRUE(runEventsUntil([&] { return handle.isDone(); }));
    EXPECT_EQ(journal->entries, (std::vector<std::string>{"passed first checkpoint", "running"}));
}

TEST(TaskTest, ChildErrorsReachTheAwaitingTask)
{
    auto journal = std::make_shared<Journal>();
    spawn(catchChildFailure(journal));
    ASSERT_TRUE(runEventsUntil([&] { return journal->finished; }));
    EXPECT_EQ(journal->entries, std::vector<std::string>{"disk on fire"});
}

TEST(TaskTest, TaskWhoseOwnerIsGoneDoesNothing)
{
    auto journal = std::make_shared<Journal>();
    auto owner = std::make_shared<Owner>();
    std::weak_ptr<Owner> watch = owner;
    TaskHandle handle =
        spawnWithOwner(owner, [journal](std::weak_ptr<Owner> weak) { return touchOwnerAfterWork(weak, journal); });
    owner.reset(); // the task holds it only weakly, so this frees it
    EXPECT_TRUE(watch.expired());

    ASSERT_TRUE(runEventsUntil([&] { return handle.isDone(); }));
    EXPECT_EQ(journal->entries, std::vector<std::string>{"resumed"});
}

TEST(TaskTest, TaskWithLiveOwnerTouchesIt)
{
    auto journal = std::make_shared<Journal>();
    auto owner = std::make_shared<Owner>();
    TaskHandle handle =
        spawnWithOwner(owner, [journal](std::weak_ptr<Owner> weak) { return touchOwnerAfterWork(weak, journal); });
    ASSERT_TRUE(runEventsUntil([&] { return handle.isDone(); }));
    EXPECT_EQ(owner->touched, 1);
}
