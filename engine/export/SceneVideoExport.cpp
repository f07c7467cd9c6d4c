#include "engine/export/SceneVideoExport.h"

#include "engine/export/SceneTrigger.h"
#include "engine/prefs/SoundPreference.h"
#include "engine/prefs/VehiclePreference.h"
#include "engine/scene/GhostView.h"
#include "engine/scene/HeadlessSceneDriver.h"
#include "platform/audio/AudioError.h"
#include "platform/audio/LoopbackMixer.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/render/RenderQuality.h"
#include "platform/render/Renderer.h"
#include "platform/video/Mp4Writer.h"
#include "platform/video/VideoError.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <optional>

namespace gloam {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int sampleRate = 48000;

volatile std::sig_atomic_t stopSignal = 0;

void onStopSignal(int signal)
{
    stopSignal = signal;
}

// SIGINT and SIGTERM only set a flag while the export runs; the frame loop
// sees it, stops, and removes the unfinished file.
class StopSignals {
public:
    StopSignals()
    {
        stopSignal = 0;
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previousInterrupt_);
        sigaction(SIGTERM, &action, &previousTerminate_);
    }
    ~StopSignals()
    {
        sigaction(SIGINT, &previousInterrupt_, nullptr);
        sigaction(SIGTERM, &previousTerminate_, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    static int received() { return stopSignal; }

private:
    struct sigaction previousInterrupt_ {};
    struct sigaction previousTerminate_ {};
};

// A failure the user can do something about; its text is the whole line.
struct ExportFailure {
    std::string message;
};

// The video's file while it is being written: a new, hidden name beside the
// target (so that the rename at the end stays within one file system),
// removed unless it was moved into place.
class PartFile {
public:
    explicit PartFile(const std::filesystem::path& target)
        : target_(target)
    {
        const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const std::filesystem::path candidate =
                folder / ("." + target.filename().string() + "." + std::to_string(getpid()) + "-" +
                          std::to_string(attempt) + ".part");
            // Mode 0666 less the umask: the finished video gets the
            // permissions any new file of the user's would.
            const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                ::close(fd);
                path_ = candidate;
            } else if (errno != EEXIST) {
                throw ExportFailure{"cannot write " + target.string() + ": " + std::strerror(errno)};
            }
        }
        if (path_.empty()) {
            throw ExportFailure{"cannot write " + target.string() + ": no free temporary name beside it"};
        }
    }
    ~PartFile()
    {
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Moves the complete file into place: flushed to the disk first, and
    // never over an existing file unless `replace`.
    void commit(bool replace)
    {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::fsync(fd) != 0) {
            const int error = errno;
            if (fd >= 0) {
                ::close(fd);
            }
            throw ExportFailure{"cannot write " + target_.string() + ": " + std::strerror(error)};
        }
        ::close(fd);
        int moved = replace ? ::rename(path_.c_str(), target_.c_str())
                            : ::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE);
        if (moved != 0 && !replace && errno == EINVAL) {
            // A file system without RENAME_NOREPLACE: a hard link fails the
            // same way when the target exists.
            moved = ::link(path_.c_str(), target_.c_str());
            if (moved == 0) {
                ::unlink(path_.c_str());
            }
        }
        if (moved != 0) {
            throw ExportFailure{errno == EEXIST ? target_.string() + " appeared while the video was made; add --force "
                                                                     "to replace it"
                                                : "cannot write " + target_.string() + ": " + std::strerror(errno)};
        }
        path_.clear();
    }

private:
    std::filesystem::path target_;
    std::filesystem::path path_;
};

// Checks the target before any work: its folder exists, and it is not there
// yet unless it may be replaced.
void checkTarget(const VideoExportOptions& options)
{
    const std::filesystem::path& file = options.file;
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        throw ExportFailure{"cannot write " + file.string() + ": the folder " + folder.string() +
                            (errno == ENOENT ? " does not exist" : std::string(": ") + std::strerror(errno))};
    }
    if (!S_ISDIR(info.st_mode)) {
        throw ExportFailure{"cannot write " + file.string() + ": " + folder.string() + " is not a folder"};
    }
    if (::stat(file.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            throw ExportFailure{"cannot write " + file.string() + ": it is a folder"};
        }
        if (!options.force) {
            throw ExportFailure{file.string() + " already exists; add --force to replace it"};
        }
    }
}

