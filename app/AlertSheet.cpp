#include "app/AlertSheet.h"

#include "platform/async/CancellationError.h"
#include "platform/async/MainActor.h"

#include <QMessageBox>

namespace gloam::app {

AlertSheet::AlertSheet(QMessageBox* box, QString message, QString informative)
    : box_(box)
    , message_(std::move(message))
    , informative_(std::move(informative))
{}

void AlertSheet::present(std::coroutine_handle<> self, std::shared_ptr<async::CancellationState> cancellation)
{
    cancellation_ = std::move(cancellation);
    QMessageBox* box = box_.data();

    // Dismissed, rejected by a cancellation, or destroyed with its window:
    // the task resumes once, in a later turn of the event loop.
    struct Wait {
        std::coroutine_handle<> task;
        bool resumed = false;
        std::shared_ptr<async::CancellationState> cancellation;
        async::CancellationState::CallbackId callback = 0;
    };
    auto wait = std::make_shared<Wait>(Wait{self, false, cancellation_, 0});
    if (box == nullptr) {
        // The window is gone: nothing to show, nothing to wait for.
        async::MainActor::post([self] { self.resume(); });
        return;
    }
    box->setText(message_);
    box->setInformativeText(informative_);
    const auto resume = [wait] {
        if (wait->resumed) {
            return;
        }
        wait->resumed = true;
        if (wait->cancellation && wait->callback != 0) {
            wait->cancellation->removeCallback(wait->callback);
        }
        async::MainActor::post([task = wait->task] { task.resume(); });
    };
    QObject::connect(box, &QDialog::finished, box, resume, Qt::SingleShotConnection);
    QObject::connect(box, &QObject::destroyed, resume);
    if (cancellation_) {
        QPointer<QMessageBox> weak(box);
        wait->callback = cancellation_->onCancel([weak] {
            async::MainActor::post([weak] {
                if (weak) {
                    weak->reject();
                }
            });
        });
    }
    box->open();
}

void AlertSheet::await_resume() const
{
    if (cancellation_ && cancellation_->isCancelled()) {
        throw async::CancellationError();
    }
}

} // namespace gloam::app
