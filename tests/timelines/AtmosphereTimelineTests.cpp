#include "engine/timelines/AtmosphereTimeline.h"

#include <gtest/gtest.h>

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
