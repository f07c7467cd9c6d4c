#pragma once

#include <cstdint>
#include <vector>

namespace gloam::platform {

// The process's sound mixed offline, in step with video frames: OpenAL
// Soft's loopback device (ALC_SOFT_loopback) stands in for a sound card, so
// every player's source is mixed exactly as it would be played, but only
// when asked and into our own buffer. No sound card is needed.
//
// Frame n of the video covers the samples from samplesBefore(n) to
// samplesBefore(n + 1): whole samples that never drift from n / fps
// seconds, whatever the rate. Sound started during frame n's update is
// heard from that frame's first sample.
class LoopbackMixer {
public:
    static constexpr int channels = 2;

    // Makes the process's sound device a loopback device at `sampleRate`,
    // stereo, float. Must come before anything plays. Throws AudioError when
    // OpenAL offers no loopback or the device was already opened for output.
    LoopbackMixer(int sampleRate, int framesPerSecond);
    // Closes the device: every player must be gone by then.
    ~LoopbackMixer();
    LoopbackMixer(const LoopbackMixer&) = delete;
    LoopbackMixer& operator=(const LoopbackMixer&) = delete;

    // The mix for video frame `frame`, the one after the last mixed:
    // interleaved left/right.
    const std::vector<float>& mixFrame();

    int sampleRate() const { return sampleRate_; }
    std::int64_t framesMixed() const { return frame_; }

    // The first sample of video frame `frame`.
    static std::int64_t samplesBefore(std::int64_t frame, int sampleRate, int framesPerSecond);

private:
    int sampleRate_;
    int framesPerSecond_;
    std::int64_t frame_ = 0;
    std::vector<float> mix_;
};

} // namespace gloam::platform
