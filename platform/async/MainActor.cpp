#include "platform/async/MainActor.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <stdexcept>

namespace gloam::async {

QObject* MainActor::context()
{
    QObject* app = QCoreApplication::instance();
    if (app == nullptr) {
        throw std::logic_error("the main actor needs a QCoreApplication; create one before starting tasks");
    }
    return app;
}

bool MainActor::isCurrentThread()
{
    const QObject* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
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
    QMetaObject::invokeMethod(app, std::move(job), Qt::QueuedConnection);
}

} // namespace gloam::async
