#include "platform/assets/EnvironmentResource.h"
#include "platform/assets/TextureResource.h"
#include "platform/async/TaskHandle.h"
#include "platform/material/Material.h"
#include "platform/scene/ModelEntity.h"

#include "tests/support/EventLoop.h"
#include "tests/support/PngBytes.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <tuple>

using namespace gloam::platform;

TEST(Materials, CopiesAreIndependentOfTheOriginalAndTheModel)
{
    PhysicallyBasedMaterial pbr;
    pbr.name = "PumpkinSkin";
    pbr.emissiveIntensity = 1.8f;
    auto entity = ModelEntity::make(MeshResource::generateSphere(0.2f), {pbr, UnlitMaterial(rgb(0.1f, 0.2f, 0.3f))});

    // Keep the loaded list, derive a new one, write it back.
    const std::vector<Material> loaded = entity->model().materials;
    auto model = *entity->components.get<ModelComponent>();
    if (auto* m = asPhysicallyBased(model.materials[0])) {
        m->emissiveIntensity += 3.0f;
        m->emissiveColor.color = {1.0f, 0.035f, 0.003f};
    }
    EXPECT_FLOAT_EQ(asPhysicallyBased(entity->model().materials[0])->emissiveIntensity, 1.8f);
    entity->components.set(model);

    EXPECT_FLOAT_EQ(asPhysicallyBased(entity->model().materials[0])->emissiveIntensity, 4.8f);
    EXPECT_FLOAT_EQ(asPhysicallyBased(loaded[0])->emissiveIntensity, 1.8f);
    EXPECT_EQ(asPhysicallyBased(loaded[0])->emissiveColor.color, glm::vec3(0.0f));
    EXPECT_EQ(materialName(loaded[0]), "PumpkinSkin");
    EXPECT_EQ(asPhysicallyBased(loaded[1]), nullptr);
    ASSERT_NE(asUnlit(loaded[1]), nullptr);
    EXPECT_EQ(asUnlit(loaded[1])->color.tint, rgb(0.1f, 0.2f, 0.3f));
}

TEST(Materials, CustomMaterialKeepsItsBaseAndReadsTheShaderLibrary)
{
    gloam::testing::TemporaryFolder folder("gloam-materials");
    const auto library = folder / "CameoFade.glsl";
    {
        std::ofstream out(library);
        out << "// fades\nvoid cameoFade(inout Surface s) { s.opacity *= custom.x; }\n";
    }
    PhysicallyBasedMaterial base;
    base.name = "Shell";
    base.baseColor.tint = rgb(0.9f, 0.9f, 0.9f);
    base.emissiveIntensity = 2.0f;
    base.blending = Blending::transparent(0.5f);

    CustomMaterial fade(base, SurfaceShader::load(library, "cameoFade"));
    EXPECT_EQ(fade.name, "Shell");
    EXPECT_EQ(fade.baseColor.tint, base.baseColor.tint);
    EXPECT_FLOAT_EQ(fade.emissiveIntensity, 2.0f);
    EXPECT_TRUE(fade.blending.isTransparent());
    EXPECT_EQ(fade.lightingModel, CustomMaterial::LightingModel::lit);
    ASSERT_NE(fade.surfaceShader.librarySource, nullptr);

    Material a = fade;
    Material b = a;
    asCustom(b)->custom.value.x = 0.75f;
    EXPECT_FLOAT_EQ(asCustom(a)->custom.value.x, 0.0f);
    EXPECT_NE(asCustom(b), nullptr);
    EXPECT_EQ(asPhysicallyBased(b), nullptr);

    EXPECT_THROW(SurfaceShader::load(library, "chargingFade"), std::runtime_error);
    EXPECT_THROW(SurfaceShader::load(library.string() + ".missing", "cameoFade"), std::runtime_error);
}

