#include "platform/async/WorkerPool.h"

#include <QThread>
#include <QThreadPool>

#include <algorithm>

namespace gloam::async {

WorkerPool::WorkerPool()
    : pool_(new QThreadPool())
{
    // At least two workers, so that one long parse cannot hold up every
    // other load on a small machine.
    pool_->setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
    pool_->setObjectName(QStringLiteral("gloamyard-workers"));
}

WorkerPool& WorkerPool::shared()
{
    // Deliberately never destroyed: jobs may still be finishing at exit.
    static WorkerPool* instance = new WorkerPool();
    return *instance;
}

void WorkerPool::start(std::function<void()> job)
{
    pool_->start(std::move(job));
}

void WorkerPool::waitForDone()
{
    pool_->waitForDone();
}

} // namespace gloam::async
