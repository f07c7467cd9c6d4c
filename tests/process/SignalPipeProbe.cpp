// A program for the signal pipe's tests: it turns SIGTERM and SIGINT into
// main-loop events with a stop deadline, says what it received, and then
// holds its main thread the way a long frame would, so that only the
// deadline can end it.
//   signal_pipe_probe signals   stop on the first signal
//   signal_pipe_probe deadline  start the deadline without a signal
#include "platform/process/SignalPipe.h"

#include <QCoreApplication>
#include <QTimer>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

constexpr int deadlineStatus = 3;

[[noreturn]] void holdMainThread()
{
    for (;;) {
        ::pause();
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    gloam::platform::SignalPipe pipe({SIGTERM, SIGINT});
    pipe.endProcessAfter(std::chrono::milliseconds(300), deadlineStatus, [] {
        static const char line[] = "last words\n";
        [[maybe_unused]] const auto written = ::write(STDOUT_FILENO, line, sizeof line - 1);
    });
    QObject::connect(&pipe, &gloam::platform::SignalPipe::received, [](int signalNumber) {
        std::printf("received %d\n", signalNumber);
        std::fflush(stdout);
        holdMainThread();
    });
    const bool deadlineOnly = argc > 1 && std::strcmp(argv[1], "deadline") == 0;
    QTimer::singleShot(0, [&pipe, deadlineOnly] {
        std::printf("ready\n");
        std::fflush(stdout);
        if (deadlineOnly) {
            pipe.startDeadline();
            holdMainThread();
        }
    });
    return QCoreApplication::exec();
}
