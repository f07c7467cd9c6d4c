#include "engine/prefs/FlashingPreference.h"

#include "engine/prefs/GloamyardPreferences.h"
#include "engine/prefs/StoredValue.h"

namespace gloam {

bool FlashingPreference::reduced()
{
    const auto stored = GloamyardPreferences::defaults().value(key);
    return stored && StoredValue::asBool(*stored);
}

void FlashingPreference::setReduced(bool reduced)
{
    GloamyardPreferences::defaults().setValue(key, reduced);
}

} // namespace gloam
