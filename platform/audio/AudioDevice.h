#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace gloam::platform {

// The process's one OpenAL output device and context, opened on first use.
// A machine without sound output has none: every player then fails with
// the reason, and the scene stays silent.
class AudioDevice {
public:
    static AudioDevice& shared();

    // Makes the shared device a loopback device that plays into memory at
    // `sampleRate` (stereo, float) instead of a sound card: the caller pulls
    // the mixed output with renderLoopback. For tests and offline rendering;
    // must be called before anything uses the shared device. Returns false
    // when OpenAL offers no loopback.
    static bool useLoopback(int sampleRate);

    // Closes the shared device, if it was opened, at the end of the program
    // once every player is gone: the sound server then sees the client
    // leave rather than lose it. Players made afterwards fail.
    static void closeShared();

    // The next `frames` stereo frames of the mix, interleaved left/right.
    std::vector<float> renderLoopback(int frames);

    // Held while OpenAL objects are made or released, so that closeShared
    // never pulls the device from under a player being made on a worker.
    std::unique_lock<std::mutex> lock() { return std::unique_lock(mutex_); }

    // Read under lock() where it may race with closeShared.
    bool available() const { return error_.empty(); }
    // Whether this is the loopback device that useLoopback asked for.
    bool isLoopback() const { return loopback_; }
    // Why there is no device; empty when there is one.
    const std::string& error() const { return error_; }

    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

private:
    explicit AudioDevice(int loopbackRate);
    ~AudioDevice();
    void close();

    std::mutex mutex_;
    void* device_ = nullptr;
    void* context_ = nullptr;
    bool loopback_ = false;
    std::string error_;
};

} // namespace gloam::platform
