#include "saver/SignalPipe.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace gloam::saver {

namespace {

int mainPipe[2] = {-1, -1};
int watchdogPipe[2] = {-1, -1};

extern "C" void forward(int signal)
{
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    // Nothing else is safe here; a full pipe already has a stop waiting.
    [[maybe_unused]] auto written = ::write(mainPipe[1], &byte, 1);
    if (watchdogPipe[1] >= 0) {
        written = ::write(watchdogPipe[1], &byte, 1);
    }
    errno = saved;
}

void makePipe(int ends[2], int flags)
{
    if (::pipe2(ends, O_CLOEXEC | flags) != 0) {
        std::perror("gloamyard-saver: cannot make the signal pipe");
        std::exit(EXIT_FAILURE);
    }
}

} // namespace

SignalPipe::SignalPipe(std::function<void(int signal)> received, std::chrono::milliseconds deadline)
    : received_(std::move(received))
{
    makePipe(mainPipe, O_NONBLOCK);
    notifier_ = std::make_unique<QSocketNotifier>(mainPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { read(); });
    if (deadline > std::chrono::milliseconds::zero()) {
        makePipe(watchdogPipe, 0);
        const int readEnd = watchdogPipe[0];
        // Detached: it either ends the process or sees the pipe closed.
        std::thread([readEnd, deadline] {
            unsigned char byte = 0;
            ssize_t got = 0;
            do {
                got = ::read(readEnd, &byte, 1);
            } while (got < 0 && errno == EINTR);
            ::close(readEnd);
            if (got == 1) {
                std::this_thread::sleep_for(deadline);
                // No stdio here: the main thread may hold a stream's lock.
                ::_exit(EXIT_SUCCESS);
            }
        }).detach();
    }
    struct sigaction action {};
    action.sa_handler = forward;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

SignalPipe::~SignalPipe()
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    notifier_.reset();
    ::close(mainPipe[0]);
    ::close(mainPipe[1]);
    mainPipe[0] = mainPipe[1] = -1;
    if (watchdogPipe[1] >= 0) {
        // The watchdog reads the end of the pipe and goes.
        const int writeEnd = watchdogPipe[1];
        watchdogPipe[1] = -1;
        ::close(writeEnd);
    }
}

void SignalPipe::read()
{
    unsigned char byte = 0;
    while (::read(mainPipe[0], &byte, 1) == 1) {
        if (received_) {
            received_(byte);
        }
    }
}

} // namespace gloam::saver