// The lower levels are made on first use, by whichever thread asks first;
// the full image must stay where it was, since pictures borrow its pixels.
TEST(Textures, MipLevelsMadeOnFirstUseFromManyThreadsLeaveTheFullImageInPlace)
{
    for (auto [width, height, levels] : {std::tuple{8, 4, 4u}, std::tuple{5, 3, 3u}, std::tuple{1, 1, 1u}}) {
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width * height * 4), 200);
        auto texture = TextureResource::fromPixels(width, height, pixels, "probe");
        const TextureResource::Level* base = &texture->base();
        const std::uint8_t* basePixels = texture->base().bytes.data();
        EXPECT_EQ(texture->hasMipmaps(), levels > 1) << width << "x" << height;

        std::vector<std::thread> threads;
        std::atomic<int> complete{0};
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&] {
                const auto& made = texture->levels();
                if (made.size() == levels && made.back().width == 1 && made.back().height == 1)
                    ++complete;
            });
        }
        for (auto& thread : threads)
            thread.join();
        EXPECT_EQ(complete.load(), 4) << width << "x" << height << ": a thread saw a partial chain";
        EXPECT_EQ(&texture->levels().front(), base) << width << "x" << height << ": the full image moved";
        EXPECT_EQ(texture->base().bytes.data(), basePixels);
        EXPECT_EQ(texture->base().bytes, pixels);
    }
    auto without = TextureResource::fromPixels(8, 4, std::vector<std::uint8_t>(8 * 4 * 4, 9), "flat",
                                               {TextureResource::Semantic::color, TextureResource::MipmapsMode::none});
    EXPECT_FALSE(without->hasMipmaps());
    EXPECT_EQ(without->levels().size(), 1u);
}

TEST(Textures, PixelBuffersKeepTheirPixelsAndMakeEveryMipLevel)
{
    std::vector<std::uint8_t> pixels(8 * 4 * 4, 0);
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = 255;     // red
        pixels[i + 3] = 255; // opaque
    }
    pixels[0] = 0; // top-left pixel black
    auto texture = TextureResource::fromPixels(8, 4, pixels, "probe");
    EXPECT_EQ(texture->width(), 8);
    EXPECT_EQ(texture->levels().size(), 4u); // 8×4, 4×2, 2×1, 1×1
    EXPECT_EQ(texture->levels().back().width, 1);
    EXPECT_FLOAT_EQ(texture->pixel(0, 0)[0], 0.0f);
    EXPECT_FLOAT_EQ(texture->pixel(1, 0)[0], 1.0f);
    // sRGB colour is averaged in linear light: one black of four is brighter than 0.75 encoded.
    const auto& level1 = texture->levels()[1];
    EXPECT_GT(level1.bytes[0], 0.75 * 255);
    EXPECT_EQ(level1.bytes[4], 255);

    auto other = TextureResource::fromPixels(8, 4, pixels, "probe");
    EXPECT_NE(texture->id(), other->id());

    EXPECT_THROW(TextureResource::fromPixels(8, 4, std::vector<std::uint8_t>(10), "short"), std::invalid_argument);
    auto hdr = TextureResource::fromFloatPixels(2, 1, {4.0f, 2.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f}, "light");
    EXPECT_EQ(hdr->format(), TextureResource::PixelFormat::rgba32f);
    EXPECT_FLOAT_EQ(hdr->pixel(0, 0)[0], 4.0f);
}

TEST(Textures, MipLevelsOfAFlatColourKeepItsEveryValue)
{
    // Averaging four equal pixels in linear light and encoding the mean
    // again must give the same byte, for every byte a colour can hold.
    for (int value = 0; value < 256; ++value) {
        const auto v = static_cast<std::uint8_t>(value);
        const std::vector<std::uint8_t> pixels(2 * 2 * 4, v);
        for (const auto semantic : {TextureSemantic::color, TextureSemantic::raw}) {
            const auto texture = TextureResource::fromPixels(2, 2, pixels, "flat", {semantic});
            ASSERT_EQ(texture->levels().size(), 2u);
            const auto& level1 = texture->levels()[1].bytes;
            EXPECT_EQ(level1[0], v) << value;
            EXPECT_EQ(level1[3], v) << value << " (alpha is never encoded)";
        }
    }
}

