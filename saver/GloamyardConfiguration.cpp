#include "saver/GloamyardConfiguration.h"

#include "engine/prefs/SaverDiagnostics.h"
#include "engine/prefs/VehiclePreference.h"

#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace gloam::saver {

GloamyardConfiguration::GloamyardConfiguration() = default;

GloamyardConfiguration::~GloamyardConfiguration()
{
    settings.finish = nullptr;
    // A panel no host took over is still this controller's.
    if (view_ != nullptr && view_->parent() == nullptr) {
        delete view_;
    }
}

QWidget* GloamyardConfiguration::view()
{
    if (view_ == nullptr) {
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
