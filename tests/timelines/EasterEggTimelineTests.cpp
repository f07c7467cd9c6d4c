#include "engine/timelines/EasterEggTimeline.h"

#include <gtest/gtest.h>

#include <cstdint>

using gloam::EasterEgg;
using gloam::EasterEggTimeline;

TEST(EasterEggTest, RawValuesAndDurations)
{
    EXPECT_EQ(gloam::rawValue(EasterEgg::skyrell), "skyrell");
    EXPECT_EQ(gloam::rawValue(EasterEgg::amperle), "amperle");
    EXPECT_EQ(gloam::easterEggFromRawValue("amperle"), EasterEgg::amperle);
    EXPECT_FALSE(gloam::easterEggFromRawValue("Skyrell").has_value());
    EXPECT_FALSE(gloam::easterEggFromRawValue("").has_value());
    EXPECT_EQ(gloam::duration(EasterEgg::skyrell), 13.0);
    EXPECT_EQ(gloam::duration(EasterEgg::amperle), 19.0);
    EXPECT_EQ(gloam::allEasterEggs[0], EasterEgg::skyrell);
}

TEST(EasterEggTimelineTest, SeedOneGivesTheKnownFirstDueTime)
{
    const EasterEggTimeline timeline(1);
    EXPECT_EQ(timeline.seed, 7806831264735756412ULL);
    const double u = static_cast<double>(7806831264735756412ULL >> 11) * 0x1.0p-53;
    EXPECT_DOUBLE_EQ(timeline.nextAt, 55.0 + 20.0 * u);
    EXPECT_EQ(timeline.nextKind, EasterEgg::skyrell);
    EXPECT_FALSE(timeline.active.has_value());
    EXPECT_TRUE(timeline.automatic);
}

TEST(EasterEggTimelineTest, RandomSeedIsNeverZeroAndStartsWithinItsWindow)
{
    for (int i = 0; i < 64; ++i) {
        const EasterEggTimeline timeline;
        EXPECT_GE(timeline.nextAt, 55.0);
        EXPECT_LT(timeline.nextAt, 75.0);
        EXPECT_NE(EasterEggTimeline::randomSeed(), 0U);
    }
}

TEST(EasterEggTimelineTest, EggsAlternateAndReschedule)
{
    EasterEggTimeline timeline(42);
    timeline.advance(timeline.nextAt);
    ASSERT_TRUE(timeline.due());
    const std::uint64_t seedBefore = timeline.seed;
    ASSERT_TRUE(timeline.trigger(timeline.nextKind));
    EXPECT_EQ(timeline.active, EasterEgg::skyrell);
    EXPECT_EQ(timeline.nextKind, EasterEgg::amperle);
    EXPECT_NE(timeline.seed, seedBefore);
    EXPECT_GE(timeline.nextAt, timeline.time + 65.0);
    EXPECT_LT(timeline.nextAt, timeline.time + 85.0);
    EXPECT_FALSE(timeline.due());
    EXPECT_FALSE(timeline.trigger(EasterEgg::amperle)) << "one egg at a time";

    timeline.advance(12.999);
    EXPECT_EQ(timeline.active, EasterEgg::skyrell);
    timeline.advance(0.001);
    EXPECT_FALSE(timeline.active.has_value()) << "skyrell ends at 13 s";
    EXPECT_FALSE(timeline.age().has_value());

    ASSERT_TRUE(timeline.trigger(EasterEgg::amperle));
    EXPECT_EQ(timeline.nextKind, EasterEgg::skyrell);
    timeline.advance(18.9);
    ASSERT_TRUE(timeline.age().has_value());
    EXPECT_NEAR(*timeline.age(), 18.9, 1e-9);
    timeline.advance(0.1);
    EXPECT_FALSE(timeline.active.has_value()) << "amperle ends at 19 s";
}

TEST(EasterEggTimelineTest, ManualTriggerSetsTheOtherEggNext)
{
    EasterEggTimeline timeline(7);
    timeline.nextKind = EasterEgg::skyrell;
    ASSERT_TRUE(timeline.trigger(EasterEgg::skyrell));
    EXPECT_EQ(timeline.nextKind, EasterEgg::amperle);
    timeline.cancel();
    timeline.nextKind = EasterEgg::amperle;
    ASSERT_TRUE(timeline.trigger(EasterEgg::skyrell));
    EXPECT_EQ(timeline.nextKind, EasterEgg::amperle);
}

TEST(EasterEggTimelineTest, CancelAndAutomatic)
{
    EasterEggTimeline timeline(3);
    timeline.advance(10);
    const std::uint64_t seed = timeline.seed;
    timeline.cancel();
    EXPECT_EQ(timeline.nextAt, 75.0) << "cancel on an idle timeline still reschedules";
    EXPECT_EQ(timeline.seed, seed);
    EXPECT_EQ(timeline.nextKind, EasterEgg::skyrell);

    timeline.setAutomatic(false);
    timeline.advance(100);
    EXPECT_FALSE(timeline.due());
    timeline.setAutomatic(true);
    EXPECT_EQ(timeline.nextAt, 125.0);
    timeline.advance(-3);
    EXPECT_EQ(timeline.time, 110.0);
}
