#include "forge/audio/Mastering.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gloam::forge::audio {

void Mastering::removeDc(AudioBuffer& buffer)
{
    const float r = 1.0f - static_cast<float>(2.0 * std::numbers::pi * 8.0 / buffer.sampleRate);
    for (auto& channel : buffer.channels) {
        double sum = 0.0;
        for (float s : channel)
            sum += s;
        const float mean = channel.empty() ? 0.0f : static_cast<float>(sum / static_cast<double>(channel.size()));
        float x1 = 0.0f;
        float y1 = 0.0f;
        for (float& s : channel) {
            const float x = s - mean;
            const float y = x - x1 + r * y1;
            x1 = x;
            y1 = y;
            s = y;
        }
    }
}

float Mastering::peak(const AudioBuffer& buffer)
{
    float result = 0.0f;
    for (const auto& channel : buffer.channels)
        for (float s : channel)
            result = std::max(result, std::abs(s));
    return result;
}

void Mastering::normalise(AudioBuffer& buffer, float target)
{
    const float current = peak(buffer);
    if (current <= 0.0f)
        return;
    const float gain = target / current;
    for (auto& channel : buffer.channels)
        for (float& s : channel)
            s *= gain;
}

void Mastering::fadeIn(AudioBuffer& buffer, double length)
{
    const std::size_t frames = std::min(buffer.frameCount(), static_cast<std::size_t>(length * buffer.sampleRate));
    for (auto& channel : buffer.channels)
        for (std::size_t i = 0; i < frames; ++i) {
            const double x = static_cast<double>(i) / static_cast<double>(frames);
            channel[i] *= static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * x));
        }
}

void Mastering::fadeOut(AudioBuffer& buffer, double end, double length)
{
    const std::size_t endFrame = buffer.frameAt(end);
    const std::size_t startFrame = buffer.frameAt(std::max(end - length, 0.0));
    for (auto& channel : buffer.channels) {
        for (std::size_t i = startFrame; i < endFrame; ++i) {
            const double x = static_cast<double>(i - startFrame) /
                             static_cast<double>(std::max<std::size_t>(endFrame - startFrame, 1));
            channel[i] *= static_cast<float>(0.5 + 0.5 * std::cos(std::numbers::pi * x));
        }
        std::fill(channel.begin() + static_cast<std::ptrdiff_t>(endFrame), channel.end(), 0.0f);
    }
}

void Mastering::softLimit(AudioBuffer& buffer, float knee)
{
    const float room = 1.0f - knee;
    for (auto& channel : buffer.channels)
        for (float& s : channel) {
            const float a = std::abs(s);
            if (a > knee) {
                const float over = (a - knee) / room;
                s = std::copysign(knee + room * std::tanh(over), s);
            }
        }
}

} // namespace gloam::forge::audio
