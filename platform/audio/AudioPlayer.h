#pragma once

#include <filesystem>
#include <functional>
#include <memory>

namespace gloam::platform {

// Plays one sound file: prepare, play, pause, stop, a play position, a
// duration, a volume. Main thread only.
class AudioPlayer {
public:
    virtual ~AudioPlayer() = default;

    // Readies the output so that play() starts without delay.
    virtual void prepareToPlay() = 0;
    // Starts or resumes from the current time; whether playing started.
    virtual bool play() = 0;
    // Halts and keeps the position.
    virtual void pause() = 0;
    // Halts; the position stays where it was.
    virtual void stop() = 0;

    virtual bool isPlaying() const = 0;
    virtual double currentTime() const = 0;
    virtual void setCurrentTime(double seconds) = 0;
    virtual double duration() const = 0;
    virtual float volume() const = 0;
    virtual void setVolume(float volume) = 0;
    // 0 plays once; the scene never loops.
    virtual void setNumberOfLoops(int loops) = 0;
};

// Makes a player for a file; throws AudioError when it cannot.
using AudioPlayerFactory = std::function<std::unique_ptr<AudioPlayer>(const std::filesystem::path&)>;

} // namespace gloam::platform
