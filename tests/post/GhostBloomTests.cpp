// The bloom and fog post-process on a headless context: warm-up counting,
// the fog volume's strict size, shader library errors, the plain-copy
// fallbacks, the shipped kernels' bloom and fog, and the values shared with
// the main thread.
#include "engine/post/GhostBloom.h"
#include "engine/prefs/Vehicle.h"
#include "forge/shaders/PostProcessLibraries.h"
#include "platform/gpu/CommandBuffer.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuError.h"
#include "platform/gpu/GpuTexture.h"
#include "platform/render/PostProcessContext.h"
#include "platform/render/headless/HeadlessContext.h"
#include "resources/FogVolumeLayout.h"
#include "resources/ResourceFiles.h"
#include "tests/support/TemporaryFolder.h"
#include "tools/post/FogNoiseVolume.h"

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/packing.hpp>
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

using gloam::GhostBloom;
using gloam::Vehicle;
using gloam::gpu::CommandBufferStatus;
using gloam::gpu::GpuError;
using gloam::gpu::GpuTexture;
using gloam::gpu::PixelFormat;
using gloam::gpu::TextureKind;

namespace {

namespace fs = std::filesystem;

constexpr size_t fogBytes = 128 * 64 * 128;

// A vehicle's post-process library as the forge writes it.
std::string shippedLibrary(Vehicle vehicle)
{
    std::ifstream in(fs::path(GLOAMYARD_POST_SHADERS) / "ScenePostprocessKernels.glsl", std::ios::binary);
    const std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return gloam::forge::postProcessLibrary(gloam::rawValue(vehicle), body);
}

// One frame's textures: colour and depth in, the post target out.
struct Frame {
    std::shared_ptr<GpuTexture> source, depth, target;
    int width = 0, height = 0;
};

class BloomTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        device = gloam::gpu::GpuDevice::create();
        gloam::gpu::GpuDevice::setSystemDefault(device);
        bloom = makeBloom();
    }

    void TearDown() override
    {
        bloom.reset();
        device->waitUntilIdle();
        device->pollCompletions();
        gloam::gpu::GpuDevice::setSystemDefault(nullptr);
    }

    std::shared_ptr<GhostBloom> makeBloom()
    {
        return GhostBloom::create(folder, [this](const std::string& line) {
            std::lock_guard lock(logMutex);
            lines.push_back(line);
        });
    }

    std::vector<std::string> log()
    {
        std::lock_guard lock(logMutex);
        return lines;
    }

    int count(const std::string& line)
    {
        int n = 0;
        for (const auto& l : log())
            n += l == line ? 1 : 0;
        return n;
    }

    void writeFog(const std::vector<std::uint8_t>& bytes)
    {
        std::ofstream(folder / gloam::resources::fogDensity, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    void writeFog(std::uint8_t value) { writeFog(std::vector<std::uint8_t>(fogBytes, value)); }

    // The shipped library of `vehicle`, as the forge puts it into the folder.
    void installLibrary(Vehicle vehicle)
    {
        std::ofstream(folder / gloam::effects(vehicle), std::ios::trunc) << shippedLibrary(vehicle);
    }
    void writeLibrary(Vehicle vehicle, const std::string& source)
    {
        std::ofstream(folder / gloam::effects(vehicle), std::ios::trunc) << source;
    }

    // Colour from `color(x, y)` (y from the bottom), one depth everywhere
    // unless `depthAt` says otherwise, and a target full of a sentinel.
    Frame makeFrame(int width, int height, const std::function<glm::vec4(int, int)>& color,
                    const std::function<float(int, int)>& depthAt = {})
    {
        Frame frame;
        frame.width = width;
        frame.height = height;
        auto texture = [&](PixelFormat format, const char* label) {
            return device->makeTexture({TextureKind::texture2D, format, width, height, 1, label});
        };
        frame.source = texture(PixelFormat::rgba16Float, "source");
        frame.depth = texture(PixelFormat::depth32Float, "depth");
        frame.target = texture(PixelFormat::rgba16Float, "target");
        std::vector<std::uint16_t> halves;
        std::vector<std::uint16_t> sentinel;
        std::vector<float> depths;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const glm::vec4 c = color(x, y);
                for (int lane = 0; lane < 4; ++lane) {
                    halves.push_back(glm::packHalf1x16(c[lane]));
                    sentinel.push_back(glm::packHalf1x16(-7.0f));
                }
                depths.push_back(depthAt ? depthAt(x, y) : 1.0f);
            }
        }
        const auto row = static_cast<size_t>(width) * 8;
        frame.source->replace(reinterpret_cast<const std::uint8_t*>(halves.data()), halves.size() * 2, row,
                              row * static_cast<size_t>(height));
        frame.target->replace(reinterpret_cast<const std::uint8_t*>(sentinel.data()), sentinel.size() * 2, row,
                              row * static_cast<size_t>(height));
        frame.depth->replace(reinterpret_cast<const std::uint8_t*>(depths.data()), depths.size() * 4,
                             static_cast<size_t>(width) * 4, static_cast<size_t>(width * height) * 4);
        return frame;
    }

    Frame plainFrame(int width = 48, int height = 32)
    {
        return makeFrame(width, height, [](int x, int y) {
            return glm::vec4(0.1f + 0.01f * float(x), 0.05f + 0.02f * float(y), 0.3f, 1.0f);
        });
    }

    // Runs `process` for one frame on a fresh command buffer. `fail` marks
    // the buffer failed; `complete` commits it, waits and runs the
    // completion handlers.
    std::shared_ptr<gloam::gpu::CommandBuffer> process(const Frame& frame, const glm::mat4& projection,
                                                       bool complete = true, bool fail = false)
    {
        auto buffer = device->makeCommandBuffer();
        gloam::render::PostProcessContext context{device,       buffer,     frame.source, frame.depth,
                                                  frame.target, projection, 0.0};
        bloom->process(context);
        if (fail)
            buffer->markFailed();
        if (complete) {
            buffer->commit();
            buffer->waitUntilCompleted();
            device->pollCompletions();
        }
        return buffer;
    }
    std::shared_ptr<gloam::gpu::CommandBuffer> process(const Frame& frame, bool complete = true, bool fail = false)
    {
        const float aspect = float(frame.width) / float(frame.height);
        return process(frame, glm::perspective(glm::radians(40.0f), aspect, 0.1f, 500.0f), complete, fail);
    }

    static glm::vec4 pixel(const std::vector<float>& pixels, const Frame& frame, int x, int y)
    {
        const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(frame.width) + static_cast<size_t>(x)) * 4;
        return {pixels[i], pixels[i + 1], pixels[i + 2], pixels[i + 3]};
    }

    // Pipelines from the library in the folder, selected.
    void selectVehicle(Vehicle vehicle = Vehicle::corsel) { bloom->select(GhostBloom::prepare(vehicle, folder)); }

    gloam::render::HeadlessContext gl;
    std::shared_ptr<gloam::gpu::GpuDevice> device;
    gloam::testing::TemporaryFolder scratch{"gloam-bloom"};
    const fs::path& folder = scratch.path();
    std::shared_ptr<GhostBloom> bloom;
    std::mutex logMutex;
    std::vector<std::string> lines;
};

