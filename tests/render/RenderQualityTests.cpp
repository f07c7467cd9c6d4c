// The quality tier chosen from a GL renderer's name, the environment and a
// tool's option; the dynamic scale following measured frame costs.
#include "platform/render/DynamicResolution.h"
#include "platform/render/RenderQuality.h"

#include <gtest/gtest.h>

#include <string>

using namespace gloam::render;

namespace {

TEST(RenderQuality, softwareRasterisersGetTheSoftwareTierFromTheirName)
{
    const struct {
        const char* renderer;
        QualityTier tier;
    } cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", QualityTier::software},
        {"softpipe", QualityTier::software},
        {"Software Rasterizer (swrast)", QualityTier::software},
        {"LLVMPIPE", QualityTier::software},
        {"AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0)", QualityTier::full},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", QualityTier::full},
        {"NVIDIA GeForce GTX 1650/PCIe/SSE2", QualityTier::full},
        {"", QualityTier::full},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RenderQuality::choose(c.renderer, std::nullopt, nullptr), c.tier) << c.renderer;
    }
}

TEST(RenderQuality, theOptionWinsOverTheEnvironmentWhichWinsOverTheRenderer)
{
    EXPECT_EQ(RenderQuality::choose("llvmpipe", QualityTier::full, "software"), QualityTier::full);
    EXPECT_EQ(RenderQuality::choose("llvmpipe", std::nullopt, "full"), QualityTier::full);
    EXPECT_EQ(RenderQuality::choose("Radeon", std::nullopt, "software"), QualityTier::software);
    EXPECT_EQ(RenderQuality::choose("llvmpipe", std::nullopt, "auto"), QualityTier::software);
    EXPECT_EQ(RenderQuality::choose("Radeon", std::nullopt, "SOFTWARE"), QualityTier::software);
    // Not a choice: ignored, the renderer decides.
    EXPECT_EQ(RenderQuality::choose("llvmpipe", std::nullopt, "fast"), QualityTier::software);
    EXPECT_EQ(RenderQuality::choose("Radeon", std::nullopt, "fast"), QualityTier::full);
}

TEST(RenderQuality, parseKnowsAutoFullAndSoftwareOnly)
{
    std::optional<QualityTier> choice = QualityTier::full;
    EXPECT_TRUE(RenderQuality::parse("auto", choice));
    EXPECT_FALSE(choice);
    EXPECT_TRUE(RenderQuality::parse("software", choice));
    EXPECT_EQ(choice, QualityTier::software);
    EXPECT_TRUE(RenderQuality::parse("full", choice));
    EXPECT_EQ(choice, QualityTier::full);
    EXPECT_FALSE(RenderQuality::parse("high", choice));
    EXPECT_EQ(choice, QualityTier::full); // unchanged by a refusal
}

TEST(RenderQuality, theSoftwareTierGivesUpWhatCostsMostOnTheCpu)
{
    const RenderQuality full = RenderQuality::of(QualityTier::full);
    const RenderQuality software = RenderQuality::of(QualityTier::software);
    EXPECT_GT(full.maxAnisotropy, 1.0f);
    EXPECT_EQ(software.maxAnisotropy, 1.0f);
    EXPECT_FALSE(full.halfSizeBlur || full.quarterSizePost || full.singleShadowTap || full.dynamicResolution);
    EXPECT_TRUE(software.halfSizeBlur && software.quarterSizePost && software.singleShadowTap &&
                software.dynamicResolution);
    EXPECT_NEAR(software.minimumFrameInterval, 1000.0 / 30.0, 1e-9); // at most 30 frames a second
    EXPECT_LT(full.minimumFrameInterval, software.minimumFrameInterval);
}

// ---------------------------------------------------------------------------

// Feeds frames whose cost follows the scale as a software GPU's does: a
// fixed part plus a part that grows with the pixels.
float settle(DynamicResolution& resolution, double fixedMs, double fullSizeMs, int frames = 200)
{
    for (int i = 0; i < frames; ++i) {
        const double s = resolution.scale();
        resolution.addFrame(fixedMs + fullSizeMs * s * s);
    }
    return resolution.scale();
}

