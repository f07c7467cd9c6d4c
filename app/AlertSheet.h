#pragma once

#include "platform/async/CancellationState.h"
#include "platform/async/Task.h"

#include <QPointer>
#include <QString>

#include <coroutine>
#include <memory>

class QMessageBox;

namespace gloam::app {

// An alert shown window-modal on its window (the desktop's counterpart of a
// sheet) that a task waits on:
//
//     co_await AlertSheet(box, "Couldn’t load Vantre", details);
//
// The task resumes on the main actor once the alert is dismissed. Cancelling
// the task closes the alert and ends the task with CancellationError.
class AlertSheet {
public:
    // `box`: the window's alert, shown again with these texts.
    AlertSheet(QMessageBox* box, QString message, QString informative);

    bool await_ready() const noexcept { return false; }
    template <typename P>
    void await_suspend(std::coroutine_handle<P> self)
    {
        present(self, async::detail::cancellationOf(self));
    }
    void await_resume() const;

private:
    void present(std::coroutine_handle<> self, std::shared_ptr<async::CancellationState> cancellation);

    QPointer<QMessageBox> box_;
    QString message_;
    QString informative_;
    std::shared_ptr<async::CancellationState> cancellation_;
};

} // namespace gloam::app
