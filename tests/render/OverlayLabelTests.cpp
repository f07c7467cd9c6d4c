#include "platform/render/OverlayPainter.h"
#include "platform/render/headless/HeadlessContext.h"

#include <gtest/gtest.h>

#include <cstdint>

using gloam::render::OverlayLabel;
using gloam::render::OverlayPainter;

namespace {

class OverlayLabelTest : public ::testing::Test {
protected:
    std::uint8_t alphaAt(const OverlayPainter::Picture& picture, int x, int y) const
    {
        return picture.rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) +
                             static_cast<std::size_t>(x)) *
                                4 +
                            3];
    }

    gloam::render::HeadlessContext context; // the painter keeps GL objects
    OverlayPainter painter;
};

TEST_F(OverlayLabelTest, AStatusLineFillsItsFrameWithARoundedPlate)
{
    const OverlayLabel status{"Preparing the scene…", {0.5f, 0.5f}, 13.0f, true, {400.0f, 30.0f}, 0.65f, 7.0f};
    const auto picture = painter.rasterise(status, 1.0f);
    ASSERT_EQ(picture.width, 400);
    ASSERT_EQ(picture.height, 30);
    EXPECT_EQ(alphaAt(picture, 3, 15), 166) << "black at 65 % along the edge, away from the text";
    EXPECT_LT(alphaAt(picture, 0, 0), 40) << "the corner is cut round";
    EXPECT_EQ(alphaAt(picture, 7, 1), 166) << "past the radius of 7, the plate is whole";

    const auto doubled = painter.rasterise(status, 2.0f);
    EXPECT_EQ(doubled.width, 800);
    EXPECT_EQ(doubled.height, 60);
}

TEST_F(OverlayLabelTest, LongTextWrapsInsideTheFrameWidth)
{
    const std::string text = "Sound off · Enable in the XScreenSaver settings, then come back to the scene";
    const auto oneLine = painter.rasterise({text, {0.5f, 0.5f}, 13.0f, true}, 1.0f);
    ASSERT_GT(oneLine.width, 400) << "the text is longer than a status frame";
    const auto status = painter.rasterise({text, {0.5f, 0.5f}, 13.0f, true, {400.0f, 30.0f}, 0.65f, 7.0f}, 1.0f);
    EXPECT_EQ(status.width, 400) << "the width stays the frame's";
    EXPECT_GT(status.height, 30) << "a second line makes the frame taller";
    const auto narrow = painter.rasterise({text, {0.5f, 0.5f}, 13.0f, true, {150.0f, 30.0f}, 0.65f, 7.0f}, 1.0f);
    EXPECT_EQ(narrow.width, 150);
    EXPECT_GT(narrow.height, 2 * oneLine.height) << "three lines or more";
}

TEST_F(OverlayLabelTest, APlainLabelHasNoPlate)
{
    const OverlayLabel failure{"Unable to load the Halloween scene.", {0.5f, 0.5f}, 13.0f, false, {600.0f, 200.0f}};
    const auto picture = painter.rasterise(failure, 1.0f);
    ASSERT_EQ(picture.width, 600);
    ASSERT_EQ(picture.height, 200);
    EXPECT_EQ(alphaAt(picture, 10, 10), 0);
    EXPECT_EQ(alphaAt(picture, 300, 190), 0);
    int lit = 0;
    for (int x = 0; x < picture.width; ++x) {
        lit += alphaAt(picture, x, 100) > 200 ? 1 : 0;
    }
    EXPECT_GT(lit, 10) << "white text across the middle";
}

} // namespace