TEST(Textures, FilesThatCannotBeDecodedSayWhichFileAndWhy)
{
    gloam::testing::TemporaryFolder folder("gloam-textures");
    const struct {
        const char* name;
        std::string bytes;
        const char* says;
    } cases[] = {
        {"truncated.png", "\x89PNG\r\n\x1a\n truncated", "cannot be decoded: "},
        {"empty.png", "", "cannot be decoded: "},
        {"text.png", "not a picture at all", "cannot be decoded: "},
    };
    for (const auto& c : cases) {
        const auto path = folder / c.name;
        std::ofstream(path, std::ios::binary) << c.bytes;
        try {
            TextureResource::load(path);
            ADD_FAILURE() << c.name << " loaded";
        } catch (const std::runtime_error& e) {
            const std::string error = e.what();
            EXPECT_NE(error.find(path.string()), std::string::npos) << error;
            const auto reason = error.find(c.says);
            ASSERT_NE(reason, std::string::npos) << error;
            EXPECT_GT(error.size(), reason + std::strlen(c.says)) << c.name << ": no reason given";
        }
    }
    EXPECT_THROW(TextureResource::load(folder / "missing.png"), std::runtime_error);
    // A folder opens as a stream but cannot be read.
    std::filesystem::create_directory(folder / "folder.png");
    EXPECT_THROW(TextureResource::load(folder / "folder.png"), std::runtime_error);
}

TEST(Textures, PngFilesLoadWithTheirSemanticOnTheWorker)
{
    gloam::testing::TemporaryFolder folder("gloam-textures");
    const auto path = folder / "normal.png";
    {
        // 4 × 2, a flat normal (0.5, 0.5, 1) everywhere but one tilted pixel.
        std::vector<std::uint8_t> rgba(4 * 2 * 4);
        for (std::size_t i = 0; i < rgba.size(); i += 4) {
            rgba[i] = 128;
            rgba[i + 1] = 128;
            rgba[i + 2] = 255;
            rgba[i + 3] = 255;
        }
        rgba[0] = 255;
        const auto png = gloam::testing::pngBytes(4, 2, rgba);
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    }
    // Shared, not a local: the task may outlive a test that timed out.
    auto result = std::make_shared<TexturePtr>();
    auto handle = gloam::async::spawn(
        [](std::filesystem::path file, std::shared_ptr<TexturePtr> out) -> gloam::async::Task<void> {
            *out = co_await TextureResource::loadAsync(
                file, "", {TextureSemantic::normal, TextureMipmapsMode::allocateAndGenerateAll});
        }(path, result));
    ASSERT_TRUE(gloam::testing::runEventsUntil([&] { return *result != nullptr; }));
    const TexturePtr loaded = *result;
    EXPECT_EQ(loaded->name(), "normal.png");
    EXPECT_EQ(loaded->semantic(), TextureSemantic::normal);
    EXPECT_EQ(loaded->levels().size(), 3u); // 4×2, 2×1, 1×1
    EXPECT_NEAR(loaded->pixel(0, 0)[0], 1.0f, 1e-6f);
    // Normal-map levels stay unit normals: the tilted pixel is averaged and renormalised.
    const auto& level1 = loaded->levels()[1].bytes;
    const float nx = level1[0] / 127.5f - 1, ny = level1[1] / 127.5f - 1, nz = level1[2] / 127.5f - 1;
    EXPECT_NEAR(std::sqrt(nx * nx + ny * ny + nz * nz), 1.0f, 0.02f);
    EXPECT_GT(nx, 0.05f);
}

TEST(Environment, EquirectangularImagesBecomeLinearLight)
{
    // sRGB 188 is linear 0.5.
    std::vector<std::uint8_t> rgba(4 * 2 * 4, 188);
    auto picture = TextureResource::fromPixels(4, 2, rgba, "sky");
    std::shared_ptr<const EnvironmentResource> environment;
    auto handle = gloam::async::spawn(
        [](TexturePtr image, std::shared_ptr<const EnvironmentResource>& out) -> gloam::async::Task<void> {
            out = co_await EnvironmentResource::make(image, "StudyLight");
        }(picture, environment));
    ASSERT_TRUE(gloam::testing::runEventsUntil([&] { return environment != nullptr; }));
    EXPECT_EQ(environment->name(), "StudyLight");
    const auto& image = environment->equirectangular();
    EXPECT_EQ(image->format(), TexturePixelFormat::rgba32f);
    EXPECT_NEAR(image->pixel(1, 1)[0], 0.5f, 0.01f);
    EXPECT_NEAR(image->pixel(1, 1)[3], 188 / 255.0f, 1e-4f); // alpha is not a colour

    // Not 2:1: refused with the reason.
    auto square = TextureResource::fromPixels(2, 2, std::vector<std::uint8_t>(16, 0), "square");
    EXPECT_THROW(EnvironmentResource::makeNow(square, "bad"), std::invalid_argument);
}
