#include "forge/world/FogVolume.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>

#include "forge/mesh/Noise.h"
#include "forge/world/SceneFrame.h"
#include "resources/FogVolumeLayout.h"
#include "resources/ResourceFiles.h"

namespace gloam::forge {

namespace {
float smooth(float a, float b, float x)
{
    float t = std::clamp((x - a) / (b - a), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}
} // namespace

std::vector<std::uint8_t> fogDensity()
{
    namespace fv = gloam::fog_volume;
    const int nx = gloam::resources::fogWidth, ny = gloam::resources::fogHeight, nz = gloam::resources::fogDepth;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(nx * ny * nz));
    Noise billows(9001), wisps(9002);
    // Billows tile along x and z: sample the 3-D noise on a torus' worth of
    // periodic coordinates by blending two offset copies would blur; instead
    // use the 2-D periodic noise for the horizontal pattern and let height
    // shape it.
    const int period = 8;
    for (int k = 0; k < nz; ++k) {
        float z = fv::minZ + (static_cast<float>(k) + 0.5f) * (fv::maxZ - fv::minZ) / static_cast<float>(nz);
        for (int j = 0; j < ny; ++j) {
            float y = fv::minY + (static_cast<float>(j) + 0.5f) * (fv::maxY - fv::minY) / static_cast<float>(ny);
            for (int i = 0; i < nx; ++i) {
                float x = fv::minX + (static_cast<float>(i) + 0.5f) * (fv::maxX - fv::minX) / static_cast<float>(nx);
                glm::vec2 uv(static_cast<float>(i) / static_cast<float>(nx),
                             static_cast<float>(k) / static_cast<float>(nz));
                float ground = frame::groundHeight(x, z);
                float above = y - ground;
                // Thickness of the fog layer varies: banks and gaps.
                float layer = 0.9f + 0.7f * billows.fbm(uv * static_cast<float>(period), 4, 0.55f, period);
                // Hollows hold more fog.
                layer += std::max(0.0f, -ground) * 4.0f;
                float r = std::sqrt(x * x + z * z);
                // Thin around the vehicle so it stays clear.
                float clearing = 0.35f + 0.65f * smooth(2.6f, 6.5f, r);
                // Billowy top surface and wisps.
                float tops =
                    0.35f * wisps.fbm(uv * static_cast<float>(period * 2) + glm::vec2(y * 0.3f), 3, 0.5f, period * 2);
                float density = smooth(layer + tops, std::max(layer + tops - 1.1f, -0.5f), above);
                density *= clearing;
                density *= 0.75f + 0.25f * wisps.fbm(uv * static_cast<float>(period * 4), 2, 0.5f, period * 4);
                density = std::clamp(density, 0.0f, 1.0f);
                // Nothing underground, nothing above the top layer.
                if (above < -0.3f) {
                    density = 0.0f;
                }
                out[static_cast<std::size_t>((k * ny + j) * nx + i)] =
                    static_cast<std::uint8_t>(std::lround(density * 255.0f));
            }
        }
    }
    return out;
}

void writeFogVolume(const std::filesystem::path& file)
{
    std::vector<std::uint8_t> bytes = fogDensity();
    std::ofstream f(file, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!f) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

} // namespace gloam::forge