// ---------------------------------------------------------------------------
// Warm-up

TEST_F(BloomTest, warmupCountsOnlyCompletedFramesThatSawAPositiveCounter)
{
    writeFog(0);
    const Frame frame = plainFrame();
    EXPECT_EQ(bloom->warmupRemaining(), -1);
    EXPECT_FALSE(bloom->sceneWarmed());
    process(frame); // before the warm-up starts: nothing to count
    EXPECT_EQ(bloom->warmupRemaining(), -1);

    bloom->beginSceneWarmup();
    EXPECT_EQ(bloom->warmupRemaining(), 6);
    process(frame, true, /*fail=*/true); // failed frames do not count
    process(frame, true, /*fail=*/true);
    EXPECT_EQ(bloom->warmupRemaining(), 6);
    for (int done = 1; done <= 5; ++done) {
        process(frame);
        EXPECT_EQ(bloom->warmupRemaining(), 6 - done);
        EXPECT_FALSE(bloom->sceneWarmed());
    }
    process(frame);
    EXPECT_EQ(bloom->warmupRemaining(), 0);
    EXPECT_TRUE(bloom->sceneWarmed());
    process(frame);
    EXPECT_TRUE(bloom->sceneWarmed());

    bloom->beginSceneWarmup(); // a second warm-up starts again at 6
    EXPECT_EQ(bloom->warmupRemaining(), 6);
    EXPECT_FALSE(bloom->sceneWarmed());
}

TEST_F(BloomTest, warmupNeverGoesBelowZeroWithManyFramesInFlight)
{
    writeFog(0);
    const Frame frame = plainFrame();
    bloom->beginSceneWarmup();
    std::vector<std::shared_ptr<gloam::gpu::CommandBuffer>> inFlight;
    for (int i = 0; i < 9; ++i)
        inFlight.push_back(process(frame, /*complete=*/false));
    EXPECT_EQ(bloom->warmupRemaining(), 6); // nothing has completed yet
    for (auto& buffer : inFlight)
        buffer->commit();
    device->waitUntilIdle();
    device->pollCompletions();
    EXPECT_EQ(bloom->warmupRemaining(), 0);
    EXPECT_TRUE(bloom->sceneWarmed());
}

TEST_F(BloomTest, aPendingFrameDoesNotKeepADiscardedPostProcessAlive)
{
    writeFog(0);
    bloom->beginSceneWarmup();
    auto buffer = process(plainFrame(), /*complete=*/false);
    std::weak_ptr<GhostBloom> watch = bloom;
    bloom.reset();
    EXPECT_TRUE(watch.expired());
    buffer->commit();
    buffer->waitUntilCompleted(); // the handler finds nobody to count for
    EXPECT_EQ(buffer->status(), CommandBufferStatus::completed);
}

