#include "engine/timelines/OpeningTiming.h"

#include <gtest/gtest.h>

#include <algorithm>

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

// The largest change of a fade within any one second, seen at 30 frames a second.
template <typename Fade>
float largestChangeInASecond(Fade fade)
{
    float largest = 0.0F;
    for (int frame = 0; frame + 30 <= 16 * 30; ++frame) {
        largest = std::max(largest, fade((frame + 30) / 30.0) - fade(frame / 30.0));
    }
    return largest;
}

TEST(OpeningTimingTest, TheGentleDissolveSpreadsTheSameFadeOverThreeSeconds)
{
    EXPECT_EQ(OpeningTiming::gentleDissolve(12.4), 0.0F);
    EXPECT_FLOAT_EQ(OpeningTiming::gentleDissolve(13.9), 0.5F);
    EXPECT_EQ(OpeningTiming::gentleDissolve(15.4), 1.0F);
    EXPECT_EQ(OpeningTiming::gentleDissolve(3.0), 0.0F);
    EXPECT_EQ(OpeningTiming::dissolve(14.0, true), OpeningTiming::gentleDissolve(14.0));
    EXPECT_EQ(OpeningTiming::dissolve(14.0, false), OpeningTiming::dissolve(14.0));

    // The picture is about 0.17 darker than the scene (mean relative
    // luminance): the usual fade moves two thirds of that within a second,
    // the gentle one a third, under the 0.1 of a flash.
    const auto quick = [](double t) { return OpeningTiming::dissolve(t); };
    const auto gentle = [](double t) { return OpeningTiming::gentleDissolve(t); };
    EXPECT_GT(largestChangeInASecond(quick), 0.6F);
    EXPECT_LE(largestChangeInASecond(gentle), 1.0F / 3.0F + 1e-4F);
}
