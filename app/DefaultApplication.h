#pragma once

#include <QString>

#include <optional>

namespace gloam::app {

// Asks the desktop which application opens a kind of file, through the
// freedesktop.org tools (xdg-mime), which read the same mimeapps.list files
// as the desktop's file opener.
class DefaultApplication {
public:
    // How long the answer may take before it counts as none.
    static constexpr int timeoutMilliseconds = 3000;

    // The desktop entry (such as "org.gnome.TextEditor.desktop") of the
    // default application for `mimeType`: empty when there is none, no
    // value when the desktop cannot be asked (no xdg-mime).
    static std::optional<QString> forMimeType(const QString& mimeType);
};

} // namespace gloam::app
