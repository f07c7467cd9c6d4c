#pragma once

#include "engine/prefs/VehicleSettings.h"

#include <QSize>

#include <functional>
#include <memory>

class QWidget;

namespace gloam::saver {

// Supplies the options sheet: the panel of VehicleSettings, taken out of
// its own window and shown by the host (here the `--configure` dialog).
// Saving only stores the choices; running saver views pick them up the next
// time they build a scene or allow sound.
class GloamyardConfiguration {
public:
    GloamyardConfiguration();
    ~GloamyardConfiguration();
    GloamyardConfiguration(const GloamyardConfiguration&) = delete;
    GloamyardConfiguration& operator=(const GloamyardConfiguration&) = delete;

    VehicleSettings settings;

    // The panel, loaded on first use; the host shows it and owns it from then on.
    QWidget* view();
    bool isViewLoaded() const { return view_ != nullptr; }
    void loadView();
    QSize preferredContentSize() const { return preferredContentSize_; }

    // The host's calls around a presentation.
    void configureSheetWillPresent();
    void viewDidAppear();
    // Tells the host the sheet is done (after Save and after Cancel).
    void configureSheetDidEnd();

    // The host's side of `configureSheetDidEnd`.
    std::function<void()> onSheetDidEnd;

private:
    QWidget* view_ = nullptr;
    QSize preferredContentSize_;
};

} // namespace gloam::saver
