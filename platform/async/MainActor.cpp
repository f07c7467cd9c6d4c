#include "platform/async/MainActor.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <deque>
#include <mutex>
#include <stdexcept>

namespace gloam::async {

namespace {

// Posted jobs wait here rather than inside the functor Qt queues: the hand-
// over from the posting thread to the main thread then goes through a mutex
// every tool can see (Qt's queue lock is inside libQt6Core, which
// ThreadSanitizer cannot look into), and Qt carries only the wake-up. Each
// wake-up runs the oldest job, so jobs run in the order they were posted.
std::mutex mailboxMutex;
std::deque<std::function<void()>> mailbox;

void runNextJob()
{
    std::function<void()> job;
    {
        std::lock_guard lock(mailboxMutex);
        if (mailbox.empty()) {
            return;
        }
        job = std::move(mailbox.front());
        mailbox.pop_front();
    }
    job();
}

} // namespace

QObject* MainActor::context()
{
    QObject* app = QCoreApplication::instance();
    if (app == nullptr) {
        throw std::logic_error("the main actor needs a QCoreApplication; create one before starting tasks");
    }
    return app;
}

void MainActor::post(std::function<void()> job)
{
    QObject* app = QCoreApplication::instance();
    if (app == nullptr) {
        // The application has ended while a worker job was still running:
        // no event loop will ever run the continuation, so it is dropped.
        // Throwing here would end the process from a worker thread.
        return;
    }
    {
        std::lock_guard lock(mailboxMutex);
        mailbox.push_back(std::move(job));
    }
    QMetaObject::invokeMethod(app, &runNextJob, Qt::QueuedConnection);
}

} // namespace gloam::async