// ---------------------------------------------------------------------------
// Fog volume

TEST_F(BloomTest, aFogVolumeOfTheWrongLengthIsRejectedAndTheFrameCopied)
{
    installLibrary(Vehicle::corsel);
    selectVehicle();
    struct Case {
        size_t length;
        std::string line;
    };
    const std::vector<Case> cases = {
        {fogBytes - 1, "E4 BLOOM FAILED The fog volume “FogDensity.r8” has 1048575 bytes; it must have exactly "
                       "1048576 (128 × 64 × 128). (E4FogVolume error 1)"},
        {fogBytes + 1, "E4 BLOOM FAILED The fog volume “FogDensity.r8” has 1048577 bytes; it must have exactly "
                       "1048576 (128 × 64 × 128). (E4FogVolume error 1)"},
        {0, "E4 BLOOM FAILED The fog volume “FogDensity.r8” has 0 bytes; it must have exactly 1048576 "
            "(128 × 64 × 128). (E4FogVolume error 1)"},
    };
    int width = 40;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        writeFog(std::vector<std::uint8_t>(c.length, 200));
        const Frame frame = plainFrame(width++, 24); // a new size retries the load
        process(frame);
        EXPECT_EQ(count(c.line), 1);
        EXPECT_FALSE(bloom->hasFogVolume());
        EXPECT_EQ(frame.target->readFloats(), frame.source->readFloats());
    }
    EXPECT_EQ(count("E4 volumetric fog active 128x64x128 r8"), 0);
    EXPECT_EQ(count("E4 bloom active pixels=42x24"), 0);
}

TEST_F(BloomTest, aMissingFogVolumeIsRetriedOnlyWhenTheFrameSizeChanges)
{
    installLibrary(Vehicle::corsel);
    selectVehicle();
    const Frame small = plainFrame(40, 24);
    process(small);
    process(small);
    const std::string missing =
        "E4 BLOOM FAILED The fog volume “FogDensity.r8” could not be read: No such file or directory";
    EXPECT_EQ(count(missing), 1); // same size: not tried again
    EXPECT_EQ(small.target->readFloats(), small.source->readFloats());

    writeFog(0);
    process(small);
    EXPECT_FALSE(bloom->hasFogVolume());
    const Frame larger = plainFrame(44, 24);
    process(larger);
    EXPECT_TRUE(bloom->hasFogVolume());
    EXPECT_EQ(count("E4 volumetric fog active 128x64x128 r8"), 1);
    EXPECT_EQ(count("E4 bloom active pixels=44x24"), 1);
}

// ---------------------------------------------------------------------------
// Shader libraries

TEST_F(BloomTest, prepareReportsMissingDevicesLibrariesAndKernels)
{
    const std::string body = "layout(binding = 4, rgba16f) writeonly uniform image2D target;\n"
                             "void cyanHighlights() {}\nvoid groundMist() {}\n";
    struct Case {
        std::string name;
        std::function<void()> arrange;
        std::string domain;
        int code;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"no groundMist", [&] { writeLibrary(Vehicle::corsel, "#pragma kernel cyanHighlights\n" + body); },
         "HalloweenMetal", 2,
         "The shader library “corsel-ScenePostprocess.glsl” has no kernel “groundMist”. (HalloweenMetal error 2)"},
        {"no cyanHighlights", [&] { writeLibrary(Vehicle::corsel, "#pragma kernel groundMist\n" + body); },
         "HalloweenMetal", 2,
         "The shader library “corsel-ScenePostprocess.glsl” has no kernel “cyanHighlights”. (HalloweenMetal error "
         "2)"},
        {"no library", [&] { fs::remove(folder / gloam::effects(Vehicle::corsel)); }, "GloamShaderLibrary", 1,
         "The shader library “corsel-ScenePostprocess.glsl” could not be read. (GloamShaderLibrary error 1)"},
        {"no device",
         [&] {
             installLibrary(Vehicle::corsel);
             gloam::gpu::GpuDevice::setSystemDefault(nullptr);
         },
         "HalloweenMetal", 1, "No GPU device is running. (HalloweenMetal error 1)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gloam::gpu::GpuDevice::setSystemDefault(device);
        c.arrange();
        try {
            GhostBloom::prepare(Vehicle::corsel, folder);
            ADD_FAILURE() << "prepared";
        } catch (const GpuError& error) {
            EXPECT_EQ(error.domain(), c.domain);
            EXPECT_EQ(error.code(), c.code);
            EXPECT_EQ(std::string(error.what()), c.message);
        }
    }

    // A broken kernel is the compiler's error, passed on unchanged.
    gloam::gpu::GpuDevice::setSystemDefault(device);
    writeLibrary(Vehicle::corsel, "#pragma kernel cyanHighlights\n#pragma kernel groundMist\n"
                                  "void cyanHighlights() { nonsense; }\nvoid groundMist() {}\n");
    try {
        GhostBloom::prepare(Vehicle::corsel, folder);
        ADD_FAILURE() << "prepared";
    } catch (const GpuError& error) {
        EXPECT_EQ(error.domain(), "GloamShaderLibrary");
        EXPECT_EQ(error.code(), 2);
    }
}

