#pragma once

#include <QWidget>

#include <functional>

namespace gloam::installer {

// The installer's one window. Closing it asks its owner first, which refuses
// while an operation runs.
class InstallerWindow : public QWidget {
public:
    explicit InstallerWindow(std::function<bool()> shouldClose);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::function<bool()> shouldClose_;
};

} // namespace gloam::installer
