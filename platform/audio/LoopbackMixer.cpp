#include "platform/audio/LoopbackMixer.h"

#include "platform/audio/AudioDevice.h"
#include "platform/audio/AudioError.h"

namespace gloam::platform {

LoopbackMixer::LoopbackMixer(int sampleRate, int framesPerSecond)
    : sampleRate_(sampleRate)
    , framesPerSecond_(framesPerSecond)
{
    if (sampleRate <= 0 || framesPerSecond <= 0) {
        throw AudioError("the sample rate and the frame rate must be positive");
    }
    if (!AudioDevice::useLoopback(sampleRate)) {
        throw AudioError("OpenAL offers no loopback device (ALC_SOFT_loopback) to mix the sound into");
    }
    AudioDevice& device = AudioDevice::shared();
    if (!device.available()) {
        throw AudioError("the sound cannot be mixed: " + device.error());
    }
    if (!device.isLoopback()) {
        throw AudioError("the sound device was opened for output before the loopback mixer");
    }
}

LoopbackMixer::~LoopbackMixer()
{
    AudioDevice::closeShared();
}

std::int64_t LoopbackMixer::samplesBefore(std::int64_t frame, int sampleRate, int framesPerSecond)
{
    return frame * sampleRate / framesPerSecond;
}

const std::vector<float>& LoopbackMixer::mixFrame()
{
    const std::int64_t first = samplesBefore(frame_, sampleRate_, framesPerSecond_);
    const std::int64_t end = samplesBefore(frame_ + 1, sampleRate_, framesPerSecond_);
    ++frame_;
    mix_ = AudioDevice::shared().renderLoopback(static_cast<int>(end - first));
    return mix_;
}

} // namespace gloam::platform
