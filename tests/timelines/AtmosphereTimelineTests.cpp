#include "engine/timelines/AtmosphereTimeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using gloam::AtmosphereTimeline;

namespace {

AtmosphereTimeline strikeAt(double age)
{
    AtmosphereTimeline timeline;
    timeline.lightningStart = 0.0;
    timeline.time = age;
    return timeline;
}

// Advances in 1/64 s steps (exact in binary, so the due times are hit
// exactly) and returns the clock times at which strikes began.
std::vector<double> strikeTimes(AtmosphereTimeline& timeline, double until)
{
    std::vector<double> starts;
    for (int frame = 0; frame < static_cast<int>(until * 64); ++frame) {
        const auto before = timeline.lightningStart;
        timeline.advance(1.0 / 64);
        if (timeline.lightningStart && timeline.lightningStart != before) {
            starts.push_back(*timeline.lightningStart);
        }
    }
    return starts;
}

// One strike's levels as 30 frames a second would see them, from a second
// before it to a second after, with the strike starting `phase` seconds
// into a frame.
template <typename Level>
std::vector<float> framesOfAStrike(double phase, Level level)
{
    std::vector<float> levels;
    for (int frame = -30; frame < 126; ++frame) {
        levels.push_back(level(strikeAt(frame / 30.0 + phase)));
    }
    return levels;
}

// The largest change (highest minus lowest) within any `window` consecutive values.
float largestSwing(const std::vector<float>& values, std::size_t window)
{
    float largest = 0.0F;
    for (std::size_t start = 0; start + window <= values.size(); ++start) {
        const auto [low, high] = std::minmax_element(values.begin() + static_cast<long>(start),
                                                     values.begin() + static_cast<long>(start + window));
        largest = std::max(largest, *high - *low);
    }
    return largest;
}

} // namespace

TEST(AtmosphereTimelineTest, EnvelopeInterpolatesBetweenItsPoints)
{
    struct Case {
        double age;
        float expected;
    };
    const float between = 0.9F + (0.05F - 0.9F) * static_cast<float>((0.2 - 0.167) / (0.233 - 0.167));
    const Case cases[] = {
        {0.0, 0.0F},    {0.067, 1.0F}, {0.2, between}, {1.6, 1.0F},  {2.2, 0.61F},
        {3.1999, 0.0F}, {3.2, 0.0F},   {5.0, 0.0F},    {-0.1, 0.0F},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(strikeAt(c.age).strength(), c.expected, 2e-4F) << "age " << c.age;
    }
    EXPECT_FLOAT_EQ(strikeAt(0.2).strength(), between);
    EXPECT_EQ(AtmosphereTimeline().strength(), 0.0F);
}

TEST(AtmosphereTimelineTest, AutomaticStrikesFollowTheIntervalSequence)
{
    AtmosphereTimeline timeline;
    const auto starts = strikeTimes(timeline, 100.0);
    const std::vector<double> expected{4, 22, 45, 65, 83};
    ASSERT_EQ(starts.size(), expected.size());
    for (std::size_t i = 0; i < starts.size(); ++i) {
        EXPECT_EQ(starts[i], expected[i]) << "strike " << i;
    }
    EXPECT_EQ(timeline.sequenceIndex, 5);
}

TEST(AtmosphereTimelineTest, TriggerIsRefusedDuringAStrikeAndAcceptedFromItsEnd)
{
    AtmosphereTimeline timeline;
    timeline.automatic = false;
    ASSERT_TRUE(timeline.trigger());
    timeline.time = 3.19;
    const AtmosphereTimeline before = timeline;
    EXPECT_FALSE(timeline.trigger());
    EXPECT_EQ(timeline.lightningStart, before.lightningStart);
    EXPECT_EQ(timeline.nextAutomatic, before.nextAutomatic);
    EXPECT_EQ(timeline.sequenceIndex, before.sequenceIndex);

    timeline.time = 3.2; // the old strike is not cleared yet: no advance ran
    EXPECT_TRUE(timeline.trigger());
    EXPECT_EQ(timeline.lightningStart, 3.2);
}