TEST_F(BloomTest, withoutPipelinesTheFrameIsStillPresentedAsAPlainCopy)
{
    writeFog(128);
    writeLibrary(Vehicle::corsel, "#pragma kernel cyanHighlights\nvoid cyanHighlights() {}\n");
    EXPECT_THROW(GhostBloom::prepare(Vehicle::corsel, folder), GpuError);
    const Frame frame = plainFrame();
    bloom->beginSceneWarmup();
    process(frame);
    EXPECT_EQ(frame.target->readFloats(), frame.source->readFloats());
    // Resources do not wait for pipelines; the warm-up counts copied frames.
    EXPECT_TRUE(bloom->hasFogVolume());
    EXPECT_EQ(count("E4 volumetric fog active 128x64x128 r8"), 1);
    EXPECT_EQ(count("E4 bloom active pixels=48x32"), 0);
    EXPECT_EQ(bloom->warmupRemaining(), 5);
}

TEST_F(BloomTest, everyShippedLibraryWritesEveryPixelWithBloomAndFog)
{
    gloam::tools::FogNoiseVolume::write(folder);
    for (Vehicle vehicle : gloam::allVehicles) {
        SCOPED_TRACE(std::string(gloam::rawValue(vehicle)));
        installLibrary(vehicle);
        selectVehicle(vehicle);
        // Camera 1.9 m up looking level over the ground: sky above the
        // middle row, ground 2 to 40 m away below it, a glow in the sky.
        bloom->setCamera(glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 1.9f, 12.0f)));
        bloom->setAtmosphere(12.0f, 0.0f, 0.0f, 0.0f);
        const Frame frame = makeFrame(
            64, 32,
            [](int x, int y) {
                return (x == 40 && y == 26) ? glm::vec4(40.0f, 40.0f, 40.0f, 1.0f)
                                            : glm::vec4(0.05f, 0.05f, 0.05f, 1.0f);
            },
            [](int, int y) { return y < 14 ? 0.999f : 1.0f; });
        process(frame);
        const auto out = frame.target->readFloats();
        const auto in = frame.source->readFloats();
        float fogged = 0.0f;
        for (int y = 0; y < frame.height; ++y) {
            for (int x = 0; x < frame.width; ++x) {
                const glm::vec4 o = pixel(out, frame, x, y);
                ASSERT_TRUE(std::isfinite(o.r) && o.r >= 0.0f && o.a == 1.0f) << x << "," << y << " " << o.r;
                if (y < 14)
                    fogged += o.b - pixel(in, frame, x, y).b;
            }
        }
        EXPECT_GT(fogged / (14.0f * 64.0f), 0.005f);   // the ground is misted
        EXPECT_GT(pixel(out, frame, 42, 26).g, 0.06f); // the glow bleeds
    }
}

TEST_F(BloomTest, everyShippedLibraryLaysTheFogVolumeWhereTheForgeFillsIt)
{
    // The kernels' copy of the volume's box must match the layout the forge
    // fills the volume for.
    const std::regex box(R"(const vec3 (FOG_BOX_M(?:IN|AX)) = vec3\(([-0-9.]+), ([-0-9.]+), ([-0-9.]+)\);)");
    for (Vehicle vehicle : gloam::allVehicles) {
        SCOPED_TRACE(std::string(gloam::rawValue(vehicle)));
        const std::string text = shippedLibrary(vehicle);
        int found = 0;
        for (auto it = std::sregex_iterator(text.begin(), text.end(), box); it != std::sregex_iterator(); ++it) {
            const std::smatch& m = *it;
            const glm::vec3 value(std::stof(m[2]), std::stof(m[3]), std::stof(m[4]));
            namespace fv = gloam::fog_volume;
            const glm::vec3 expected = m[1] == "FOG_BOX_MIN" ? glm::vec3(fv::minX, fv::minY, fv::minZ)
                                                             : glm::vec3(fv::maxX, fv::maxY, fv::maxZ);
            EXPECT_EQ(value, expected) << m[1];
            ++found;
        }
        EXPECT_EQ(found, 2);
    }
}

// ---------------------------------------------------------------------------
// What the shipped kernels do

class ShippedKernels : public BloomTest {
protected:
    void SetUp() override
    {
        BloomTest::SetUp();
        installLibrary(Vehicle::corsel);
        selectVehicle();
    }
};

