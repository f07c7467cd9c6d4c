#pragma once

#include "engine/prefs/VehicleSettings.h"

#include <QPointer>
#include <QSize>
#include <QWidget>

#include <functional>
#include <memory>

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

    // The panel, loaded on first use. A host that puts it into a window of
    // its own owns it from then on (Qt's parent owns its children); a panel
    // no window took is this controller's to delete. Null once the host's
    // window has deleted it.
    QWidget* view();
    bool isViewLoaded() const { return loaded_; }
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
    // Cleared by Qt when the host's window deletes the panel first.
    QPointer<QWidget> view_;
    bool loaded_ = false;
    QSize preferredContentSize_;
};

} // namespace gloam::saver
