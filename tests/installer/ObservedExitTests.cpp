// Asking a process to quit and waiting, bounded, for it to go.
#include "installer/ProcessExit.h"
#include "platform/async/TaskHandle.h"
#include "tests/installer/Sandbox.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace gloam::installer::test {
namespace {

struct Wait {
    bool result = false;
    bool done = false;
    int requests = 0;
};

Wait observe(pid_t pid, std::function<bool()> request, double limit = 8.0)
{
    Wait wait;
    auto job = [](pid_t target, std::function<bool()> ask, double seconds, Wait* out) -> async::Task<void> {
        std::function<bool()> counted = [ask, out] {
            ++out->requests;
            return ask();
        };
        auto watch = observedExit(target, counted, seconds);
        out->result = co_await std::move(watch);
        out->done = true;
    };
    async::spawn(job(pid, std::move(request), limit, &wait));
    waitUntil([&wait] { return wait.done; });
    return wait;
}

TEST(ObservedExit, AProcessThatQuitsOnRequestIsSeenToExit)
{
    Sandbox sandbox;
    QProcess* program = sandbox.start(QStringLiteral(INSTALLER_FAKE_PROGRAM));
    const pid_t pid = static_cast<pid_t>(program->processId());
    // A limit far beyond any test run: only the exit watch can end the wait
    // (a broken watch shows as the guard of waitUntil giving up).
    const Wait wait = observe(
        pid, [pid] { return kill(pid, SIGTERM) == 0; }, 3600);
    EXPECT_TRUE(wait.done);
    EXPECT_TRUE(wait.result);
    EXPECT_EQ(wait.requests, 1);
    EXPECT_FALSE(processIsAlive(pid));
}

TEST(ObservedExit, ARefusedRequestIsFalseAtOnce)
{
    Sandbox sandbox;
    QProcess* program = sandbox.start(QStringLiteral(INSTALLER_FAKE_PROGRAM));
    // A limit far beyond any test run: false must come from the refusal.
    const Wait wait = observe(
        static_cast<pid_t>(program->processId()), [] { return false; }, 3600);
    EXPECT_FALSE(wait.result);
    EXPECT_EQ(program->state(), QProcess::Running);
}

TEST(ObservedExit, AProcessAlreadyGoneIsTrueWithoutWaiting)
{
    QProcess gone;
    gone.start(QStringLiteral("/bin/true"));
    ASSERT_TRUE(gone.waitForFinished());
    const Wait wait = observe(
        static_cast<pid_t>(gone.processId()), [] { return true; }, 3600);
    EXPECT_TRUE(wait.result);
}

TEST(ObservedExit, AProcessStillAliveAtTheLimitIsFalse)
{
    Sandbox sandbox;
    QProcess* program = sandbox.start(QStringLiteral(INSTALLER_FAKE_PROGRAM), {QStringLiteral("--ignore-term")});
    const pid_t pid = static_cast<pid_t>(program->processId());
    const Wait wait = observe(
        pid, [pid] { return kill(pid, SIGTERM) == 0; }, 0.3);
    EXPECT_FALSE(wait.result);
    EXPECT_TRUE(processIsAlive(pid));
}

TEST(ObservedExit, AnEndedButUnreapedChildCountsAsGone)
{
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    ASSERT_GT(child, 0);
    // Until it is reaped, the ended child is a zombie that still answers signal 0.
    waitUntil([child] { return Sandbox::read(QStringLiteral("/proc/%1/stat").arg(child)).contains(") Z "); });
    EXPECT_EQ(kill(child, 0), 0);
    EXPECT_FALSE(processIsAlive(child));
    EXPECT_TRUE(processIsAlive(getpid()));
    EXPECT_FALSE(processIsAlive(0));
    waitpid(child, nullptr, 0);
}

} // namespace
} // namespace gloam::installer::test
