// The video export as users run it: the installed app's --export-video and
// the render tool's --video, as real processes without a display, decoded
// back with FFmpeg's libraries.
#include "tests/support/TemporaryFolder.h"
#include "tests/video/ChildProcess.h"
#include "tests/video/DecodedVideo.h"

#include <gtest/gtest.h>
#include <stb_image.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <fstream>
#include <memory>
#include <thread>

namespace gloam {
namespace {

using testing::ChildProcess;
using testing::DecodedVideo;

constexpr int width = 240;
constexpr int height = 108;
constexpr int fps = 30;

// No display, no sound server, and a settings folder of the test's own
// (nothing stored: the default vehicle and volume).
ChildProcess::Options headless(const std::filesystem::path& config)
{
    ChildProcess::Options options;
    options.environment = {{"DISPLAY", std::nullopt},
                           {"WAYLAND_DISPLAY", std::nullopt},
                           {"QT_QPA_PLATFORM", std::nullopt},
                           {"XDG_CONFIG_HOME", config.string()}};
    return options;
}

std::vector<std::string> folderEntries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::uint8_t> readPng(const std::filesystem::path& file, int& w, int& h)
{
    int channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(stbi_load(file.c_str(), &w, &h, &channels, 4), stbi_image_free);
    if (!pixels) {
        return {};
    }
    return {pixels.get(), pixels.get() + static_cast<std::size_t>(w) * h * 4};
}

// One run of a program that exports, with its folders.
struct Export {
    testing::TemporaryFolder folder{"gloamyard-export"};
    testing::TemporaryFolder config{"gloamyard-export-config"};
    testing::TemporaryFolder logs{"gloamyard-export-logs"};
    int status = -1;
    std::string out;
    std::string err;

    std::filesystem::path file(const std::string& name = "scene.mp4") const { return folder.path() / name; }

    void run(const std::string& program, std::vector<std::string> arguments,
             std::optional<long> fileSizeLimit = std::nullopt)
    {
        ChildProcess::Options options = headless(config.path());
        options.fileSizeLimit = fileSizeLimit;
        ChildProcess child(program, arguments, logs.path(), options);
        status = child.wait();
        out = child.standardOutput();
        err = child.standardError();
    }
};

// The 2 s export of the opening that most checks read, made once.
class OpeningExport : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        run = new Export;
        // A file is there already: --force replaces it.
        std::ofstream(run->file()) << "an older video";
        run->run(GLOAMYARD_APP, {"--export-video", run->file().string(), "--seconds", "2", "--size",
                                 std::to_string(width) + "x" + std::to_string(height), "--seed", "7", "--force"});
        if (run->status == 0) {
            video = new DecodedVideo(DecodedVideo::read(run->file()));
        }
    }
    static void TearDownTestSuite()
    {
        delete video;
        delete run;
        video = nullptr;
        run = nullptr;
    }
    void SetUp() override
    {
        ASSERT_EQ(run->status, 0) << run->err;
        ASSERT_NE(video, nullptr);
    }

    static inline Export* run = nullptr;
    static inline DecodedVideo* video = nullptr;
};

TEST_F(OpeningExport, WritesEveryFrameAtTheSizeAndRateWithoutADisplay)
{
    EXPECT_EQ(video->videoCodec, "h264");
    EXPECT_EQ(video->pixelFormat, "yuv420p");
    EXPECT_EQ(video->width, width);
    EXPECT_EQ(video->height, height);
    EXPECT_EQ(video->rateNumerator, fps);
    EXPECT_EQ(video->rateDenominator, 1);
    EXPECT_EQ(video->frames.size(), 2U * fps);
    // The index is at the front (faststart), and only the video is left in
    // the folder: the temporary file was renamed over the older one.
    const auto moov = std::find(video->boxes.begin(), video->boxes.end(), "moov");
    const auto mdat = std::find(video->boxes.begin(), video->boxes.end(), "mdat");
    EXPECT_LT(moov, mdat);
    EXPECT_EQ(folderEntries(run->folder.path()), std::vector<std::string>{"scene.mp4"});
    // Off a terminal the program says one line, when it is done.
    const auto said = testing::lines(run->out);
    ASSERT_EQ(said.size(), 1U) << run->out;
    EXPECT_NE(said[0].find("gloamyard: wrote " + run->file().string()), std::string::npos) << said[0];
    EXPECT_EQ(run->err, "");
}

TEST_F(OpeningExport, CarriesTheOpeningsMusicInAacOfTheVideosLength)
{
    EXPECT_EQ(video->soundCodec, "aac");
    EXPECT_EQ(video->sampleRate, 48000);
    EXPECT_EQ(video->channels, 2);
    EXPECT_NEAR(video->soundSeconds(), 2.0, 1024.0 / 48000);
    // The music fades in from the first frame; in its second second it
    // plays at about -41 dBFS (RMS 0.009), far above silence (the encoder's
    // rest is below 1e-4) and above -50 dBFS.
    const double level = testing::rms(*video, 1.0, 2.0);
    EXPECT_GT(level, 0.003) << "RMS " << level;
}