// "1:05" for 65 seconds.
std::string minutesAndSeconds(double seconds)
{
    const long whole = std::lround(std::max(seconds, 0.0));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

// The progress line on a terminal: percent, frames per second, time left,
// rewritten in place a few times a second. Off the terminal it says nothing.
class ProgressLine {
public:
    ProgressLine(std::string program, std::string file)
        : program_(std::move(program))
        , file_(std::move(file))
        , terminal_(::isatty(STDERR_FILENO) == 1)
        , start_(Clock::now())
        , framesStart_(start_)
    {}

    // While the scene loads, before the first frame.
    void loading()
    {
        if (terminal_) {
            std::fprintf(stderr, "\r%s: %s loading the scene\u2026\033[K", program_.c_str(), file_.c_str());
            std::fflush(stderr);
            shown_ = true;
        }
    }

    // The frame rate and the time left count from the first frame, not
    // the load.
    void beginFrames() { framesStart_ = Clock::now(); }

    void show(std::int64_t done, std::int64_t total)
    {
        const Clock::time_point now = Clock::now();
        if (!terminal_ || (done < total && now - shownAt_ < std::chrono::milliseconds(250))) {
            return;
        }
        shownAt_ = now;
        const double elapsed = std::chrono::duration<double>(now - framesStart_).count();
        const double fps = elapsed > 0 ? static_cast<double>(done) / elapsed : 0.0;
        const double left = fps > 0 ? static_cast<double>(total - done) / fps : 0.0;
        std::fprintf(stderr, "\r%s: %s %3d%%  %.1f fps  %s left\033[K", program_.c_str(), file_.c_str(),
                     static_cast<int>(done * 100 / std::max<std::int64_t>(total, 1)), fps,
                     minutesAndSeconds(left).c_str());
        std::fflush(stderr);
        shown_ = true;
    }

    // Removes the line before anything else is printed.
    void clear()
    {
        if (shown_) {
            std::fprintf(stderr, "\r\033[K");
            std::fflush(stderr);
            shown_ = false;
        }
    }

    double elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

private:
    std::string program_;
    std::string file_;
    bool terminal_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point framesStart_;
    Clock::time_point shownAt_{};
};

// The scene's event loop for the load; the app's and the render tool's
// export paths start none of their own.
std::unique_ptr<QCoreApplication> ensureEventLoop(const std::string& program)
{
    if (QCoreApplication::instance() != nullptr) {
        return nullptr;
    }
    static std::string name = program;
    static int argc = 1;
    static char* argv[] = {name.data(), nullptr};
    return std::make_unique<QCoreApplication>(argc, argv);
}

int stoppedBy(int signal, const std::string& program, const VideoExportOptions& options, ProgressLine& progress)
{
    progress.clear();
    std::fprintf(stderr, "%s: stopped by %s; %s was not written\n", program.c_str(),
                 signal == SIGINT ? "SIGINT" : "SIGTERM", options.file.c_str());
    return 128 + signal;
}

} // namespace

int SceneVideoExport::main(int argc, char** argv, std::string_view program, std::string_view fileOption)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    VideoExportOptions options;
    try {
        options = VideoExportOptions::parse(arguments, fileOption);
    } catch (const std::invalid_argument& error) {
        std::fprintf(stderr, "%s: %s\n", std::string(program).c_str(), error.what());
        return 2;
    }
    if (options.help) {
        std::printf("%s", VideoExportOptions::usage(program, fileOption).c_str());
        return 0;
    }
    return run(options, std::string(program));
}

