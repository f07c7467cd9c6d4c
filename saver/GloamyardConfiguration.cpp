#include "saver/GloamyardConfiguration.h"

#include "engine/prefs/SaverDiagnostics.h"
#include "engine/prefs/VehiclePreference.h"

#include <cstdio>
#include <cstdlib>

namespace gloam::saver {

GloamyardConfiguration::GloamyardConfiguration() = default;

GloamyardConfiguration::~GloamyardConfiguration()
{
    settings.finish = nullptr;
    // A panel no host took over is still this controller's. One the host's
    // window holds goes with that window, which may already have gone.
    if (view_ != nullptr && view_->parent() == nullptr) {
        delete view_.data();
    }
}

QWidget* GloamyardConfiguration::view()
{
    if (!loaded_) {
        loadView();
    }
    return view_;
}

void GloamyardConfiguration::loadView()
{
    QWidget* content = settings.window->takeContentView();
    if (content == nullptr) {
        std::fprintf(stderr, "gloamyard-saver: the options panel has no content\n");
        std::abort();
    }
    view_ = content;
    loaded_ = true;
    preferredContentSize_ = content->size();
    // The settings live inside this controller, so the callback cannot
    // outlive it; it ends the sheet whatever the answer was.
    settings.finish = [this](int) { configureSheetDidEnd(); };
}

void GloamyardConfiguration::configureSheetWillPresent()
{
    view();
    settings.prepare();
    saverRecord(
        [] { return "native options present vehicle=" + std::string(rawValue(VehiclePreference::selected())); });
}

void GloamyardConfiguration::viewDidAppear()
{
    saverRecord([] { return std::string("native options visible"); });
}

void GloamyardConfiguration::configureSheetDidEnd()
{
    if (onSheetDidEnd) {
        onSheetDidEnd();
    }
}

} // namespace gloam::saver