TEST_F(OpeningExport, HasSoundAtTheStoredVolumeEvenWhenSoundIsStoredOff)
{
    Export quieter;
    const std::filesystem::path store =
        quieter.config.path() / "G7N4Q2YARD.net.gloamyard.Gloamyard" / "G7N4Q2YARD.net.gloamyard.Gloamyard.json";
    std::filesystem::create_directories(store.parent_path());
    std::ofstream(store) << R"({"audio.app.enabled": false, "audio.app.volume": 0.25})";
    quieter.run(GLOAMYARD_APP, {"--export-video", quieter.file().string(), "--seconds", "2", "--size",
                                std::to_string(width) + "x" + std::to_string(height), "--seed", "7"});
    ASSERT_EQ(quieter.status, 0) << quieter.err;
    // The same opening at a third of the default volume (0.75).
    const double ratio = testing::rms(DecodedVideo::read(quieter.file()), 1.0, 2.0) / testing::rms(*video, 1.0, 2.0);
    EXPECT_NEAR(ratio, 0.25 / 0.75, 0.03);
}

TEST_F(OpeningExport, ShowsWhatTheRenderToolDrawsAtTheSameTimes)
{
    Export render;
    const std::string pattern = (render.folder.path() / "frame-%s.png").string();
    render.run(GLOAMYARD_RENDER, {"--out", pattern, "--at", "0,1", "--size",
                                  std::to_string(width) + "x" + std::to_string(height), "--seed", "7"});
    ASSERT_EQ(render.status, 0) << render.err;
    for (const auto& [time, frame] : {std::pair{"0", 0}, std::pair{"1", fps}}) {
        int w = 0;
        int h = 0;
        const auto picture = readPng(render.folder.path() / ("frame-" + std::string(time) + ".png"), w, h);
        ASSERT_EQ(w, width);
        ASSERT_EQ(h, height);
        const double quality = testing::lumaPsnr(video->frames[static_cast<std::size_t>(frame)], picture);
        EXPECT_GE(quality, 40.0) << "at " << time << " s";
        // The comparison sees the picture: an earlier frame of the opening
        // differs from it by far more than the encoding does.
        if (frame > 0) {
            EXPECT_LT(testing::lumaPsnr(video->frames[static_cast<std::size_t>(frame - 10)], picture), quality - 3.0);
        }
    }
}

// When a cue starts: the first moment where the export with the trigger
// and the same export without it sound clearly different.
TEST(ExportProgram, StartsACueWithinOneFrameOfItsTrigger)
{
    const std::vector<std::string> common{"--seconds", "2", "--size",         "128x64",
                                          "--seed",    "3", "--skip-opening", "--manual"};
    Export quiet;
    std::vector<std::string> arguments{"--export-video", quiet.file().string()};
    arguments.insert(arguments.end(), common.begin(), common.end());
    quiet.run(GLOAMYARD_APP, arguments);
    ASSERT_EQ(quiet.status, 0) << quiet.err;

    Export cue;
    arguments = {"--export-video", cue.file().string(), "--trigger", "pumpkins@1"};
    arguments.insert(arguments.end(), common.begin(), common.end());
    cue.run(GLOAMYARD_APP, arguments);
    ASSERT_EQ(cue.status, 0) << cue.err;

    const DecodedVideo a = DecodedVideo::read(quiet.file());
    const DecodedVideo b = DecodedVideo::read(cue.file());
    ASSERT_EQ(a.samples.size(), b.samples.size());
    // The difference's level in 1 ms windows, against its loudest window.
    const std::size_t window = 48 * 2;
    std::vector<double> levels;
    for (std::size_t at = 0; at + window <= a.samples.size(); at += window) {
        double sum = 0;
        for (std::size_t i = at; i < at + window; ++i) {
            const double d = static_cast<double>(b.samples[i]) - a.samples[i];
            sum += d * d;
        }
        levels.push_back(std::sqrt(sum / window));
    }
    const double loudest = *std::max_element(levels.begin(), levels.end());
    ASSERT_GT(loudest, 0.01) << "the pumpkins' cue is not heard";
    std::size_t first = 0;
    while (levels[first] < loudest * 0.1) {
        ++first;
    }
    const double startsAt = static_cast<double>(first) / 1000.0;
    EXPECT_NEAR(startsAt, 1.0, 1.0 / 30) << "the cue starts at " << startsAt << " s";
}

// Stopped with a signal, during the load or while frames are written: a
// non-zero exit, one line, and nothing left in the folder.
class InterruptedExport : public ::testing::TestWithParam<int> {};