TEST_F(ShippedKernels, sceneVisibilityZeroGivesThePlainSceneAndScalesTheEffect)
{
    writeFog(255);
    bloom->setCamera(glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 0.5f, 0.0f)));
    const Frame frame = makeFrame(48, 32, [](int x, int y) {
        return x == 20 && y == 20 ? glm::vec4(30.0f, 30.0f, 30.0f, 1.0f) : glm::vec4(0.1f, 0.1f, 0.1f, 1.0f);
    });
    const auto in = frame.source->readFloats();

    for (float hidden : {0.0f, -0.5f, std::nanf("")}) {
        bloom->setSceneVisibility(hidden);
        process(frame);
        EXPECT_EQ(frame.target->readFloats(), in) << hidden;
    }

    auto change = [&](float visibility) {
        bloom->setSceneVisibility(visibility);
        process(frame);
        const auto out = frame.target->readFloats();
        double total = 0.0;
        for (size_t i = 0; i < out.size(); ++i)
            total += std::abs(out[i] - in[i]);
        return total;
    };
    const double full = change(1.0f);
    const double half = change(0.5f);
    EXPECT_GT(full, 1.0);
    EXPECT_NEAR(half / full, 0.5, 0.02);
}

TEST_F(ShippedKernels, bloomSpreadsABrightPixelIntoCyanTintedNeighbours)
{
    writeFog(0); // no fog: the bloom alone
    // 800 pixels wide: blur sigma 3.
    const int cx = 400, cy = 50;
    const Frame frame = makeFrame(800, 100, [&](int x, int y) {
        return x == cx && y == cy ? glm::vec4(60.0f, 60.0f, 60.0f, 1.0f) : glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
    });
    process(frame);
    const auto out = frame.target->readFloats();
    for (int d : {2, 4, 6}) {
        const glm::vec4 right = pixel(out, frame, cx + d, cy);
        const glm::vec4 farther = pixel(out, frame, cx + 2 * d, cy);
        EXPECT_GT(right.g, farther.g) << d; // fading with distance
        EXPECT_GT(farther.g, 0.0f) << d;
        for (glm::vec4 other :
             {pixel(out, frame, cx - d, cy), pixel(out, frame, cx, cy + d), pixel(out, frame, cx, cy - d)}) {
            EXPECT_GT(other.g, right.g / 1.5f) << d; // round
            EXPECT_LT(other.g, right.g * 1.5f) << d;
        }
        // White light blooms cyan: more green and blue than red.
        EXPECT_GT(right.g, right.r * 1.3f) << d;
        EXPECT_GT(right.b, right.r * 1.3f) << d;
    }
    EXPECT_EQ(pixel(out, frame, 300, 50), glm::vec4(0.0f, 0.0f, 0.0f, 1.0f)); // far away: untouched
    EXPECT_EQ(pixel(out, frame, 400, 5), glm::vec4(0.0f, 0.0f, 0.0f, 1.0f));
}

TEST_F(ShippedKernels, dimPixelsDoNotBloom)
{
    writeFog(0);
    const Frame frame = makeFrame(64, 32, [](int x, int y) {
        return x == 30 && y == 16 ? glm::vec4(0.45f, 0.45f, 0.45f, 1.0f) : glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
    });
    process(frame);
    EXPECT_EQ(frame.target->readFloats(), frame.source->readFloats());
}

TEST_F(ShippedKernels, fogThickensWithDistanceAndDrifts)
{
    gloam::tools::FogNoiseVolume::write(folder);
    // Camera 0.4 m up looking level: left half a wall 6 m away, right half
    // 25 m away (same colour); the fog veils the far half more.
    const glm::mat4 projection = glm::perspective(glm::radians(20.0f), 2.0f, 0.1f, 500.0f);
    auto depthAt = [&](float metres) {
        const glm::vec4 clip = projection * glm::vec4(0.0f, 0.0f, -metres, 1.0f);
        return clip.z / clip.w * 0.5f + 0.5f;
    };
    const float near = depthAt(6.0f), far = depthAt(25.0f);
    bloom->setCamera(glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 0.4f, 8.0f)));
    const Frame frame = makeFrame(
        64, 32, [](int, int) { return glm::vec4(0.0f, 0.0f, 0.0f, 1.0f); },
        [&](int x, int) { return x < 32 ? near : far; });
    auto misted = [&](float time) {
        bloom->setAtmosphere(time, 0.0f, 0.0f, 0.0f);
        process(frame, projection);
        const auto out = frame.target->readFloats();
        std::pair<double, double> sums{0.0, 0.0};
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 64; ++x)
                (x < 32 ? sums.first : sums.second) += pixel(out, frame, x, y).b;
        }
        return sums;
    };
    const auto [nearFog, farFog] = misted(0.0f);
    EXPECT_GT(nearFog, 0.0);
    EXPECT_GT(farFog, nearFog * 2.0);
    const auto [nearLater, farLater] = misted(20.0f);
    EXPECT_GT(std::abs(farLater - farFog), farFog * 0.01); // the fog has moved on
}

// ---------------------------------------------------------------------------
// Values shared with the main thread

