#pragma once

#include <QString>

namespace gloam {

// "Reduce flashing": whether lightning lights the scene with a gentle rise
// and fall instead of its flicker. Off by default; shared by the app and the
// screen saver like the vehicle.
class FlashingPreference {
public:
    static inline const QString key = QStringLiteral("reduceFlashing");

    static bool reduced();
    static void setReduced(bool reduced);
};

} // namespace gloam