TEST_P(InterruptedExport, LeavesNothingBehind)
{
    const int signal = GetParam();
    Export run;
    ChildProcess child(GLOAMYARD_APP, {"--export-video", run.file().string(), "--seconds", "600", "--size", "64x64"},
                       run.logs.path(), headless(run.config.path()));
    // SIGTERM as soon as the temporary file is there (the scene is still
    // loading); SIGINT once frames reach it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    bool ready = false;
    while (!ready && std::chrono::steady_clock::now() < deadline) {
        for (const auto& entry : std::filesystem::directory_iterator(run.folder.path())) {
            if (entry.path().extension() == ".part" && (signal == SIGTERM || entry.file_size() > 0)) {
                ready = true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(ready) << "the export never started writing";
    child.signal(signal);
    EXPECT_EQ(child.wait(), 128 + signal);
    const auto said = testing::lines(child.standardError());
    ASSERT_EQ(said.size(), 1U) << child.standardError();
    EXPECT_EQ(said[0], std::string("gloamyard: stopped by ") + (signal == SIGINT ? "SIGINT" : "SIGTERM") + "; " +
                           run.file().string() + " was not written");
    EXPECT_EQ(folderEntries(run.folder.path()), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedExport, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& signal) { return signal.param == SIGINT ? "SIGINT" : "SIGTERM"; });

// A folder this process cannot write in: a read-only one, or for root,
// whom permissions do not stop, /sys.
std::filesystem::path unwritableFolder(const std::filesystem::path& inside)
{
    const std::filesystem::path folder = inside / "read-only";
    std::filesystem::create_directory(folder);
    ::chmod(folder.c_str(), 0555);
    if (::access(folder.c_str(), W_OK) != 0) {
        return folder;
    }
    return "/sys";
}

TEST(ExportProgram, RefusesBadInputWithOneLineAndLeavesNoFile)
{
    Export run;
    const std::string target = run.file().string();
    std::ofstream(run.file("existing.mp4")) << "keep me";
    const std::string unwritable = (unwritableFolder(run.folder.path()) / "scene.mp4").string();
    struct Case {
        std::vector<std::string> arguments;
        std::string says;
    };
    const std::vector<Case> cases{
        {{"--export-video", (run.folder.path() / "missing" / "scene.mp4").string()}, "does not exist"},
        {{"--export-video", unwritable}, "cannot write " + unwritable + ": "},
        {{"--export-video", run.file("existing.mp4").string()}, "already exists; add --force to replace it"},
        {{"--export-video", target, "--vehicle", "hearse"}, "--vehicle wants"},
        {{"--export-video", target, "--trigger", "fireworks@2"}, "--trigger wants"},
        {{"--export-video", target, "--size", "32x32"}, "--size wants"},
        {{"--export-video", target, "--size", "8192x4320"}, "--size wants"},
        {{"--export-video", target, "--seconds", "0"}, "--seconds wants"},
        {{"--export-video", target, "--seconds", "-2"}, "--seconds wants"},
    };
    for (const Case& c : cases) {
        run.run(GLOAMYARD_APP, c.arguments);
        EXPECT_NE(run.status, 0) << c.says;
        const auto said = testing::lines(run.err);
        ASSERT_EQ(said.size(), 1U) << run.err;
        EXPECT_EQ(said[0].rfind("gloamyard: ", 0), 0U) << said[0];
        EXPECT_NE(said[0].find(c.says), std::string::npos) << said[0];
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(folderEntries(run.folder.path()), (std::vector<std::string>{"existing.mp4", "read-only"})) << c.says;
    }
    std::ifstream kept(run.file("existing.mp4"));
    std::string text;
    std::getline(kept, text);
    EXPECT_EQ(text, "keep me");
}

TEST(ExportProgram, ReportsAFailedWriteAndLeavesNoFile)
{
    // Writes beyond 48 KiB fail (EFBIG), as they would on a full disk.
    Export run;
    run.run(GLOAMYARD_RENDER, {"--video", run.file().string(), "--seconds", "3", "--size", "64x64"}, 48 * 1024);
    EXPECT_EQ(run.status, 1);
    // The limit also meets the GL driver's own memory files, and Mesa says
    // so in a line of its own; the export says one line.
    std::vector<std::string> said;
    for (const std::string& line : testing::lines(run.err)) {
        if (line.rfind("gloamyard-render: ", 0) == 0) {
            said.push_back(line);
        }
    }
    ASSERT_EQ(said.size(), 1U) << run.err;
    EXPECT_EQ(said[0], "gloamyard-render: cannot write " + run.file().string() + ": File too large");
    EXPECT_EQ(folderEntries(run.folder.path()), std::vector<std::string>{});
}

} // namespace
} // namespace gloam