int SceneVideoExport::run(const VideoExportOptions& options, const std::string& program)
{
    const StopSignals stopSignals;
    ProgressLine progress(program, options.file.filename().string());
    for (const std::string& note : options.notes) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), note.c_str());
    }
    // The engine's log lines would fill the terminal; the last ones explain
    // a failed load.
    std::deque<std::string> logLines;
    try {
        checkTarget(options);
        if (platform::Mp4Writer::h264EncoderName().empty()) {
            throw ExportFailure{"this FFmpeg build has no H.264 encoder (libavcodec without libx264); nothing was "
                                "written"};
        }
        PartFile part(options.file);
        platform::Mp4Writer::silenceLibraryLog();

        const auto eventLoop = ensureEventLoop(program);
        // Before anything can open the sound device for output.
        platform::LoopbackMixer mixer(sampleRate, options.framesPerSecond);
        HeadlessSceneDriver driver(options.width, options.height);
        // Every frame at the output size: the scale only follows the frame
        // costs in a window, where frames have a deadline.
        driver.renderer().setQualityTier(render::RenderQuality::choose(driver.device()->rendererName()));
        driver.renderer().resolution().pin(render::DynamicResolution::maximumScale);

        platform::Mp4Writer::Settings settings;
        settings.width = options.width;
        settings.height = options.height;
        settings.framesPerSecond = options.framesPerSecond;
        settings.sampleRate = sampleRate;
        platform::Mp4Writer writer(part.path(), settings);

        double now = 0;
        GhostView::Environment environment;
        environment.uptime = [&now] { return now; };
        environment.eggSeed = options.seed;
        environment.reduceFlashing = options.reduceFlashing;
        environment.log = [&logLines](const std::string& line, bool) {
            logLines.push_back(line);
            if (logLines.size() > 20) {
                logLines.pop_front();
            }
        };
        const Vehicle vehicle = options.vehicle.value_or(VehiclePreference::selected());
        auto view = GhostView::make({0, 0, static_cast<float>(options.width), static_cast<float>(options.height)}, true,
                                    vehicle, SoundMode::app, environment);
        // The video always has sound, at the app's stored volume; nothing is saved.
        const float volume = SoundPreference::volume(SoundMode::app);
        view->sound().configure(true, volume, false);
        if (volume <= 0.0F) {
            std::fprintf(stderr, "%s: note: the app's stored volume is 0, so the video is silent\n", program.c_str());
        }
        if (options.manual) {
            view->setAutomatic(false);
        }
        if (options.skipOpening) {
            view->skipOpening();
        }

        // The whole load before the first frame: frame numbers, not the
        // loading speed, decide what each frame shows.
        progress.loading();
        while (!view->isReady() && !view->isStopped() && StopSignals::received() == 0) {
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
        }
        // The sound files are decoded on workers; the opening waits at its
        // start for them, which would shift every later frame by how long
        // the decoding took.
        view->sound().waitUntilLoaded();
        if (StopSignals::received() != 0) {
            view->stop();
            return stoppedBy(StopSignals::received(), program, options, progress);
        }
        if (view->isStopped()) {
            std::string reason = logLines.empty() ? std::string("the scene stopped") : logLines.back();
            for (const std::string& line : logLines) {
                if (line.find("FAILED") != std::string::npos) {
                    reason = line;
                }
            }
            throw ExportFailure{"the scene could not be loaded (" + reason + "); nothing was written"};
        }

        std::vector<VideoExportOptions::TimedTrigger> triggers = options.triggers;
        std::vector<bool> fired(triggers.size(), false);
        const std::int64_t frames = options.frameCount();
        const double step = 1.0 / options.framesPerSecond;
        progress.beginFrames();
        for (std::int64_t frame = 0; frame < frames; ++frame) {
            if (StopSignals::received() != 0) {
                view->stop();
                return stoppedBy(StopSignals::received(), program, options, progress);
            }
            now = static_cast<double>(frame) / options.framesPerSecond;
            for (std::size_t i = 0; i < triggers.size(); ++i) {
                // As in the app, effects wait for the opening to end.
                if (!fired[i] && triggers[i].at <= now + 1e-9 && !view->openingPlaying()) {
                    fired[i] = true;
                    SceneTrigger::fire(*view, triggers[i].what);
                }
            }
            // The frame update hands the sound its cues for this moment; the
            // mix that follows is the sound of this frame's time.
            driver.present(*view, frame == 0 ? 0.0 : step);
            if (const auto& error = view->sound().loadError()) {
                throw ExportFailure{"the scene's sound is missing (" + *error + "); nothing was written"};
            }
            writer.addFrame(driver.readPixels().data());
            const std::vector<float>& mix = mixer.mixFrame();
            writer.addSound(mix.data(), static_cast<int>(mix.size() / platform::LoopbackMixer::channels));
            progress.show(frame + 1, frames);
        }
        view->stop();
        writer.finish();
        part.commit(options.force);
        progress.clear();
        const double took = progress.elapsed();
        const double length = static_cast<double>(frames) / options.framesPerSecond;
        std::printf("%s: wrote %s (%dx%d, %d fps, %.2f s, H.264 and AAC) in %.1f s, %.1fx real time\n", program.c_str(),
                    options.file.c_str(), options.width, options.height, options.framesPerSecond, length, took,
                    took / length);
        std::fflush(stdout);
        return 0;
    } catch (const ExportFailure& failure) {
        progress.clear();
        std::fprintf(stderr, "%s: %s\n", program.c_str(), failure.message.c_str());
    } catch (const platform::VideoError& error) {
        progress.clear();
        std::fprintf(stderr, "%s: cannot write %s: %s\n", program.c_str(), options.file.c_str(), error.what());
    } catch (const platform::AudioError& error) {
        progress.clear();
        std::fprintf(stderr, "%s: %s; nothing was written\n", program.c_str(), error.what());
    } catch (const std::exception& error) {
        progress.clear();
        std::fprintf(stderr, "%s: %s; nothing was written\n", program.c_str(), error.what());
    }
    return 1;
}

} // namespace gloam
