#include "forge/audio/AudioBuffer.h"

#include <algorithm>
#include <cmath>

namespace gloam::forge::audio {

AudioBuffer::AudioBuffer(int rate, int channelCount, std::size_t frames)
    : sampleRate(rate)
    , channels(static_cast<std::size_t>(channelCount), std::vector<float>(frames, 0.0f))
{}

AudioBuffer AudioBuffer::seconds(double length, int rate, int channelCount)
{
    const auto frames = static_cast<std::size_t>(std::llround(std::max(length, 0.0) * rate));
    return AudioBuffer(rate, channelCount, frames);
}

std::size_t AudioBuffer::frameAt(double time) const
{
    const auto frame = static_cast<std::size_t>(std::llround(std::max(time, 0.0) * sampleRate));
    return std::min(frame, frameCount());
}

void AudioBuffer::mix(const AudioBuffer& source, std::size_t atFrame, float gain)
{
    if (atFrame >= frameCount() || source.channels.empty())
        return;
    const std::size_t count = std::min(source.frameCount(), frameCount() - atFrame);
    for (std::size_t c = 0; c < channels.size(); ++c) {
        const auto& from = source.channels[std::min(c, source.channels.size() - 1)];
        auto& to = channels[c];
        for (std::size_t i = 0; i < count; ++i)
            to[atFrame + i] += gain * from[i];
    }
}

} // namespace gloam::forge::audio
