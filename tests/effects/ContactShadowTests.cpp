#include "engine/effects/ContactShadow.h"

#include "platform/material/Material.h"
#include "platform/assets/TextureResource.h"
#include "platform/scene/ModelComponent.h"

#include <gtest/gtest.h>

using namespace gloam;

namespace {

int alphaAt(const std::vector<std::uint8_t>& image, int row, int column)
{
    return image[(static_cast<std::size_t>(row) * ContactShadow::imageWidth + static_cast<std::size_t>(column)) * 4 +
                 3];
}

} // namespace

TEST(ContactShadowTest, ImageIsASoftRoundedRectangle)
{
    const std::vector<std::uint8_t> image = ContactShadow::image();
    ASSERT_EQ(image.size(), 512U * 256U * 4U);
    EXPECT_EQ(alphaAt(image, 128, 256), 242);
    for (const auto& [row, column] : {std::pair{0, 0}, std::pair{0, 511}, std::pair{255, 0}, std::pair{255, 511}}) {
        EXPECT_EQ(alphaAt(image, row, column), 0) << row << "," << column;
    }
    // Flat in the middle, falling monotonically towards each edge.
    EXPECT_GE(alphaAt(image, 128, 300), 240);
    for (int j = 257; j < 512; ++j) {
        ASSERT_LE(alphaAt(image, 128, j), alphaAt(image, 128, j - 1)) << j;
    }
    for (int i = 129; i < 256; ++i) {
        ASSERT_LE(alphaAt(image, i, 256), alphaAt(image, i - 1, 256)) << i;
    }
    EXPECT_LT(alphaAt(image, 128, 500), 40);
    for (std::size_t p = 0; p < image.size(); p += 4) {
        ASSERT_EQ(image[p] | image[p + 1] | image[p + 2], 0) << "the shadow is black";
    }
}

TEST(ContactShadowTest, PlaneHasTheFootprintAndATransparentUnlitMaterial)
{
    const auto shadow = ContactShadow::make({1.9F, 4.6F});
    ASSERT_NE(shadow, nullptr);
    EXPECT_FLOAT_EQ(shadow->position().y, 0.003F);
    const platform::BoundingBox bounds = shadow->visualBounds(false, nullptr);
    EXPECT_NEAR(bounds.extents().x, 1.9F, 1e-5F);
    EXPECT_NEAR(bounds.extents().z, 4.6F, 1e-5F);
    EXPECT_NEAR(bounds.extents().y, 0.0F, 1e-5F);
    const auto* model = shadow->components.get<platform::ModelComponent>();
    ASSERT_NE(model, nullptr);
    ASSERT_EQ(model->materials.size(), 1U);
    const auto* unlit = platform::asUnlit(model->materials.front());
    ASSERT_NE(unlit, nullptr);
    EXPECT_EQ(unlit->color.tint, platform::rgb(1.0F, 1.0F, 1.0F));
    ASSERT_NE(unlit->color.texture, nullptr);
    EXPECT_EQ(unlit->color.texture->width(), 512);
    EXPECT_EQ(unlit->color.texture->height(), 256);
    EXPECT_GT(unlit->color.texture->levels().size(), 1U) << "mip levels for the soft edge at a distance";
    EXPECT_EQ(unlit->blending, platform::Blending::transparent(1.0F));
}
