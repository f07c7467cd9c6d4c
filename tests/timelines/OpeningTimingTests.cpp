#include "engine/timelines/OpeningTiming.h"

#include <gtest/gtest.h>

using gloam::OpeningTiming;

TEST(OpeningTimingTest, ClockStopsAtItsEnd)
{
    OpeningTiming opening;
    opening.advance(1.0);
    EXPECT_EQ(opening.time, 0.0) << "not playing before start";
    opening.start();
    opening.advance(15.0);
    EXPECT_TRUE(opening.playing);
    opening.advance(-1.0);
    EXPECT_EQ(opening.time, 15.0);
    opening.advance(1.0);
    EXPECT_EQ(opening.time, 15.4);
    EXPECT_FALSE(opening.playing);

    opening.start();
    EXPECT_EQ(opening.time, 0.0);
    opening.skip();
    EXPECT_EQ(opening.time, 15.4);
    EXPECT_FALSE(opening.playing);
}

TEST(OpeningTimingTest, EasingCurves)
{
    struct Case {
        float actual;
        float expected;
    };
    const Case cases[] = {
        {OpeningTiming::ease(-1.0), 0.0F},        {OpeningTiming::ease(0.25), 0.15625F},
        {OpeningTiming::ease(2.0), 1.0F},         {OpeningTiming::dissolve(14.15), 0.0F},
        {OpeningTiming::dissolve(14.775), 0.5F},  {OpeningTiming::dissolve(15.4), 1.0F},
        {OpeningTiming::pan(9.8), 0.0F},          {OpeningTiming::pan(11.1), 0.5F},
        {OpeningTiming::pan(12.4), 1.0F},         {OpeningTiming::titleOpacity(6.1), 1.0F},
        {OpeningTiming::titleOpacity(6.8), 0.5F}, {OpeningTiming::titleOpacity(7.5), 0.0F},
        {OpeningTiming::titleOpacity(0.0), 1.0F},
    };
    for (const auto& c : cases) {
        EXPECT_FLOAT_EQ(c.actual, c.expected);
    }
}