// Writes the record's lanes into the first pixels of the target.
const char* probeLibrary = R"(
#pragma kernel cyanHighlights
#pragma kernel groundMist
layout(std140, binding = 0) uniform FogUniforms {
    mat4 inverseProjection; mat4 cameraWorld; vec4 atmosphere; vec4 presentation;
};
#ifdef GLOAM_KERNEL_cyanHighlights
layout(binding = 1, rgba16f) writeonly uniform image2D highlights;
void cyanHighlights() { imageStore(highlights, ivec2(gl_GlobalInvocationID.xy), vec4(0.0)); }
#endif
#ifdef GLOAM_KERNEL_groundMist
layout(binding = 4, rgba16f) writeonly uniform image2D finalColor;
void groundMist() {
    ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    vec4 v = vec4(0.0);
    if (p.x < 4) v = inverseProjection[p.x];
    else if (p.x < 8) v = cameraWorld[p.x - 4];
    else if (p.x == 8) v = atmosphere;
    else if (p.x == 9) v = presentation;
    imageStore(finalColor, p, v);
}
#endif
)";

TEST_F(BloomTest, eachFrameGetsItsOwnCopyOfTheSharedValues)
{
    writeFog(0);
    writeLibrary(Vehicle::corsel, probeLibrary);
    selectVehicle();
    const glm::mat4 projection = glm::perspective(0.5f, 2.0f, 0.5f, 64.0f);
    const glm::mat4 first = glm::translate(glm::mat4(1.0f), glm::vec3(1.0f, 2.0f, 3.0f));
    const glm::mat4 second = glm::translate(glm::mat4(1.0f), glm::vec3(-4.0f, 5.0f, -6.0f));

    // Two frames encoded back to back, the values changed in between, and
    // only then run: each frame shows the values it was encoded with.
    const Frame a = plainFrame(16, 8);
    const Frame b = plainFrame(16, 8);
    bloom->setCamera(first);
    bloom->setAtmosphere(1.5f, 0.25f, 0.5f, 0.75f);
    bloom->setSceneVisibility(0.625f);
    auto bufferA = process(a, projection, /*complete=*/false);
    glm::mat4 handedOver = second;
    bloom->setCamera(handedOver);
    handedOver[3] = glm::vec4(9.0f); // the caller's matrix is not the stored one
    bloom->setAtmosphere(2.5f, 0.0f, 1.0f, -0.5f);
    bloom->setSceneVisibility(1.0f);
    auto bufferB = process(b, projection, /*complete=*/false);
    bufferA->commit();
    bufferB->commit();
    device->waitUntilIdle();

    const glm::mat4 inverse = glm::inverse(projection);
    const auto outA = a.target->readFloats();
    const auto outB = b.target->readFloats();
    for (int column = 0; column < 4; ++column) {
        for (int lane = 0; lane < 4; ++lane) {
            EXPECT_NEAR(pixel(outA, a, column, 0)[lane], inverse[column][lane],
                        2e-3f * (1 + std::abs(inverse[column][lane])));
            EXPECT_FLOAT_EQ(pixel(outA, a, 4 + column, 0)[lane], first[column][lane]);
            EXPECT_FLOAT_EQ(pixel(outB, b, 4 + column, 0)[lane], second[column][lane]);
        }
    }
    EXPECT_EQ(pixel(outA, a, 8, 0), glm::vec4(1.5f, 0.25f, 0.5f, 0.75f));
    EXPECT_EQ(pixel(outA, a, 9, 0), glm::vec4(0.625f, 0.0f, 0.0f, 0.0f));
    EXPECT_EQ(pixel(outB, b, 8, 0), glm::vec4(2.5f, 0.0f, 1.0f, -0.5f));
    EXPECT_EQ(pixel(outB, b, 9, 0), glm::vec4(1.0f, 0.0f, 0.0f, 0.0f));
}

TEST_F(BloomTest, valuesReadWhileTheMainThreadWritesAreNeverTorn)
{
    std::atomic<bool> stop{false};
    auto write = [&](int k) {
        const auto v = static_cast<float>(k);
        bloom->setCamera(glm::mat4(v) + glm::mat4(glm::vec4(v), glm::vec4(v), glm::vec4(v), glm::vec4(0.0f)));
        bloom->setAtmosphere(v, v, v, v);
        bloom->setSceneVisibility(v);
    };
    write(1000);
    std::thread writer([&] {
        for (int k = 1; !stop; k = k % 999 + 1)
            write(k);
    });
    int torn = 0;
    for (int i = 0; i < 20000; ++i) {
        const GhostBloom::SharedValues values = bloom->sharedValues();
        const float k = values.cameraWorld[0][1];
        for (int c = 0; c < 3; ++c)
            for (int r = 0; r < 4; ++r)
                torn += values.cameraWorld[c][r] != k + (c == r ? k : 0.0f) ? 1 : 0;
        const glm::vec4 a = values.atmosphere;
        torn += (a.x != a.y || a.y != a.z || a.z != a.w) ? 1 : 0;
    }
    stop = true;
    writer.join();
    EXPECT_EQ(torn, 0);
}

// ---------------------------------------------------------------------------
// Frame sizes and log lines