TEST(DynamicResolution, slowFramesLowerTheScaleUntilTheyHoldTheBudget)
{
    DynamicResolution resolution(40.0);
    resolution.setEnabled(true);
    EXPECT_EQ(resolution.scale(), 1.0f);
    const float scale = settle(resolution, 5.0, 80.0);
    EXPECT_LT(scale, 1.0f);
    const double cost = 5.0 + 80.0 * scale * scale;
    EXPECT_LE(cost, 40.0 * 1.05);
    // Not lower than needed: one step up would break the budget.
    const double oneStepUp = 5.0 + 80.0 * (scale + 0.05) * (scale + 0.05);
    EXPECT_GT(oneStepUp, 40.0 * 0.7);
}

TEST(DynamicResolution, theScaleStaysBetweenAHalfAndOne)
{
    DynamicResolution resolution(30.0);
    resolution.setEnabled(true);
    EXPECT_EQ(settle(resolution, 200.0, 800.0), DynamicResolution::minimumScale);
    EXPECT_EQ(settle(resolution, 1.0, 2.0), DynamicResolution::maximumScale);
}

TEST(DynamicResolution, aTallerOutputMayDrawAtALowerScaleThanTheWindow)
{
    EXPECT_FLOAT_EQ(DynamicResolution::floorFor(1200, 540), 0.5f);
    EXPECT_FLOAT_EQ(DynamicResolution::floorFor(700, 400), 0.5f); // never above the window's
    const float fullHd = DynamicResolution::floorFor(1920, 1080);
    // 640 × 360 exactly, a size measured at 30.4 dB (0.36 and 0.38 alias).
    EXPECT_EQ(DynamicResolution::scaled(1920, fullHd), 640);
    EXPECT_EQ(DynamicResolution::scaled(1080, fullHd), 360);
    EXPECT_GE(DynamicResolution::floorFor(7680, 4320), DynamicResolution::lowestFloor);

    // Costs far over the budget settle on the floor, which may lie between
    // two of the scale's steps; raising the floor lifts a lower scale.
    DynamicResolution resolution(30.0);
    resolution.setEnabled(true);
    resolution.setFloor(fullHd);
    EXPECT_FLOAT_EQ(settle(resolution, 200.0, 800.0), fullHd);
    resolution.setFloor(0.5f);
    EXPECT_FLOAT_EQ(resolution.scale(), 0.5f);
    resolution.setFloor(0.1f);
    EXPECT_FLOAT_EQ(resolution.floor(), DynamicResolution::lowestFloor);
}

TEST(DynamicResolution, fastFramesRaiseTheScaleBackAndFramesAtTheBudgetKeepIt)
{
    DynamicResolution resolution(33.0);
    resolution.setEnabled(true);
    resolution.reset(0.5f);
    const float raised = settle(resolution, 1.0, 10.0);
    EXPECT_EQ(raised, 1.0f);

    resolution.reset(0.75f);
    for (int i = 0; i < 100; ++i)
        resolution.addFrame(30.0); // within the budget, not far under it
    EXPECT_EQ(resolution.scale(), 0.75f);
}

TEST(DynamicResolution, oneSlowFrameAmongFastOnesChangesNothing)
{
    DynamicResolution resolution(33.0);
    resolution.setEnabled(true);
    for (int i = 0; i < 60; ++i)
        resolution.addFrame(i % 10 == 0 ? 400.0 : 25.0);
    EXPECT_EQ(resolution.scale(), 1.0f);
}

TEST(DynamicResolution, disabledOrPinnedItDoesNotFollowTheCosts)
{
    DynamicResolution resolution(33.0);
    settle(resolution, 100.0, 400.0);
    EXPECT_EQ(resolution.scale(), 1.0f); // disabled, as on a GPU
    resolution.setEnabled(true);
    resolution.pin(0.6f);
    settle(resolution, 1.0, 1.0);
    EXPECT_FLOAT_EQ(resolution.scale(), 0.6f);
    resolution.pin(0.0f);
    EXPECT_EQ(resolution.scale(), 1.0f);
}

TEST(DynamicResolution, scaledSizesRoundAndNeverVanish)
{
    EXPECT_EQ(DynamicResolution::scaled(1200, 0.5f), 600);
    EXPECT_EQ(DynamicResolution::scaled(1081, 0.5f), 541);
    EXPECT_EQ(DynamicResolution::scaled(1, 0.5f), 1);
    EXPECT_EQ(DynamicResolution::scaled(1920, 1.0f), 1920);
}

} // namespace
