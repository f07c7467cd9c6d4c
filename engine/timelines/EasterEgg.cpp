#include "engine/timelines/EasterEgg.h"

namespace gloam {

std::string_view rawValue(EasterEgg egg)
{
    switch (egg) {
    case EasterEgg::skyrell:
        return "skyrell";
    case EasterEgg::amperle:
        return "amperle";
    }
    return {};
}

std::optional<EasterEgg> easterEggFromRawValue(std::string_view raw)
{
    for (EasterEgg egg : allEasterEggs) {
        if (rawValue(egg) == raw) {
            return egg;
        }
    }
    return std::nullopt;
}

double duration(EasterEgg egg)
{
    switch (egg) {
    case EasterEgg::skyrell:
        return 13.0;
    case EasterEgg::amperle:
        return 19.0;
    }
    return 0.0;
}

} // namespace gloam
