// The window's frame pacing rule and its frame statistics line.
#include "platform/render/FramePacing.h"
#include "platform/render/FrameStatistics.h"

#include <gtest/gtest.h>

#include <limits>

using namespace gloam::render;

TEST(FramePacingTest, oneCoreWaitsTheLastFramesCostTheFocusedAppOnlyItsCap)
{
    const double cap = 1000.0 / 30.0;
    struct Case {
        double cost;
        bool oneCore;
        double interval;
    };
    const Case cases[] = {
        {10.0, true, cap},      // cheap frames: the cap
        {10.0, false, cap},     //
        {124.0, true, 124.0},   // one core: as long as the frame cost
        {124.0, false, cap},    // every core: the cap only
        {5000.0, true, 1000.0}, // a stall does not stop the loop for longer than a second
        {-3.0, true, cap},      {std::numeric_limits<double>::quiet_NaN(), true, cap},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(FramePacing::interval(cap, c.cost, c.oneCore), c.interval) << c.cost << " " << c.oneCore;
}

TEST(FrameStatisticsTest, everyFiveSecondsTheFramesAndCpuOfThePeriod)
{
    FrameStatistics statistics;
    EXPECT_FALSE(statistics.sample(40, 900.0, 1000.0)); // starts the period
    EXPECT_FALSE(statistics.sample(100, 3000.0, 5999.0));
    // 150 frames and 7,350 ms of CPU time (two cores at 73.5 %) in 5 s.
    EXPECT_EQ(statistics.sample(190, 8250.0, 6000.0), "frame-stats fps=30.0 cpu=147%");
    // The next period starts where that one ended; nothing presented.
    EXPECT_EQ(statistics.sample(190, 8300.0, 11000.0), "frame-stats fps=0.0 cpu=1%");
    // Counters that went back (a new render thread) start a new period.
    EXPECT_FALSE(statistics.sample(3, 8400.0, 17000.0));
    EXPECT_EQ(statistics.sample(3 + 48, 8400.0 + 2500.0, 22000.0), "frame-stats fps=9.6 cpu=50%");
}

TEST(FrameStatisticsTest, onlyTheValueOneAsksForThem)
{
    EXPECT_TRUE(FrameStatistics::requested("1"));
    for (const char* value : {static_cast<const char*>(nullptr), "", "0", "yes", "10"})
        EXPECT_FALSE(FrameStatistics::requested(value)) << (value ? value : "unset");
}
