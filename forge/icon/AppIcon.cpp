#include "forge/icon/AppIcon.h"

#include "resources/ResourceFiles.h"

#include <glm/geometric.hpp>

#include <algorithm>
#include <cmath>
#include <string>

namespace gloam::forge {

namespace {

namespace files = gloam::resources;

// Signed distances in icon units (the icon spans -1..1, y up); negative
// inside.
float circle(glm::vec2 p, glm::vec2 centre, float radius)
{
    return glm::length(p - centre) - radius;
}

float ellipse(glm::vec2 p, glm::vec2 centre, glm::vec2 radii)
{
    return (glm::length((p - centre) / radii) - 1.0F) * std::min(radii.x, radii.y);
}

// A triangle as the intersection of the three half planes of its edges
// (corners counter-clockwise).
float triangle(glm::vec2 p, glm::vec2 a, glm::vec2 b, glm::vec2 c)
{
    const auto edge = [p](glm::vec2 from, glm::vec2 to) {
        const glm::vec2 along = glm::normalize(to - from);
        const glm::vec2 outward(along.y, -along.x);
        return glm::dot(p - from, outward);
    };
    return std::max({edge(a, b), edge(b, c), edge(c, a)});
}

glm::vec3 hex(unsigned rgb)
{
    return glm::vec3(static_cast<float>((rgb >> 16U) & 0xFFU), static_cast<float>((rgb >> 8U) & 0xFFU),
                     static_cast<float>(rgb & 0xFFU)) /
           255.0F;
}

struct Canvas {
    glm::vec3 colour{0.0F};
    float alpha = 0.0F;
    float pixel = 0.01F; // one pixel in icon units

    // Coverage of a shape with distance d, smoothed over one pixel.
    float cover(float d) const { return std::clamp(0.5F - d / pixel, 0.0F, 1.0F); }

    void paint(float d, glm::vec3 paintColour, float opacity = 1.0F)
    {
        const float a = cover(d) * opacity;
        const float outA = a + alpha * (1.0F - a);
        if (outA <= 0.0F) {
            return;
        }
        colour = (paintColour * a + colour * alpha * (1.0F - a)) / outA;
        alpha = outA;
    }
};

glm::vec4 shade(glm::vec2 p, float pixel)
{
    Canvas canvas;
    canvas.pixel = pixel;

    // Night sky, lighter towards the top.
    const float disc = circle(p, glm::vec2(0.0F), 0.97F);
    canvas.paint(disc, glm::mix(hex(0x0E1226), hex(0x2A3466), std::clamp(0.5F + 0.5F * p.y, 0.0F, 1.0F)));

    // The moon with a soft halo, clipped to the disc.
    const float halo = std::exp(-std::max(circle(p, {0.42F, 0.5F}, 0.24F), 0.0F) * 9.0F) * 0.35F;
    canvas.paint(std::max(disc, circle(p, {0.42F, 0.5F}, 0.52F)), hex(0xF3E9C6), halo);
    canvas.paint(circle(p, {0.42F, 0.5F}, 0.24F), hex(0xF3E9C6));

    // The pumpkin: three lobes, darker at their edges and in the grooves.
    const glm::vec2 body(0.0F, -0.24F);
    const float middle = ellipse(p, body, {0.4F, 0.5F});
    const float left = ellipse(p, body + glm::vec2(-0.3F, 0.0F), {0.38F, 0.46F});
    const float right = ellipse(p, body + glm::vec2(0.3F, 0.0F), {0.38F, 0.46F});
    const float pumpkin = std::min({middle, left, right});
    const glm::vec2 q = (p - body) / glm::vec2(0.68F, 0.5F);
    const float rounding = std::clamp(1.0F - glm::dot(q, q), 0.0F, 1.0F);
    const float groove = std::min(std::abs(std::abs(p.x) - 0.17F), 0.06F) / 0.06F;
    glm::vec3 orange = glm::mix(hex(0x9A3F0A), hex(0xF08A24), 0.35F + 0.65F * std::sqrt(rounding));
    orange *= 0.8F + 0.2F * groove;
    canvas.paint(pumpkin, orange);

    // The stem.
    const glm::vec2 stem = p - glm::vec2(0.02F, 0.32F);
    const float stemShape = std::max(std::abs(stem.x + 0.15F * stem.y) - 0.07F, std::abs(stem.y) - 0.1F);
    canvas.paint(stemShape, hex(0x56702C));

    // The carved face, lit from inside.
    const glm::vec3 glow = hex(0xFFD85A);
    canvas.paint(triangle(p, {-0.34F, -0.16F}, {-0.1F, -0.16F}, {-0.22F, 0.02F}), glow);
    canvas.paint(triangle(p, {0.1F, -0.16F}, {0.34F, -0.16F}, {0.22F, 0.02F}), glow);
    const float smile = std::max(ellipse(p, {0.0F, -0.34F}, {0.4F, 0.2F}), -ellipse(p, {0.0F, -0.22F}, {0.46F, 0.2F}));
    canvas.paint(smile, glow);

    return {canvas.colour, canvas.alpha};
}

} // namespace

Image appIcon(int size)
{
    Image image(size, size);
    const float pixel = 2.0F / static_cast<float>(size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const glm::vec2 p((static_cast<float>(x) + 0.5F) * pixel - 1.0F,
                              1.0F - (static_cast<float>(y) + 0.5F) * pixel);
            image.at(x, y) = shade(p, pixel);
        }
    }
    return image;
}

void writeAppIcons(const std::filesystem::path& resourceFolder)
{
    for (int size : files::appIconSizes) {
        const std::string side = std::to_string(size) + "x" + std::to_string(size);
        const std::filesystem::path folder =
            resourceFolder / std::string(files::iconsFolder) / "hicolor" / side / "apps";
        std::filesystem::create_directories(folder);
        appIcon(size).writePng(folder / (std::string(files::appIconName) + ".png"));
    }
}

} // namespace gloam::forge
