// A second process for the preference tests: reads and writes the shared
// store and the diagnostics log the way the app or the screen saver does.
#include "engine/prefs/FlashingPreference.h"
#include "engine/prefs/SaverDiagnostics.h"
#include "engine/prefs/SoundPreference.h"
#include "engine/prefs/VehiclePreference.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    using namespace gloam;
    if (argc >= 3 && std::strcmp(argv[1], "set-vehicle") == 0) {
        VehiclePreference::setSelected(vehicleFromRawValue(argv[2]).value_or(Vehicle::corsel));
    } else if (argc >= 2 && std::strcmp(argv[1], "get-vehicle") == 0) {
        std::printf("%s\n", std::string(rawValue(VehiclePreference::selected())).c_str());
    } else if (argc >= 5 && std::strcmp(argv[1], "save-sound") == 0) {
        SoundPreference::save(soundModeFromRawValue(argv[2]).value_or(SoundMode::preview),
                              std::strcmp(argv[3], "on") == 0, std::strtof(argv[4], nullptr));
    } else if (argc >= 3 && std::strcmp(argv[1], "get-sound") == 0) {
        const SoundMode mode = soundModeFromRawValue(argv[2]).value_or(SoundMode::preview);
        std::printf("%s %.2f\n", SoundPreference::enabled(mode) ? "on" : "off",
                    static_cast<double>(SoundPreference::volume(mode)));
    } else if (argc >= 3 && std::strcmp(argv[1], "set-flashing") == 0) {
        FlashingPreference::setReduced(std::strcmp(argv[2], "reduced") == 0);
    } else if (argc >= 2 && std::strcmp(argv[1], "get-flashing") == 0) {
        std::printf("%s\n", FlashingPreference::reduced() ? "reduced" : "normal");
    } else if (argc >= 2 && std::strcmp(argv[1], "record") == 0) {
        for (int i = 2; i < argc; ++i) {
            saverRecord([&] { return std::string(argv[i]); });
        }
        std::printf("%d\n", static_cast<int>(::getpid()));
    } else {
        std::fprintf(stderr, "usage: prefs_peer set-vehicle RAW | get-vehicle | save-sound MODE on|off VOLUME | "
                             "get-sound MODE | set-flashing reduced|normal | get-flashing | record MESSAGE...\n");
        return 2;
    }
    return 0;
}