TEST_F(ShippedKernels, resizingRebuildsTheImagesAndBlurButKeepsTheFogAndTheLines)
{
    writeFog(60);
    const Frame small = plainFrame(64, 32);
    process(small);
    process(small);
    EXPECT_FLOAT_EQ(bloom->blurSigma(), 64.0f * 9.0f / 2400.0f);
    const Frame large = plainFrame(96, 40);
    fs::remove(folder / gloam::resources::fogDensity); // kept from the first load: not read again
    process(large);
    EXPECT_TRUE(bloom->hasFogVolume());
    EXPECT_FLOAT_EQ(bloom->blurSigma(), 96.0f * 9.0f / 2400.0f);
    for (float value : large.target->readFloats())
        ASSERT_NE(value, -7.0f); // every pixel written
    EXPECT_EQ(log(),
              (std::vector<std::string>{"E4 volumetric fog active 128x64x128 r8", "E4 bloom active pixels=64x32"}));
}

} // namespace

namespace {

TEST_F(ShippedKernels, aFailedFrameIsReportedOnceAndLaterFramesOfThatSizeAreCopied)
{
    writeFog(128);
    const Frame frame = plainFrame();
    bloom->beginSceneWarmup();
    process(frame);
    EXPECT_NE(frame.target->readFloats(), frame.source->readFloats()); // the passes ran
    EXPECT_EQ(bloom->warmupRemaining(), 5);

    const std::string failed = "E4 BLOOM FAILED The GPU could not complete a frame's post-process.";
    process(frame, true, /*fail=*/true);
    EXPECT_EQ(count(failed), 1);
    EXPECT_EQ(bloom->warmupRemaining(), 5); // a failed frame does not count

    // Copied now, and still counted towards the warm-up, so the scene shows.
    process(frame);
    EXPECT_EQ(frame.target->readFloats(), frame.source->readFloats());
    EXPECT_EQ(bloom->warmupRemaining(), 4);
    process(frame, true, /*fail=*/true);
    EXPECT_EQ(count(failed), 1); // said once

    // A new size tries the passes again.
    const Frame other = plainFrame(40, 24);
    process(other);
    EXPECT_NE(other.target->readFloats(), other.source->readFloats());
}

TEST_F(ShippedKernels, theSoftwareTierBloomsAlikeWithItsHalfSizeBlur)
{
    writeFog(0);
    // 800 pixels wide: blur sigma 3; one bright 2 × 2 spot.
    const Frame frame = makeFrame(800, 100, [](int x, int y) {
        return (x == 400 || x == 401) && (y == 50 || y == 51) ? glm::vec4(40.0f, 40.0f, 40.0f, 1.0f)
                                                              : glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
    });
    std::vector<float> results[2];
    for (int k = 0; k < 2; ++k) {
        auto buffer = device->makeCommandBuffer();
        gloam::render::PostProcessContext context{
            device,       buffer,
            frame.source, frame.depth,
            frame.target, glm::perspective(glm::radians(40.0f), 8.0f, 0.1f, 500.0f),
            0.0,          k == 0 ? gloam::render::QualityTier::full : gloam::render::QualityTier::software};
        bloom->process(context);
        buffer->commit();
        buffer->waitUntilCompleted();
        results[k] = frame.target->readFloats();
    }
    // Around the spot the glow is alike (within a quarter), fading alike.
    for (int d : {3, 5, 8}) {
        for (auto [x, y] : {std::pair{401 + d, 50}, {400 - d, 51}, {400, 51 + d}}) {
            const glm::vec4 full = pixel(results[0], frame, x, y);
            const glm::vec4 software = pixel(results[1], frame, x, y);
            EXPECT_GT(full.g, 0.0f);
            EXPECT_NEAR(software.g, full.g, 0.25f * full.g) << x << "," << y;
        }
    }
}

} // namespace

// ---------------------------------------------------------------------------
// The quarter-size path

