#include "engine/sound/SoundCueClock.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

using namespace gloam;

namespace {

SoundCueAges ages(std::initializer_list<std::pair<SoundCue, double>> entries)
{
    SoundCueAges result;
    for (const auto& [cue, age] : entries) {
        result.set(cue, age);
    }
    return result;
}

} // namespace

TEST(SoundCueTest, CueTable)
{
    EXPECT_EQ(file(SoundCue::titleThunder), "thunder.wav");
    EXPECT_EQ(file(SoundCue::hillThunder), "hill-thunder.wav");
    EXPECT_EQ(file(SoundCue::openingWitch), "witch.wav");
    for (SoundCue cue : {SoundCue::thunder, SoundCue::witch, SoundCue::pumpkin, SoundCue::ghost, SoundCue::hand,
                         SoundCue::charger, SoundCue::bats}) {
        EXPECT_EQ(file(cue), std::string(rawValue(cue)) + ".wav");
    }
    EXPECT_FLOAT_EQ(gain(SoundCue::hand), 0.32F);
    EXPECT_FLOAT_EQ(gain(SoundCue::titleThunder), 0.14F);
    EXPECT_EQ(soundCueFromRawValue("hillThunder"), SoundCue::hillThunder);
    EXPECT_FALSE(soundCueFromRawValue("hill-thunder").has_value());
}

TEST(SoundCueClockTest, StartRules)
{
    struct Step {
        SoundCueAges given;
        SoundCueSet expected;
    };
    auto only = [](SoundCue cue) {
        SoundCueSet set;
        set.insert(cue);
        return set;
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"fresh event starts", {{ages({{SoundCue::thunder, 0.0}}), only(SoundCue::thunder)}}},
        {"an event already 0.25 s old does not",
         {{ages({{SoundCue::thunder, 1.0}}), {}}, {ages({{SoundCue::thunder, 1.1}}), {}}}},
        {"continuing event does not start again",
         {{ages({{SoundCue::pumpkin, 0.1}}), only(SoundCue::pumpkin)}, {ages({{SoundCue::pumpkin, 0.2}}), {}}}},
        {"crossing zero starts even late",
         {{ages({{SoundCue::bats, -0.5}}), {}}, {ages({{SoundCue::bats, 0.9}}), only(SoundCue::bats)}}},
        {"a new event of the same cue",
         {{ages({{SoundCue::ghost, 1.0}}), {}}, {ages({{SoundCue::ghost, 0.05}}), only(SoundCue::ghost)}}},
        {"an older age past the window does not",
         {{ages({{SoundCue::ghost, 1.0}}), {}}, {ages({{SoundCue::ghost, 0.5}}), {}}}},
        {"after a gap the cue is fresh again",
         {{ages({{SoundCue::hand, 0.1}}), only(SoundCue::hand)},
          {ages({}), {}},
          {ages({{SoundCue::hand, 0.0}}), only(SoundCue::hand)}}},
    };
    for (const auto& c : cases) {
        SoundCueClock clock;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            EXPECT_EQ(clock.advance(c.steps[i].given), c.steps[i].expected) << c.name << ", step " << i;
        }
    }
}

TEST(SoundCueClockTest, SeveralCuesStartTogetherAndResetForgets)
{
    SoundCueClock clock;
    const SoundCueSet both = clock.advance(ages({{SoundCue::thunder, 0.0}, {SoundCue::witch, 0.1}}));
    EXPECT_TRUE(both.contains(SoundCue::thunder));
    EXPECT_TRUE(both.contains(SoundCue::witch));
    clock.advance(ages({{SoundCue::thunder, 0.2}}));
    clock.reset();
    EXPECT_TRUE(clock.advance(ages({{SoundCue::thunder, 0.24}})).contains(SoundCue::thunder));
}
