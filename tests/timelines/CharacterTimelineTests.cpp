#include "engine/timelines/CharacterTimeline.h"

#include <gtest/gtest.h>

#include <vector>

using gloam::CharacterTimeline;

TEST(CharacterTimelineTest, WitchAndHandFollowTheirScheduleWhenInView)
{
    CharacterTimeline timeline;
    std::vector<double> witches;
    std::vector<double> hands;
    for (int frame = 0; frame < 100 * 64; ++frame) { // 1/64 s steps hit due times exactly
        const auto witchBefore = timeline.witchStart;
        const auto handBefore = timeline.handStart;
        timeline.advance(1.0 / 64, true, true);
        if (timeline.witchStart && timeline.witchStart != witchBefore) {
            witches.push_back(*timeline.witchStart);
        }
        if (timeline.handStart && timeline.handStart != handBefore) {
            hands.push_back(*timeline.handStart);
        }
    }
    const std::vector<double> expectedWitches{12, 49, 86};
    const std::vector<double> expectedHands{25, 58, 91};
    ASSERT_EQ(witches.size(), expectedWitches.size());
    ASSERT_EQ(hands.size(), expectedHands.size());
    for (std::size_t i = 0; i < witches.size(); ++i) {
        EXPECT_EQ(witches[i], expectedWitches[i]);
        EXPECT_EQ(hands[i], expectedHands[i]);
    }
}

TEST(CharacterTimelineTest, HiddenMoonIsCheckedAgainEveryHalfSecond)
{
    CharacterTimeline timeline;
    timeline.nextHand = 1000;
    timeline.advance(12.0, false, false);
    EXPECT_EQ(timeline.nextWitch, 12.5);
    timeline.advance(0.3, true, false);
    EXPECT_FALSE(timeline.witchStart.has_value()) << "not due again before the retry";
    timeline.advance(0.2, true, false);
    ASSERT_TRUE(timeline.witchStart.has_value());
    EXPECT_DOUBLE_EQ(*timeline.witchStart, 12.5);
    EXPECT_DOUBLE_EQ(timeline.nextWitch, 49.5);
}

TEST(CharacterTimelineTest, TriggersAndAges)
{
    CharacterTimeline witch;
    witch.automatic = false;
    witch.time = 3;
    ASSERT_TRUE(witch.triggerWitch());
    EXPECT_EQ(witch.nextWitch, 40.0);
    witch.time = 7.5;
    EXPECT_FALSE(witch.triggerWitch());
    EXPECT_EQ(witch.nextWitch, 40.0) << "a refused trigger does not move the schedule";
    EXPECT_EQ(*witch.witchAge(), 4.5);
    witch.time = 7.75;
    EXPECT_FALSE(witch.witchAge().has_value()) << "the witch event lasts 4.7 s";

    CharacterTimeline hand;
    hand.automatic = false;
    ASSERT_TRUE(hand.triggerHand());
    EXPECT_EQ(hand.nextHand, 33.0);
    hand.advance(3.5, false, false);
    EXPECT_EQ(*hand.handAge(), 3.5);
    EXPECT_FALSE(hand.triggerHand());
    hand.advance(0.15, false, false);
    EXPECT_FALSE(hand.handStart.has_value()) << "the hand event lasts 3.65 s";
    EXPECT_TRUE(hand.triggerHand());
}

TEST(CharacterTimelineTest, SetAutomaticWaitsFiveAndNineSeconds)
{
    CharacterTimeline timeline;
    timeline.time = 100;
    timeline.setAutomatic(true);
    EXPECT_EQ(timeline.nextWitch, 105.0);
    EXPECT_EQ(timeline.nextHand, 109.0);
    timeline.setAutomatic(false);
    timeline.advance(50, true, true);
    EXPECT_FALSE(timeline.witchStart.has_value());
    EXPECT_FALSE(timeline.handStart.has_value());
}
