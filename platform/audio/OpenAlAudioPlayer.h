#pragma once

#include "platform/audio/AudioPlayer.h"
#include "platform/audio/DecodedAudio.h"

#include <filesystem>
#include <memory>

namespace gloam::platform {

// An AudioPlayer that decodes the whole file up front (the scene's sounds
// are short) and plays it through one OpenAL source.
class OpenAlAudioPlayer final : public AudioPlayer {
public:
    // Throws AudioError when the file cannot be decoded or there is no device.
    explicit OpenAlAudioPlayer(const std::filesystem::path& file);
    ~OpenAlAudioPlayer() override;

    OpenAlAudioPlayer(const OpenAlAudioPlayer&) = delete;
    OpenAlAudioPlayer& operator=(const OpenAlAudioPlayer&) = delete;

    static std::unique_ptr<AudioPlayer> open(const std::filesystem::path& file);

    void prepareToPlay() override;
    bool play() override;
    void pause() override;
    void stop() override;
    bool isPlaying() const override;
    double currentTime() const override;
    void setCurrentTime(double seconds) override;
    double duration() const override { return duration_; }
    float volume() const override { return volume_; }
    void setVolume(float volume) override;
    void setNumberOfLoops(int loops) override;

private:
    int state() const;

    unsigned buffer_ = 0;
    unsigned source_ = 0;
    double duration_ = 0;
    float volume_ = 1.0F;
    // Where play() starts from while the source is not playing.
    double position_ = 0;
};

} // namespace gloam::platform
