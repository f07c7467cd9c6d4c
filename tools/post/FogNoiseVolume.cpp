#include "tools/post/FogNoiseVolume.h"

#include "resources/FogVolumeLayout.h"
#include "resources/ResourceFiles.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <stdexcept>

namespace gloam::tools {

namespace {

constexpr int width = resources::fogWidth;
constexpr int height = resources::fogHeight;
constexpr int depth = resources::fogDepth;

std::uint32_t hash(std::uint32_t x, std::uint32_t y, std::uint32_t z, std::uint32_t seed)
{
    std::uint32_t h = seed * 0x9E3779B9u ^ x * 0x85EBCA6Bu ^ y * 0xC2B2AE35u ^ z * 0x27D4EB2Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

double lattice(int x, int y, int z, std::uint32_t seed)
{
    return static_cast<double>(
               hash(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), static_cast<std::uint32_t>(z), seed) &
               0xFFFFFFu) /
           static_cast<double>(0xFFFFFF);
}

double fade(double t)
{
    return t * t * t * (t * (t * 6.0 - 15.0) + 10.0);
}

// Value noise with cells of `cell` texels across and `cellY` texels high,
// wrapping in x and z.
double valueNoise(int x, int y, int z, int cell, int cellY, std::uint32_t seed)
{
    const int periodX = width / cell;
    const int periodZ = depth / cell;
    const double fx = static_cast<double>(x) / cell, fy = static_cast<double>(y) / cellY,
                 fz = static_cast<double>(z) / cell;
    const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy)),
              z0 = static_cast<int>(std::floor(fz));
    const double tx = fade(fx - x0), ty = fade(fy - y0), tz = fade(fz - z0);
    auto at = [&](int dx, int dy, int dz) { return lattice((x0 + dx) % periodX, y0 + dy, (z0 + dz) % periodZ, seed); };
    auto lerp = [](double a, double b, double t) { return a + (b - a) * t; };
    const double x00 = lerp(at(0, 0, 0), at(1, 0, 0), tx), x10 = lerp(at(0, 1, 0), at(1, 1, 0), tx);
    const double x01 = lerp(at(0, 0, 1), at(1, 0, 1), tx), x11 = lerp(at(0, 1, 1), at(1, 1, 1), tx);
    return lerp(lerp(x00, x10, ty), lerp(x01, x11, ty), tz);
}

} // namespace

std::vector<std::uint8_t> FogNoiseVolume::generate(std::uint32_t seed)
{
    // Texels are 0.375 m across and 0.094 m high, so a cell n texels across
    // is 4n texels high for round features.
    struct Octave {
        int cell, cellY;
        double weight;
    };
    constexpr std::array<Octave, 4> octaves{{{16, 64, 0.5}, {8, 32, 0.27}, {4, 16, 0.15}, {2, 8, 0.08}}};
    const double texelHeight = double(fog_volume::maxY - fog_volume::minY) / height;
    std::vector<double> values(static_cast<size_t>(width) * height * depth);
    double low = 1.0, high = 0.0;
    size_t i = 0;
    for (int z = 0; z < depth; ++z) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x, ++i) {
                double v = 0.0;
                std::uint32_t octaveSeed = seed;
                for (const Octave& octave : octaves) {
                    v += octave.weight * valueNoise(x, y, z, octave.cell, octave.cellY, octaveSeed++);
                }
                values[i] = v;
                low = std::min(low, v);
                high = std::max(high, v);
            }
        }
    }
    std::vector<std::uint8_t> bytes(values.size());
    for (size_t j = 0; j < values.size(); ++j) {
        const double metres = (static_cast<double>((j / width) % height) + 0.5) * texelHeight;
        const double thin = std::clamp((2.0 - metres) / 1.4, 0.0, 1.0);
        const double t = (values[j] - low) / std::max(high - low, 1e-9) * thin * thin * (3.0 - 2.0 * thin);
        bytes[j] = static_cast<std::uint8_t>(std::lround(std::clamp(t, 0.0, 1.0) * 255.0));
    }
    return bytes;
}

void FogNoiseVolume::write(const std::filesystem::path& folder, std::uint32_t seed)
{
    const auto bytes = generate(seed);
    std::ofstream out(folder / resources::fogDensity, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write the fog volume into " + folder.string());
}

} // namespace gloam::tools
