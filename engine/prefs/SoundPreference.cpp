#include "engine/prefs/SoundPreference.h"

#include "engine/prefs/GloamyardPreferences.h"
#include "engine/prefs/StoredValue.h"

#include <algorithm>
#include <cmath>

namespace gloam {

namespace {

QString key(SoundMode mode, const char* field)
{
    const auto raw = rawValue(mode);
    return QStringLiteral("audio.") + QString::fromLatin1(raw.data(), static_cast<int>(raw.size())) + QLatin1Char('.') +
           QString::fromLatin1(field);
}

// Clamps to [0, 1]; anything that is not a number is 0.
float clampedVolume(double value)
{
    if (std::isnan(value)) {
        return 0.0F;
    }
    return static_cast<float>(std::clamp(value, 0.0, 1.0));
}

// Six decimals keep the file readable (0.3, not 0.30000001192092896) and
// read back as the same single-precision volume.
double storedVolume(float volume)
{
    return std::round(static_cast<double>(clampedVolume(static_cast<double>(volume))) * 1e6) / 1e6;
}

} // namespace

bool SoundPreference::enabled(SoundMode mode)
{
    if (mode == SoundMode::preview) {
        return false;
    }
    const auto stored = GloamyardPreferences::defaults().value(key(mode, "enabled"));
    return stored && StoredValue::asBool(*stored);
}

float SoundPreference::volume(SoundMode mode)
{
    const auto stored = GloamyardPreferences::defaults().value(key(mode, "volume"));
    if (!stored) {
        return 0.75F;
    }
    return clampedVolume(StoredValue::asNumber(*stored));
}

void SoundPreference::save(SoundMode mode, bool enabled, float volume)
{
    if (mode == SoundMode::preview) {
        return;
    }
    GloamyardPreferences::defaults().setValues({
        {key(mode, "enabled"), enabled},
        {key(mode, "volume"), storedVolume(volume)},
    });
}

void SoundPreference::saveVolume(SoundMode mode, float volume)
{
    if (mode == SoundMode::preview) {
        return;
    }
    GloamyardPreferences::defaults().setValue(key(mode, "volume"), storedVolume(volume));
}

} // namespace gloam
