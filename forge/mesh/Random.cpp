#include "forge/mesh/Random.h"

namespace gloam::forge {

Random::Random(std::uint64_t seed)
    : state_(seed * 6364136223846793005ULL + 1442695040888963407ULL)
{
    next();
}

std::uint32_t Random::next()
{
    std::uint64_t old = state_;
    state_ = old * 6364136223846793005ULL + 1442695040888963407ULL;
    auto xorshifted = static_cast<std::uint32_t>(((old >> 18U) ^ old) >> 27U);
    auto rot = static_cast<std::uint32_t>(old >> 59U);
    return (xorshifted >> rot) | (xorshifted << ((32U - rot) & 31U));
}

float Random::unit()
{
    return static_cast<float>(next() >> 8) / 16777216.0f;
}

float Random::range(float lo, float hi)
{
    return lo + (hi - lo) * unit();
}

int Random::integer(int lo, int hi)
{
    auto span = static_cast<std::uint32_t>(hi - lo + 1);
    return lo + static_cast<int>(next() % span);
}

float Random::gaussian()
{
    float sum = 0.0f;
    for (int i = 0; i < 4; ++i) {
        sum += unit();
    }
    return (sum - 2.0f) * 1.7320508f;
}

} // namespace gloam::forge