namespace {

class QuarterSize : public ShippedKernels {
protected:
    // One frame through the full-size path (the full tier) and through the
    // quarter-size one (the software tier).
    std::pair<std::vector<float>, std::vector<float>> bothPaths(const Frame& frame, const glm::mat4& projection)
    {
        std::pair<std::vector<float>, std::vector<float>> results;
        for (const bool quarter : {false, true}) {
            auto buffer = device->makeCommandBuffer();
            gloam::render::PostProcessContext context{
                device,       buffer,
                frame.source, frame.depth,
                frame.target, projection,
                0.0,          quarter ? gloam::render::QualityTier::software : gloam::render::QualityTier::full,
                quarter};
            bloom->process(context);
            buffer->commit();
            buffer->waitUntilCompleted();
            (quarter ? results.second : results.first) = frame.target->readFloats();
        }
        return results;
    }
};

TEST_F(QuarterSize, eachSideOfADepthEdgeKeepsItsOwnFog)
{
    writeFog(255);
    // Camera 0.4 m up looking a little up into even fog (every ray rises,
    // so none meets the ground before the walls): a wall 5 m away up to
    // column 32, a wall 30 m away beyond it (an edge through the middle of
    // the quarter texels' 2 × 2 pixels), and the sky above row 24 on the far
    // side. Odd sizes: the last quarter texels cover one pixel.
    const int width = 65, height = 33, edge = 33;
    const glm::mat4 projection = glm::perspective(glm::radians(20.0f), float(width) / float(height), 0.1f, 500.0f);
    auto depthAt = [&](float metres) {
        const glm::vec4 clip = projection * glm::vec4(0.0f, 0.0f, -metres, 1.0f);
        return clip.z / clip.w * 0.5f + 0.5f;
    };
    const float near = depthAt(5.0f), far = depthAt(30.0f);
    bloom->setCamera(glm::rotate(glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 0.4f, 8.0f)), glm::radians(11.0f),
                                 glm::vec3(1.0f, 0.0f, 0.0f)));
    const Frame frame = makeFrame(
        width, height, [](int, int) { return glm::vec4(0.05f, 0.05f, 0.05f, 1.0f); },
        [&](int x, int y) { return x < edge ? near : (y > 24 ? 1.0f : far); });
    const auto [full, quarter] = bothPaths(frame, projection);

    // How much fog each side shows at full size, well away from the edge.
    const float nearFog = pixel(full, frame, 8, 18).b;
    const float farFog = pixel(full, frame, 56, 18).b;
    ASSERT_GT(farFog - nearFog, 0.02f);
    // Every pixel, the columns beside the edge included, within a tenth of
    // that contrast of the full-size result: neither side's fog bleeds into
    // the other.
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const glm::vec4 q = pixel(quarter, frame, x, y);
            ASSERT_NE(q.a, -7.0f) << x << "," << y; // written
            const glm::vec4 f = pixel(full, frame, x, y);
            for (int lane = 0; lane < 3; ++lane)
                ASSERT_NEAR(q[lane], f[lane], 0.1f * (farFog - nearFog)) << x << "," << y << " lane " << lane;
        }
    }
}

TEST_F(QuarterSize, smoothFogAndBloomComeOutAsAtFullSize)
{
    gloam::tools::FogNoiseVolume::write(folder);
    // The ground seen from 1.2 m up, looking down a little (its depth from
    // a plane), a bright lamp and soft colours; 800 × 100: blur sigma 3.
    const int width = 800, height = 100;
    const glm::mat4 projection = glm::perspective(glm::radians(30.0f), float(width) / float(height), 0.1f, 500.0f);
    const glm::mat4 camera = glm::rotate(glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 1.2f, 8.0f)),
                                         glm::radians(-6.0f), glm::vec3(1.0f, 0.0f, 0.0f));
    const glm::mat4 inverse = glm::inverse(projection);
    auto groundDepth = [&](int x, int y) {
        const glm::vec2 ndc((float(x) + 0.5f) / float(width) * 2.0f - 1.0f,
                            (float(y) + 0.5f) / float(height) * 2.0f - 1.0f);
        const glm::vec4 a = inverse * glm::vec4(ndc, 1.0f, 1.0f);
        const glm::vec3 view = glm::vec3(a) / a.w;
        const float down = -(glm::mat3(camera) * view).y;
        if (down <= 1e-4f)
            return 1.0f; // sky
        const glm::vec4 clip = projection * glm::vec4(view * (1.2f / down), 1.0f);
        return std::min(clip.z / clip.w * 0.5f + 0.5f, 1.0f);
    };
    bloom->setCamera(camera);
    bloom->setAtmosphere(3.0f, 0.0f, 0.5f, 0.0f);
    const Frame frame = makeFrame(
        width, height,
        [](int x, int y) {
            if (x >= 400 && x < 402 && y >= 70 && y < 72)
                return glm::vec4(40.0f, 30.0f, 20.0f, 1.0f);
            return glm::vec4(0.02f + 0.0002f * float(x), 0.03f, 0.04f + 0.001f * float(y), 1.0f);
        },
        groundDepth);
    const auto [full, quarter] = bothPaths(frame, projection);

    // Away from the lamp: the fog alike to within 2 % of the picture's
    // level; the lamp's glow alike to within a quarter.
    double difference = 0.0, level = 0.0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const glm::vec4 q = pixel(quarter, frame, x, y);
            const glm::vec4 f = pixel(full, frame, x, y);
            if (std::abs(x - 400) < 30 && std::abs(y - 70) < 30)
                continue;
            for (int lane = 0; lane < 3; ++lane) {
                difference += std::abs(q[lane] - f[lane]);
                level += std::abs(f[lane]);
            }
        }
    }
    EXPECT_LT(difference, 0.02 * level);
    for (int d : {3, 5, 8}) {
        for (auto [x, y] : {std::pair{401 + d, 70}, {400 - d, 71}, {400, 71 + d}}) {
            const glm::vec4 f = pixel(full, frame, x, y);
            const glm::vec4 q = pixel(quarter, frame, x, y);
            EXPECT_NEAR(q.g, f.g, 0.25f * f.g) << x << "," << y;
        }
    }
}

} // namespace
