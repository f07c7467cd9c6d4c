#include "platform/process/SignalPipe.h"

#include <QPointer>
#include <QSocketNotifier>

#include <fcntl.h>
#include <semaphore.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace gloam::platform {

namespace {

// What the handler touches: plain descriptors and lock-free atomics only.
// The pipe and the semaphore live as long as the process.
int pipeEnds[2] = {-1, -1};
std::atomic<bool> armed{false};
std::atomic<bool> deadlineRunning{false};
std::atomic<long long> deadlineMs{0};
std::atomic<int> deadlineStatus{0};
sem_t deadlineWake;
// Set before arming, read only by the watchdog thread after it is woken.
std::function<void()> deadlineLastWords;
std::mutex deadlineLastWordsLock;

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<long long>::is_always_lock_free &&
                  std::atomic<int>::is_always_lock_free,
              "the signal handler may only touch lock-free atomics");

void wakeDeadline()
{
    // Only the first wake counts; sem_post is async-signal-safe.
    if (armed.load() && !deadlineRunning.exchange(true)) {
        sem_post(&deadlineWake);
    }
}

extern "C" void forwardSignal(int signalNumber)
{
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    // Non-blocking: a full pipe already holds signals the loop will read.
    [[maybe_unused]] const auto written = ::write(pipeEnds[1], &byte, 1);
    wakeDeadline();
    errno = saved;
}

void makePipeOnce()
{
    static std::once_flag made;
    std::call_once(made, [] {
        if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
            throw std::runtime_error(std::string("cannot make the signal pipe: ") + std::strerror(errno));
        }
    });
}

void startWatchdogOnce()
{
    static std::once_flag started;
    std::call_once(started, [] {
        sem_init(&deadlineWake, 0, 0);
        std::thread([] {
            for (;;) {
                while (sem_wait(&deadlineWake) != 0 && errno == EINTR) {
                }
                const long long ms = deadlineMs.load();
                timespec remaining{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
                while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
                }
                if (armed.load()) {
                    std::function<void()> lastWords;
                    {
                        const std::lock_guard lock(deadlineLastWordsLock);
                        lastWords = deadlineLastWords;
                    }
                    if (lastWords) {
                        lastWords();
                    }
                    ::_exit(deadlineStatus.load());
                }
                // Disarmed meanwhile: wait for the next arming.
                deadlineRunning.store(false);
            }
        }).detach();
    });
}

} // namespace

SignalPipe::SignalPipe(std::vector<int> signalNumbers, QObject* parent)
    : QObject(parent)
    , signalNumbers_(std::move(signalNumbers))
{
    makePipeOnce();
    // Whatever an earlier owner left unread is not this owner's.
    readPending();
    notifier_ = std::make_unique<QSocketNotifier>(pipeEnds[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readPending(); });

    struct sigaction action {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    previous_.resize(signalNumbers_.size());
    for (std::size_t index = 0; index < signalNumbers_.size(); ++index) {
        sigaction(signalNumbers_[index], &action, &previous_[index]);
    }
}

SignalPipe::~SignalPipe()
{
    armed.store(false);
    for (std::size_t index = signalNumbers_.size(); index-- > 0;) {
        sigaction(signalNumbers_[index], &previous_[index], nullptr);
    }
    notifier_.reset();
}

void SignalPipe::endProcessAfter(std::chrono::milliseconds deadline, int status, std::function<void()> lastWords)
{
    {
        const std::lock_guard lock(deadlineLastWordsLock);
        deadlineLastWords = std::move(lastWords);
    }
    startWatchdogOnce();
    deadlineMs.store(deadline.count() > 0 ? deadline.count() : 0);
    deadlineStatus.store(status);
    armed.store(true);
}

void SignalPipe::startDeadline()
{
    wakeDeadline();
}

void SignalPipe::readPending()
{
    unsigned char byte = 0;
    std::vector<int> got;
    while (::read(pipeEnds[0], &byte, 1) == 1) {
        got.push_back(byte);
    }
    if (notifier_ == nullptr) {
        return;
    }
    // A receiver may end this object; what it has not seen then is dropped.
    const QPointer<SignalPipe> alive(this);
    for (const int signalNumber : got) {
        Q_EMIT received(signalNumber);
        if (!alive) {
            return;
        }
    }
}

} // namespace gloam::platform
