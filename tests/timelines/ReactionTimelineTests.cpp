#include "engine/timelines/ReactionTimeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using gloam::ReactionTimeline;

namespace {

ReactionTimeline glowingFor(double age)
{
    ReactionTimeline timeline;
    timeline.pumpkinStart = 0.0;
    timeline.time = age;
    return timeline;
}

double flicker(double a)
{
    return 0.975 + 0.015 * std::sin(8.1 * a) + 0.01 * std::sin(13.7 * a);
}

} // namespace

TEST(ReactionTimelineTest, PumpkinEnvelopeRisesHoldsAndFalls)
{
    EXPECT_EQ(glowingFor(0.0).pumpkinStrength(), 0.0F);
    EXPECT_FLOAT_EQ(glowingFor(0.135).pumpkinStrength(), static_cast<float>(flicker(0.135) * 0.5));
    EXPECT_FLOAT_EQ(glowingFor(0.27).pumpkinStrength(), static_cast<float>(flicker(0.27)));
    EXPECT_FLOAT_EQ(glowingFor(3.0).pumpkinStrength(), static_cast<float>(flicker(3.0)));
    EXPECT_FLOAT_EQ(glowingFor(5.7).pumpkinStrength(), static_cast<float>(flicker(5.7)));
    EXPECT_FLOAT_EQ(glowingFor(5.85).pumpkinStrength(), static_cast<float>(flicker(5.85) * (0.15 / 0.3)));
    EXPECT_EQ(glowingFor(6.0).pumpkinStrength(), 0.0F);
    EXPECT_EQ(ReactionTimeline().pumpkinStrength(), 0.0F);
}

TEST(ReactionTimelineTest, AutomaticReactionsFollowTheirSchedule)
{
    ReactionTimeline timeline;
    const std::vector<std::string> graves{"A", "B", "C"};
    std::vector<double> pumpkins;
    std::vector<std::string> ghosts;
    std::vector<double> ghostTimes;
    for (int frame = 0; frame < 120 * 64; ++frame) { // 1/64 s steps hit due times exactly
        const auto pumpkinBefore = timeline.pumpkinStart;
        const auto ghostBefore = timeline.ghostStart;
        timeline.advance(1.0 / 64, graves);
        if (timeline.pumpkinStart && timeline.pumpkinStart != pumpkinBefore) {
            pumpkins.push_back(*timeline.pumpkinStart);
        }
        if (timeline.ghostStart && timeline.ghostStart != ghostBefore) {
            ghosts.push_back(*timeline.graveID);
            ghostTimes.push_back(*timeline.ghostStart);
        }
    }
    const std::vector<double> expectedPumpkins{9, 40, 71, 102};
    ASSERT_EQ(pumpkins.size(), expectedPumpkins.size());
    for (std::size_t i = 0; i < pumpkins.size(); ++i) {
        EXPECT_EQ(pumpkins[i], expectedPumpkins[i]);
    }
    EXPECT_EQ(ghosts, (std::vector<std::string>{"A", "B", "C", "A"}));
    const std::vector<double> expectedGhosts{17, 44, 71, 98};
    for (std::size_t i = 0; i < ghostTimes.size(); ++i) {
        EXPECT_EQ(ghostTimes[i], expectedGhosts[i]);
    }
}

TEST(ReactionTimelineTest, GhostWaitsForAVisibleGraveWithoutUsingUpTheSequence)
{
    ReactionTimeline timeline;
    timeline.nextPumpkin = 1000;
    timeline.advance(17.0, {});
    EXPECT_FALSE(timeline.ghostStart.has_value());
    EXPECT_EQ(timeline.nextGhost, 17.5);
    EXPECT_EQ(timeline.ghostSequence, 0);

    timeline.advance(0.25, {});
    EXPECT_EQ(timeline.nextGhost, 17.5) << "not due again before the retry";
    timeline.advance(0.25, {"North", "South"});
    ASSERT_TRUE(timeline.ghostStart.has_value());
    EXPECT_EQ(*timeline.ghostStart, 17.5);
    EXPECT_EQ(timeline.graveID, "North");
    EXPECT_EQ(timeline.ghostSequence, 1);
}

TEST(ReactionTimelineTest, DueGhostDuringARiseStillAdvancesTheSequence)
{
    ReactionTimeline timeline;
    timeline.automatic = false;
    ASSERT_TRUE(timeline.triggerGhost("Manual"));
    timeline.automatic = true;
    timeline.nextGhost = 0.5; // due while the manual ghost rises
    timeline.nextPumpkin = 1000;
    timeline.advance(1.0, {"A", "B"});
    EXPECT_EQ(timeline.graveID, "Manual");
    EXPECT_EQ(timeline.ghostSequence, 1);
    EXPECT_EQ(timeline.nextGhost, 0.5) << "a refused start does not reschedule";
}

TEST(ReactionTimelineTest, TriggersAreRefusedWhileTheirEventRuns)
{
    ReactionTimeline timeline;
    timeline.automatic = false;
    ASSERT_TRUE(timeline.triggerPumpkins());
    EXPECT_EQ(timeline.nextPumpkin, 31.0);
    timeline.time = 5.9;
    EXPECT_FALSE(timeline.triggerPumpkins());
    timeline.time = 6.0;
    EXPECT_TRUE(timeline.triggerPumpkins());

    timeline.time = 10.0;
    ASSERT_TRUE(timeline.triggerGhost("A"));
    EXPECT_EQ(timeline.nextGhost, 37.0);
    ASSERT_TRUE(timeline.ghostAge().has_value());
    EXPECT_DOUBLE_EQ(*timeline.ghostAge(), 0.0);
    timeline.time = 11.6;
    EXPECT_FALSE(timeline.triggerGhost("B"));
    EXPECT_EQ(timeline.graveID, "A");
    timeline.advance(0.05, {});
    EXPECT_FALSE(timeline.ghostAge().has_value());
    EXPECT_FALSE(timeline.graveID.has_value()) << "the grave is cleared with the ghost";
}

TEST(ReactionTimelineTest, SetAutomaticNeverBringsEventsForward)
{
    ReactionTimeline timeline;
    timeline.time = 100;
    timeline.nextGhost = 90;
    timeline.nextPumpkin = 200;
    timeline.setAutomatic(true);
    EXPECT_EQ(timeline.nextGhost, 107.0);
    EXPECT_EQ(timeline.nextPumpkin, 200.0);

    timeline.triggerPumpkins();
    timeline.setAutomatic(false);
    timeline.advance(1.0, {});
    EXPECT_GT(timeline.pumpkinStrength(), 0.5F) << "an event in progress runs on";
}
