#include "forge/audio/Reverb.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace gloam::forge::audio {

namespace {
constexpr std::array<int, 8> combTuning{1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr std::array<int, 4> allPassTuning{556, 441, 341, 225};
constexpr int stereoSpread = 23;
constexpr float fixedGain = 0.015f;

std::size_t scaled(int length, int sampleRate)
{
    return static_cast<std::size_t>(std::max(1L, std::lround(length * sampleRate / 44100.0)));
}
} // namespace

float Reverb::Comb::process(float input, float feedback, float damp)
{
    const float output = line[index];
    store = output * (1.0f - damp) + store * damp;
    line[index] = input + store * feedback;
    if (++index == line.size())
        index = 0;
    return output;
}

float Reverb::AllPass::process(float input)
{
    const float buffered = line[index];
    const float output = buffered - input;
    line[index] = input + buffered * 0.5f;
    if (++index == line.size())
        index = 0;
    return output;
}

Reverb::Reverb(const Settings& settings, int sampleRate)
    : settings_(settings)
    , sampleRate_(sampleRate)
{
    for (int side = 0; side < 2; ++side) {
        for (int length : combTuning)
            combs_[side].push_back(Comb{std::vector<float>(scaled(length + side * stereoSpread, sampleRate), 0.0f)});
        for (int length : allPassTuning)
            allPasses_[side].push_back(
                AllPass{std::vector<float>(scaled(length + side * stereoSpread, sampleRate), 0.0f)});
    }
}

void Reverb::process(AudioBuffer& buffer)
{
    if (buffer.channels.empty())
        return;
    const float feedback = settings_.roomSize * 0.28f + 0.7f;
    const float damp = settings_.damping * 0.4f;
    const float wet1 = settings_.wet * (settings_.width / 2.0f + 0.5f);
    const float wet2 = settings_.wet * ((1.0f - settings_.width) / 2.0f);
    const std::size_t delayFrames = static_cast<std::size_t>(std::lround(settings_.preDelay * sampleRate_));
    std::vector<float> delay(delayFrames + 1, 0.0f);
    std::size_t delayIndex = 0;

    auto& left = buffer.channels.front();
    auto& right = buffer.channels.back();
    const bool stereo = buffer.channels.size() > 1;
    for (std::size_t i = 0; i < left.size(); ++i) {
        const float dryL = left[i];
        const float dryR = right[i];
        float input = (stereo ? dryL + dryR : dryL) * fixedGain;
        if (delayFrames > 0) {
            const float delayed = delay[delayIndex];
            delay[delayIndex] = input;
            delayIndex = (delayIndex + 1) % delay.size();
            input = delayed;
        }
        float outL = 0.0f;
        float outR = 0.0f;
        for (auto& comb : combs_[0])
            outL += comb.process(input, feedback, damp);
        for (auto& comb : combs_[1])
            outR += comb.process(input, feedback, damp);
        for (auto& pass : allPasses_[0])
            outL = pass.process(outL);
        for (auto& pass : allPasses_[1])
            outR = pass.process(outR);
        const float wetL = outL * wet1 + outR * wet2;
        const float wetR = outR * wet1 + outL * wet2;
        if (stereo) {
            left[i] = dryL * settings_.dry + wetL;
            right[i] = dryR * settings_.dry + wetR;
        } else {
            left[i] = dryL * settings_.dry + 0.5f * (wetL + wetR);
        }
    }
}

} // namespace gloam::forge::audio
