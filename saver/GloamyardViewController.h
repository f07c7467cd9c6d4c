#pragma once

#include <memory>

namespace gloam::saver {

class GloamyardNativeView;
class SaverServices;

// Supplies the screen saver's view for one host window: the host makes one
// controller per monitor (and one for the settings program's preview).
// When the host drops the controller, its view is shut down.
class GloamyardViewController {
public:
    explicit GloamyardViewController(SaverServices& services);
    ~GloamyardViewController();
    GloamyardViewController(const GloamyardViewController&) = delete;
    GloamyardViewController& operator=(const GloamyardViewController&) = delete;

    // The view, made on first use.
    const std::shared_ptr<GloamyardNativeView>& view();
    bool isViewLoaded() const { return view_ != nullptr; }
    // Makes the view: zero frame, not a preview.
    void loadView();

private:
    SaverServices& services_;
    std::shared_ptr<GloamyardNativeView> view_;
};

} // namespace gloam::saver
