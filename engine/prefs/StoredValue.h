#pragma once

#include <QJsonValue>

namespace gloam {

// Reading the shared store's values leniently: the file is the user's too,
// and a hand-edited "yes" or "0.5" means what it says.
struct StoredValue {
    // true, a non-zero number, or the text "true", "yes" or "1"; anything
    // else is false.
    static bool asBool(const QJsonValue& value);
    // A number, a Bool as 1 or 0, or a text that reads as a number; anything
    // else is 0.
    static double asNumber(const QJsonValue& value);
};

} // namespace gloam