TEST(AtmosphereTimelineTest, ManualStrikePushesTheNextAutomaticOne)
{
    AtmosphereTimeline timeline;
    timeline.nextAutomatic = 100; // keep the automatic one out of the way
    timeline.time = 10;
    ASSERT_TRUE(timeline.trigger());
    EXPECT_EQ(timeline.nextAutomatic, 28.0);
    EXPECT_EQ(timeline.sequenceIndex, 1);
}

TEST(AtmosphereTimelineTest, AdvanceClearsFinishedStrikesAndIgnoresNegativeSteps)
{
    AtmosphereTimeline timeline;
    timeline.automatic = false;
    timeline.trigger();
    timeline.advance(-5.0);
    EXPECT_EQ(timeline.time, 0.0);
    timeline.advance(3.2);
    EXPECT_FALSE(timeline.lightningStart.has_value());
}

TEST(AtmosphereTimelineTest, TurningAutomaticBackOnWaitsAtLeastFourSeconds)
{
    AtmosphereTimeline timeline;
    timeline.setAutomatic(false);
    for (int i = 0; i < 1000; ++i) {
        timeline.advance(0.01);
    }
    EXPECT_FALSE(timeline.lightningStart.has_value()) << "no strike while automatic is off";
    timeline.setAutomatic(true);
    EXPECT_DOUBLE_EQ(timeline.nextAutomatic, timeline.time + 4.0);

    // A later due time is kept.
    timeline.nextAutomatic = timeline.time + 30;
    timeline.setAutomatic(true);
    EXPECT_DOUBLE_EQ(timeline.nextAutomatic, timeline.time + 30);
}

TEST(AtmosphereTimelineTest, GentleLightRisesAndFallsOverTheSameStrike)
{
    struct Case {
        double age;
        float expected;
    };
    const Case cases[] = {
        {-0.1, 0.0F}, {0.0, 0.0F},   {0.35, 0.03F},  {0.525, 0.065F}, {1.4, 0.22F}, {1.55, 0.22F},
        {2.3, 0.14F}, {2.85, 0.04F}, {3.1999, 0.0F}, {3.2, 0.0F},     {5.0, 0.0F},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(strikeAt(c.age).gentleStrength(), c.expected, 2e-4F) << "age " << c.age;
    }
    EXPECT_EQ(AtmosphereTimeline().gentleStrength(), 0.0F) << "no strike, no light";
}

TEST(AtmosphereTimelineTest, GentleLightNeverSwingsAFlashWithinASecond)
{
    const auto flicker = [](const AtmosphereTimeline& t) { return t.strength(); };
    const auto gentle = [](const AtmosphereTimeline& t) { return t.gentleStrength(); };
    for (const double phase : {0.0, 0.01, 0.0167, 0.025}) {
        const std::vector<float> flickerLevels = framesOfAStrike(phase, flicker);
        const std::vector<float> gentleLevels = framesOfAStrike(phase, gentle);
        EXPECT_GT(largestSwing(flickerLevels, 30), 0.9F) << "the flicker itself is a flash; phase " << phase;
        EXPECT_LE(largestSwing(gentleLevels, 30), AtmosphereTimeline::gentleSwingPerSecond) << "phase " << phase;
        // One rise and one fall: no frame-to-frame reversal while it rises
        // or after it has begun to fall.
        const auto peak = std::max_element(gentleLevels.begin(), gentleLevels.end());
        EXPECT_TRUE(std::is_sorted(gentleLevels.begin(), peak + 1)) << "phase " << phase;
        EXPECT_TRUE(std::is_sorted(peak, gentleLevels.end(), std::greater<>())) << "phase " << phase;
        EXPECT_GT(*peak, 0.15F) << "the strike still lights the scene";
    }
}
