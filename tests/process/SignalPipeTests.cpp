// Signals as main-loop events: delivered on the loop and not in the
// handler, in order, without blocking or disturbing the interrupted code,
// with the previous handlers back afterwards; and, in a real process held
// up by a long "frame", a second SIGTERM that does no harm and a deadline
// that ends the process.
#include "platform/process/SignalPipe.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <vector>

namespace gloam::platform {
namespace {

using testing::ChildProcess;

TEST(SignalPipeTest, DeliversEachSignalOnTheMainLoopInOrder)
{
    SignalPipe pipe({SIGUSR1, SIGUSR2, SIGHUP});
    std::vector<int> heard;
    QObject::connect(&pipe, &SignalPipe::received, [&heard](int signalNumber) { heard.push_back(signalNumber); });
    ::raise(SIGUSR1);
    ::raise(SIGHUP);
    ::raise(SIGUSR2);
    EXPECT_TRUE(heard.empty()) << "the handler itself must do nothing but queue the signal";
    ASSERT_TRUE(gloam::testing::runEventsUntil([&] { return heard.size() >= 3; }));
    EXPECT_EQ(heard, (std::vector<int>{SIGUSR1, SIGHUP, SIGUSR2}));
    gloam::testing::runEventsFor(0.05);
    EXPECT_EQ(heard.size(), 3U) << "each signal is delivered once";
}

TEST(SignalPipeTest, AFloodOfSignalsNeitherBlocksNorChangesErrno)
{
    SignalPipe pipe({SIGUSR1});
    std::size_t heard = 0;
    QObject::connect(&pipe, &SignalPipe::received, [&heard](int) { ++heard; });
    // More than a pipe holds, while the loop is busy: once it is full the
    // handler's write fails, and that must not show in the code it
    // interrupted, nor block it.
    constexpr int flood = 70000;
    for (int index = 0; index < flood; ++index) {
        errno = EDOM;
        ::raise(SIGUSR1);
        ASSERT_EQ(errno, EDOM) << "after " << index << " signals";
    }
    ASSERT_TRUE(gloam::testing::runEventsUntil([&] { return heard > 0; }));
    gloam::testing::runEventsFor(0.1);
    EXPECT_GT(heard, 1000U);
    EXPECT_LE(heard, static_cast<std::size_t>(flood));
    // Still working once drained.
    const std::size_t before = heard;
    ::raise(SIGUSR1);
    EXPECT_TRUE(gloam::testing::runEventsUntil([&] { return heard == before + 1; }));
}

int previousHandlerCalls = 0;
extern "C" void countCall(int)
{
    ++previousHandlerCalls;
}

TEST(SignalPipeTest, PutsThePreviousHandlersBackWhenItGoes)
{
    struct sigaction counting {};
    counting.sa_handler = countCall;
    sigemptyset(&counting.sa_mask);
    struct sigaction original {};
    ASSERT_EQ(sigaction(SIGUSR2, &counting, &original), 0);
    previousHandlerCalls = 0;
    {
        SignalPipe pipe({SIGUSR2});
        bool heard = false;
        QObject::connect(&pipe, &SignalPipe::received, [&heard](int) { heard = true; });
        ::raise(SIGUSR2);
        EXPECT_TRUE(gloam::testing::runEventsUntil([&] { return heard; }));
        EXPECT_EQ(previousHandlerCalls, 0);
    }
    ::raise(SIGUSR2);
    EXPECT_EQ(previousHandlerCalls, 1);
    sigaction(SIGUSR2, &original, nullptr);
}

TEST(SignalPipeTest, ALaterOwnerDoesNotHearSignalsItsPredecessorLeftUnread)
{
    {
        SignalPipe first({SIGUSR1});
        ::raise(SIGUSR1); // never read: the loop does not run
    }
    SignalPipe second({SIGUSR1});
    std::vector<int> heard;
    QObject::connect(&second, &SignalPipe::received, [&heard](int signalNumber) { heard.push_back(signalNumber); });
    ::raise(SIGUSR1);
    ASSERT_TRUE(gloam::testing::runEventsUntil([&] { return !heard.empty(); }));
    gloam::testing::runEventsFor(0.05);
    EXPECT_EQ(heard, (std::vector<int>{SIGUSR1}));
}

TEST(SignalPipeTest, AReceiverMayEndThePipe)
{
    auto* pipe = new SignalPipe({SIGUSR1});
    int heard = 0;
    QObject::connect(pipe, &SignalPipe::received, [&heard, pipe](int) {
        ++heard;
        delete pipe;
    });
    ::raise(SIGUSR1);
    ::raise(SIGUSR1);
    gloam::testing::runEventsFor(0.1);
    EXPECT_EQ(heard, 1);
}

// The probe exits with this status when its deadline ends it.
constexpr int probeDeadlineStatus = 3;

TEST(SignalPipeProcessTest, ASecondSigtermWhileTheMainLoopIsBusyIsHarmless)
{
    ChildProcess probe({GLOAMYARD_SIGNAL_PIPE_PROBE, "signals"});
    ASSERT_TRUE(probe.waitForOutput("ready\n", 20)) << probe.output();
    probe.signal(SIGTERM);
    // The main loop has taken the first signal and is now held up; the
    // deadline is running.
    ASSERT_TRUE(probe.waitForOutput("received 15\n", 20)) << probe.output();
    probe.signal(SIGTERM);
    probe.signal(SIGINT);
    const auto status = probe.wait(20);
    EXPECT_TRUE(ChildProcess::exitedWith(status, probeDeadlineStatus)) << ChildProcess::describe(status) << "\n"
                                                                       << probe.output();
    EXPECT_EQ(probe.output(), "ready\nreceived 15\nlast words\n");
}

TEST(SignalPipeProcessTest, TheDeadlineEndsAProcessWhoseStopBeganWithoutASignal)
{
    ChildProcess probe({GLOAMYARD_SIGNAL_PIPE_PROBE, "deadline"});
    const auto status = probe.wait(20);
    EXPECT_TRUE(ChildProcess::exitedWith(status, probeDeadlineStatus)) << ChildProcess::describe(status) << "\n"
                                                                       << probe.output();
    EXPECT_EQ(probe.output(), "ready\nlast words\n");
}

} // namespace
} // namespace gloam::platform
