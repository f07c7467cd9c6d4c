#include "platform/audio/AudioDevice.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <algorithm>
#include <atomic>

namespace gloam::platform {

namespace {

int requestedLoopbackRate = 0;
std::atomic<AudioDevice*> opened{nullptr};

} // namespace

AudioDevice& AudioDevice::shared()
{
    // Kept to the end of the process (players may outlive any owner) and
    // closed, not deleted, by closeShared.
    static AudioDevice* device = [] {
        auto* made = new AudioDevice(requestedLoopbackRate);
        opened.store(made);
        return made;
    }();
    return *device;
}

void AudioDevice::closeShared()
{
    if (AudioDevice* device = opened.load()) {
        const auto held = device->lock();
        device->close();
    }
}

bool AudioDevice::useLoopback(int sampleRate)
{
    if (alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback") == ALC_FALSE || sampleRate <= 0) {
        return false;
    }
    requestedLoopbackRate = sampleRate;
    return true;
}

AudioDevice::AudioDevice(int loopbackRate)
{
    ALCdevice* device = nullptr;
    std::vector<ALCint> attributes;
    if (loopbackRate > 0) {
        auto openLoopback =
            reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
        device = openLoopback != nullptr ? openLoopback(nullptr) : nullptr;
        attributes = {ALC_FORMAT_TYPE_SOFT,
                      ALC_FLOAT_SOFT,
                      ALC_FORMAT_CHANNELS_SOFT,
                      ALC_STEREO_SOFT,
                      ALC_FREQUENCY,
                      loopbackRate,
                      0};
        loopback_ = device != nullptr;
    } else {
        device = alcOpenDevice(nullptr);
    }
    if (device == nullptr) {
        error_ = "no sound output device is available";
        return;
    }
    ALCcontext* context = alcCreateContext(device, attributes.empty() ? nullptr : attributes.data());
    if (context == nullptr || alcMakeContextCurrent(context) == ALC_FALSE) {
        if (context != nullptr) {
            alcDestroyContext(context);
        }
        alcCloseDevice(device);
        error_ = "the sound output device cannot be used";
        return;
    }
    device_ = device;
    context_ = context;
}

std::vector<float> AudioDevice::renderLoopback(int frames)
{
    std::vector<float> mix(static_cast<std::size_t>(std::max(frames, 0)) * 2, 0.0F);
    if (!loopback_ || frames <= 0) {
        return mix;
    }
    auto render = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(
        alcGetProcAddress(static_cast<ALCdevice*>(device_), "alcRenderSamplesSOFT"));
    if (render != nullptr) {
        render(static_cast<ALCdevice*>(device_), mix.data(), frames);
    }
    return mix;
}

AudioDevice::~AudioDevice()
{
    close();
}

void AudioDevice::close()
{
    if (context_ != nullptr) {
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(static_cast<ALCcontext*>(context_));
        context_ = nullptr;
    }
    if (device_ != nullptr) {
        alcCloseDevice(static_cast<ALCdevice*>(device_));
        device_ = nullptr;
        loopback_ = false;
        error_ = "the sound output has been closed";
    }
}

} // namespace gloam::platform
