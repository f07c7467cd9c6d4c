#pragma once

#include <QDialog>

namespace gloam {

// The small window the options panel is laid out in: titled only (no close
// button: the panel ends through Save or Cancel), a fixed 420 × 320 content
// area, and it may always take the keyboard focus, so Return and Escape
// reach its buttons.
class VehicleSettingsWindow : public QDialog {
public:
    static constexpr int contentWidth = 420;
    static constexpr int contentHeight = 320;

    explicit VehicleSettingsWindow(QWidget* parent = nullptr);

    // The content area holding the panel's controls; another window may take
    // it over (the screen saver's options sheet does). Null once taken.
    QWidget* contentView() const { return content_; }
    // Hands the content area over: it leaves this window, which is then empty.
    QWidget* takeContentView();

private:
    QWidget* content_;
};

} // namespace gloam
