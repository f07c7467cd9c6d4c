// Running a tool off the main thread: combined output, decoding, exit
// statuses and launch errors.
#include "installer/InstallerError.h"
#include "installer/ToolCommand.h"
#include "platform/async/TaskHandle.h"
#include "tests/installer/Sandbox.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <optional>

namespace gloam::installer::test {
namespace {

struct Outcome {
    std::optional<CommandResult> result;
    QString error;
    bool done = false;
    bool ranOnMain = false;
};

Outcome runCommand(const QString& path, const QStringList& arguments, double limit = 0)
{
    Outcome outcome;
    auto job = [](QString tool, QStringList args, double seconds, Outcome* out) -> async::Task<void> {
        try {
            auto run = command(tool, args, QProcessEnvironment::systemEnvironment(), seconds);
            out->result = co_await std::move(run);
        } catch (const InstallerError& error) {
            out->error = error.localizedDescription();
        }
        out->ranOnMain = QThread::currentThread() == QCoreApplication::instance()->thread();
        out->done = true;
    };
    async::spawn(job(path, arguments, limit, &outcome));
    waitUntil([&outcome] { return outcome.done; });
    return outcome;
}

TEST(Command, CombinesOutputAndErrorsAndKeepsTheExitStatus)
{
    const Outcome outcome =
        runCommand(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("echo out; echo err >&2; exit 3")});
    ASSERT_TRUE(outcome.result);
    EXPECT_EQ(outcome.result->code, 3);
    EXPECT_TRUE(outcome.result->output.contains(QStringLiteral("out\n")));
    EXPECT_TRUE(outcome.result->output.contains(QStringLiteral("err\n")));
    EXPECT_TRUE(outcome.ranOnMain);
}

TEST(Command, AToolWritingOnlyToStandardErrorIsHeard)
{
    const Outcome outcome =
        runCommand(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("echo 'only here' >&2")});
    ASSERT_TRUE(outcome.result);
    EXPECT_EQ(outcome.result->code, 0);
    EXPECT_EQ(outcome.result->output, QStringLiteral("only here\n"));
}

TEST(Command, InvalidUtf8IsReplacedNotDropped)
{
    const Outcome outcome =
        runCommand(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("printf 'caf\\303\\251 \\377!'")});
    ASSERT_TRUE(outcome.result);
    EXPECT_EQ(outcome.result->output, QStringLiteral("café \uFFFD!"));
}

TEST(Command, AChattyToolDoesNotBlockOnAFullPipe)
{
    // Four megabytes, far more than a pipe holds, before the tool exits.
    const Outcome outcome = runCommand(
        QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("head -c 4194304 /dev/zero | tr '\\0' x")});
    ASSERT_TRUE(outcome.result);
    EXPECT_EQ(outcome.result->output.size(), 4194304);
}

TEST(Command, AToolThatCannotStartIsALaunchError)
{
    Sandbox sandbox;
    Sandbox::write(sandbox.bin() + QStringLiteral("/not-executable"), "#!/bin/sh\n");
    for (const QString& path :
         {sandbox.bin() + QStringLiteral("/missing-tool"), sandbox.bin() + QStringLiteral("/not-executable")}) {
        const Outcome outcome = runCommand(path, {});
        EXPECT_FALSE(outcome.result);
        EXPECT_TRUE(outcome.error.startsWith(path + QStringLiteral(": "))) << outcome.error.toStdString();
    }
}

TEST(Command, AProgramPastItsLimitIsEnded)
{
    const Outcome outcome = runCommand(QStringLiteral("/bin/sleep"), {QStringLiteral("30")}, 0.2);
    ASSERT_TRUE(outcome.result);
    EXPECT_EQ(outcome.result->code, -1);
}

} // namespace
} // namespace gloam::installer::test
