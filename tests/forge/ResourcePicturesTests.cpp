// The forge's pictures and fog volume: every normal map the scene's rules
// name exists and is a sane tangent-space map, the cavity glows, the
// opening's pictures have the shapes the opening lays them out in, and the
// fog volume has the exact size the post-process demands and lies low.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <stb_image.h>

#include "resources/FogVolumeLayout.h"
#include "resources/ResourceFiles.h"
#include "resources/SceneLandmarks.h"
#include "resources/SceneNames.h"
#include "tests/forge/ResourceFolder.h"

namespace gloam::forge::testing {
namespace {

namespace files = gloam::resources;

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgba;
    const unsigned char* at(int x, int y) const { return &rgba[static_cast<std::size_t>((y * width + x) * 4)]; }
};

Picture load(const std::string& name)
{
    Picture p;
    int n = 0;
    std::string path = (resourceFolder() / name).string();
    unsigned char* data = stbi_load(path.c_str(), &p.width, &p.height, &n, 4);
    if (data == nullptr) {
        ADD_FAILURE() << "cannot read " << name;
        return p;
    }
    p.rgba.assign(data, data + p.width * p.height * 4);
    stbi_image_free(data);
    return p;
}

TEST(SurfaceTextures, EveryNormalMapIsATangentSpaceMapWithDetail)
{
    std::vector<std::string> maps;
    for (std::string_view key : scene_names::normalMapKeys)
        maps.push_back(scene_names::normalMapFile(key));
    maps.push_back(std::string(files::groundNormalMap));
    for (const std::string& name : maps) {
        Picture p = load(name);
        ASSERT_GT(p.width, 0) << name;
        EXPECT_EQ(p.width, p.height) << name;
        double meanZ = 0.0, spread = 0.0;
        for (int y = 0; y < p.height; ++y) {
            for (int x = 0; x < p.width; ++x) {
                const unsigned char* px = p.at(x, y);
                double nx = px[0] / 127.5 - 1.0, ny = px[1] / 127.5 - 1.0, nz = px[2] / 127.5 - 1.0;
                meanZ += nz;
                spread += nx * nx + ny * ny;
            }
        }
        double count = static_cast<double>(p.width) * p.height;
        // Mostly facing out of the surface, yet not flat.
        EXPECT_GT(meanZ / count, 0.8) << name;
        EXPECT_GT(spread / count, 0.002) << name;
    }
}

TEST(SurfaceTextures, CavityGlowsHotInTheMiddleAndDeepRedAtTheCut)
{
    Picture p = load(std::string(files::pumpkinCavity));
    ASSERT_GT(p.width, 0);
    const unsigned char* middle = p.at(p.width / 2, p.height / 2 + p.height / 14);
    const unsigned char* corner = p.at(2, 2);
    EXPECT_GT(middle[0], 220);
    EXPECT_GT(middle[1], corner[1] + 80);
    EXPECT_GT(corner[0], corner[1]);
    EXPECT_GT(corner[0], corner[2]);
}

TEST(OpeningPictures, PanoramaIsSquareAndTitleIsATransparentWideCard)
{
    Picture panorama = load(std::string(files::openingPanorama));
    ASSERT_GT(panorama.width, 0);
    EXPECT_EQ(panorama.width, panorama.height);
    // Sky above (the zoom), dark hill below (where the pan ends).
    auto brightness = [&](double v) {
        double sum = 0.0;
        int y = static_cast<int>(v * panorama.height);
        for (int x = 0; x < panorama.width; ++x)
            sum += panorama.at(x, y)[0] + panorama.at(x, y)[1] + panorama.at(x, y)[2];
        return sum / panorama.width;
    };
    EXPECT_GT(brightness(0.4), brightness(0.85) * 2.0);

    Picture title = load(std::string(files::openingTitle));
    ASSERT_GT(title.width, 0);
    EXPECT_NEAR(static_cast<double>(title.width) / title.height, 16.0 / 9.0, 0.01);
    EXPECT_EQ(title.at(0, 0)[3], 0);
    EXPECT_EQ(title.at(title.width - 1, title.height - 1)[3], 0);
    int opaque = 0;
    for (int x = 0; x < title.width; ++x)
        opaque += title.at(x, title.height / 2)[3] > 200 ? 1 : 0;
    EXPECT_GT(opaque, title.width / 10) << "the title's letters cross the middle of the card";
}

// The opening narrows the title card in narrow views by the share of its
// width that the lettering spans: that share is measured here.
TEST(OpeningPictures, TheTitleLetteringSpansTheShareTheOpeningFitsToTheView)
{
    Picture title = load(std::string(files::openingTitle));
    ASSERT_GT(title.width, 0);
    // The letters with their dark rim and shadow are nearly opaque; the
    // soft glow round them stays below 0.55.
    int left = title.width;
    int right = -1;
    for (int y = 0; y < title.height; ++y) {
        for (int x = 0; x < title.width; ++x) {
            if (title.at(x, y)[3] > 153) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    ASSERT_LE(left, right) << "no lettering";
    const double half = 0.5 * title.width;
    const double span = 2.0 * std::max(half - left, right + 1 - half) / title.width;
    EXPECT_LE(span, landmarks::titleLetteringWidth) << "the lettering would reach past the view's edge";
    EXPECT_GE(span, landmarks::titleLetteringWidth - 0.02) << "narrow views would shrink the title more than needed";
}

TEST(FogVolume, HasTheExactSizeAndLiesLowAndClearsTheVehicle)
{
    std::ifstream f(resourceFolder() / std::string(files::fogDensity), std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const int nx = files::fogWidth, ny = files::fogHeight, nz = files::fogDepth;
    ASSERT_EQ(bytes.size(), 1048576u);
    auto at = [&](int i, int j, int k) { return bytes[static_cast<std::size_t>((k * ny + j) * nx + i)]; };
    auto layerMean = [&](float y0, float y1) {
        double sum = 0.0;
        int count = 0;
        for (int j = 0; j < ny; ++j) {
            float y = fog_volume::minY + (j + 0.5f) * (fog_volume::maxY - fog_volume::minY) / ny;
            if (y < y0 || y >= y1)
                continue;
            for (int k = 0; k < nz; ++k)
                for (int i = 0; i < nx; ++i) {
                    sum += at(i, j, k);
                    ++count;
                }
        }
        return sum / count;
    };
    EXPECT_GT(layerMean(0.0f, 0.6f), 40.0);
    EXPECT_LT(layerMean(3.0f, 6.0f), layerMean(0.0f, 0.6f) * 0.1);
    // Around the vehicle (within 2 m of the origin) the fog is thinner than
    // on average at the same height.
    auto cell = [&](float x, float z) {
        return std::pair<int, int>{
            static_cast<int>((x - fog_volume::minX) / (fog_volume::maxX - fog_volume::minX) * nx),
            static_cast<int>((z - fog_volume::minZ) / (fog_volume::maxZ - fog_volume::minZ) * nz)};
    };
    double centre = 0.0;
    int n = 0;
    for (float x = -2.0f; x <= 2.0f; x += 0.4f)
        for (float z = -2.0f; z <= 2.0f; z += 0.4f) {
            auto [i, k] = cell(x, z);
            centre += at(i, 2, k);
            ++n;
        }
    double everywhere = 0.0;
    for (int k = 0; k < nz; ++k)
        for (int i = 0; i < nx; ++i)
            everywhere += at(i, 2, k);
    EXPECT_LT(centre / n, 0.7 * everywhere / (nx * nz));
}

TEST(AppIcon, EverySizeIsASquareCarvedPumpkinOnAClearGround)
{
    for (int size : files::appIconSizes) {
        const std::string side = std::to_string(size);
        const std::string name = std::string(files::iconsFolder) + "/hicolor/" + side + "x" + side + "/apps/" +
                                 std::string(files::appIconName) + ".png";
        SCOPED_TRACE(name);
        Picture p = load(name);
        ASSERT_EQ(p.width, size);
        ASSERT_EQ(p.height, size);
        // The corners are clear, so the icon sits on any panel colour.
        EXPECT_EQ(p.at(0, 0)[3], 0);
        EXPECT_EQ(p.at(size - 1, size - 1)[3], 0);
        // The pumpkin's body below the middle is opaque and orange.
        const unsigned char* body = p.at(size / 2 - size / 4, size * 3 / 4 - size / 16);
        EXPECT_EQ(body[3], 255);
        EXPECT_GT(body[0], body[1]);
        EXPECT_GT(body[1], body[2]);
        // Its eyes glow yellow (a few pixels wide from 48 up).
        if (size >= 48) {
            const unsigned char* eye = p.at(static_cast<int>(size * 0.39), static_cast<int>(size * 0.55));
            EXPECT_GT(eye[0], 200);
            EXPECT_GT(eye[1], 170);
        }
    }
}

} // namespace
} // namespace gloam::forge::testing
