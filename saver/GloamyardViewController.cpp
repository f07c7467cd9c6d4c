#include "saver/GloamyardViewController.h"

#include "saver/GloamyardNativeView.h"

namespace gloam::saver {

GloamyardViewController::GloamyardViewController(SaverServices& services)
    : services_(services)
{}

GloamyardViewController::~GloamyardViewController()
{
    // A view that was never loaded is not made for this.
    if (view_) {
        view_->shutdown("controller deinit");
    }
}

const std::shared_ptr<GloamyardNativeView>& GloamyardViewController::view()
{
    if (!view_) {
        loadView();
    }
    return view_;
}

void GloamyardViewController::loadView()
{
    view_ = GloamyardNativeView::make(services_, SaverSize{}, false);
}

} // namespace gloam::saver
