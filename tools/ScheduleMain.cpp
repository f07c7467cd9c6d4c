// Prints the scene's choreography: which events the clocks start, and when,
// over the first minutes of a run with every spot in view.
#include "engine/timelines/AtmosphereTimeline.h"
#include "engine/timelines/CharacterTimeline.h"
#include "engine/timelines/EasterEggTimeline.h"
#include "engine/timelines/ReactionTimeline.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    double seconds = 180.0;
    std::uint64_t seed = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::strtod(argv[++i], nullptr);
        } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
            seed = std::strtoull(argv[++i], nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: %s [--seconds N] [--seed N]\n", argv[0]);
            return 2;
        }
    }
    if (!(seconds > 0.0 && seconds < 86400.0)) {
        std::fprintf(stderr, "--seconds must be between 0 and 86400\n");
        return 2;
    }

    gloam::AtmosphereTimeline lightning;
    gloam::ReactionTimeline reactions;
    gloam::CharacterTimeline characters;
    gloam::EasterEggTimeline eggs(seed);
    const std::vector<std::string> graves{"GraveA", "GraveB", "GraveC"};
    const double step = 1.0 / 60.0;

    std::printf("Gloamyard choreography, %.0f s at 60 frames per second, egg seed %llu\n", seconds,
                static_cast<unsigned long long>(seed));
    for (double t = step; t <= seconds; t += step) { // t: seconds since start, after this frame
        eggs.advance(step);
        if (eggs.active) {
            continue; // nothing else runs while a surprise plays
        }
        if (eggs.due()) {
            const gloam::EasterEgg kind = eggs.nextKind;
            eggs.trigger(kind);
            std::printf("%8.2f  surprise %s (%.0f s)\n", t, std::string(gloam::rawValue(kind)).c_str(),
                        gloam::duration(kind));
            continue;
        }
        const bool struck = lightning.lightningStart.has_value();
        const bool glowing = reactions.pumpkinStart.has_value();
        const bool ghost = reactions.ghostStart.has_value();
        const bool witch = characters.witchStart.has_value();
        const bool hand = characters.handStart.has_value();
        lightning.advance(step);
        reactions.advance(step, graves);
        characters.advance(step, true, true);
        if (!struck && lightning.lightningStart)
            std::printf("%8.2f  lightning\n", t);
        if (!glowing && reactions.pumpkinStart)
            std::printf("%8.2f  pumpkins glow\n", t);
        if (!ghost && reactions.ghostStart)
            std::printf("%8.2f  ghost rises from %s\n", t, reactions.graveID->c_str());
        if (!witch && characters.witchStart)
            std::printf("%8.2f  witch crosses the moon\n", t);
        if (!hand && characters.handStart)
            std::printf("%8.2f  hand reaches out\n", t);
    }
    return 0;
}
