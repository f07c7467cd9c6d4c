// The primitive generators of MeshResource: box, plane, sphere, cylinder.
#include "platform/mesh/MeshError.h"
#include "platform/mesh/MeshResource.h"

#include <glm/common.hpp>
#include <glm/geometric.hpp>
#include <glm/gtc/constants.hpp>

#include <algorithm>
#include <cmath>
#include <string>

namespace gloam::platform {

namespace {

constexpr int cornerSegments = 8;

// Appends a triangle, ordered so that its front (counter-clockwise) face
// looks along `outward`.
void triangle(MeshDescriptor& d, std::uint32_t a, std::uint32_t b, std::uint32_t c, glm::vec3 outward)
{
    const glm::vec3 n = glm::cross(d.positions[b] - d.positions[a], d.positions[c] - d.positions[a]);
    if (glm::dot(n, outward) < 0.0f) {
        std::swap(b, c);
    }
    d.indices.insert(d.indices.end(), {a, b, c});
}

std::uint32_t vertex(MeshDescriptor& d, glm::vec3 p, glm::vec3 n, glm::vec2 uv)
{
    d.positions.push_back(p);
    d.normals.push_back(n);
    d.textureCoordinates.push_back(uv);
    return static_cast<std::uint32_t>(d.positions.size() - 1);
}

void requirePositive(float value, const char* what, const char* mesh)
{
    if (!(value > 0.0f) || !std::isfinite(value)) {
        throw MeshError(std::string(mesh) + ": " + what + " must be a positive number");
    }
}

// Grid coordinates along one axis of half-size h with rounded bands of
// radius r at both ends.
std::vector<float> axisSteps(float h, float r)
{
    if (r <= 0.0f) {
        return {-h, h};
    }
    std::vector<float> steps;
    for (int i = 0; i <= cornerSegments; ++i) {
        steps.push_back(-h + r * static_cast<float>(i) / cornerSegments);
    }
    if (h - r > -h + r + 1e-6f) {
        for (int i = 0; i <= cornerSegments; ++i) {
            steps.push_back(h - r + r * static_cast<float>(i) / cornerSegments);
        }
    } else {
        for (int i = 1; i <= cornerSegments; ++i) {
            steps.push_back(-h + r + r * static_cast<float>(i) / cornerSegments);
        }
    }
    return steps;
}

} // namespace

MeshPtr MeshResource::generateBox(float size, float cornerRadius)
{
    return generateBox(glm::vec3(size), cornerRadius);
}

MeshPtr MeshResource::generateBox(glm::vec3 size, float cornerRadius)
{
    requirePositive(size.x, "width", "box");
    requirePositive(size.y, "height", "box");
    requirePositive(size.z, "depth", "box");
    const glm::vec3 h = size * 0.5f;
    const float r = std::clamp(cornerRadius, 0.0f, std::min({h.x, h.y, h.z}));
    const glm::vec3 inner = h - glm::vec3(r);

    MeshDescriptor d;
    d.name = "box";
    // Six faces: axis of the normal, its sign, and the two in-plane axes.
    for (int axis = 0; axis < 3; ++axis) {
        for (float sign : {1.0f, -1.0f}) {
            const int ua = (axis + 1) % 3;
            const int va = (axis + 2) % 3;
            const auto us = axisSteps(h[ua], r);
            const auto vs = axisSteps(h[va], r);
            glm::vec3 faceNormal(0.0f);
            faceNormal[axis] = sign;
            const auto base = static_cast<std::uint32_t>(d.positions.size());
            for (float v : vs) {
                for (float u : us) {
                    glm::vec3 p(0.0f);
                    p[axis] = sign * h[axis];
                    p[ua] = u;
                    p[va] = v;
                    glm::vec3 n = faceNormal;
                    if (r > 0.0f) {
                        // Pull onto the rounded surface around the inner box.
                        const glm::vec3 core = glm::clamp(p, -inner, inner);
                        n = glm::normalize(p - core);
                        p = core + n * r;
                    }
                    const glm::vec2 uv((u + h[ua]) / size[ua], (v + h[va]) / size[va]);
                    vertex(d, p, n, uv);
                }
            }
            const auto cols = static_cast<std::uint32_t>(us.size());
            for (std::uint32_t j = 0; j + 1 < vs.size(); ++j) {
                for (std::uint32_t i = 0; i + 1 < cols; ++i) {
                    const std::uint32_t a = base + j * cols + i;
                    const std::uint32_t b = a + 1;
                    const std::uint32_t c = a + cols;
                    const std::uint32_t e = c + 1;
                    if (d.positions[a] == d.positions[b] && d.positions[a] == d.positions[c]) {
                        continue;
                    }
                    triangle(d, a, b, e, faceNormal);
                    triangle(d, a, e, c, faceNormal);
                }
            }
        }
    }
    return generate(std::move(d));
}

MeshPtr MeshResource::generatePlane(float width, float depth, float cornerRadius)
{
    requirePositive(width, "width", "plane");
    requirePositive(depth, "depth", "plane");
    const float hw = width * 0.5f;
    const float hd = depth * 0.5f;
    const float r = std::clamp(cornerRadius, 0.0f, std::min(hw, hd));
    MeshDescriptor d;
    d.name = "plane";
    const glm::vec3 up(0, 1, 0);
    // The image stands upright seen from above with −z ahead: its top at −z.
    auto uvOf = [&](glm::vec3 p) { return glm::vec2(p.x / width + 0.5f, 0.5f - p.z / depth); };

    std::vector<glm::vec3> outline;
    if (r <= 0.0f) {
        outline = {{-hw, 0, -hd}, {hw, 0, -hd}, {hw, 0, hd}, {-hw, 0, hd}};
    } else {
        // Corner arcs, going round through (+x, +z), (−x, +z), (−x, −z), (+x, −z).
        const glm::vec2 centres[4] = {{hw - r, hd - r}, {-hw + r, hd - r}, {-hw + r, -hd + r}, {hw - r, -hd + r}};
        for (int c = 0; c < 4; ++c) {
            for (int i = 0; i <= cornerSegments; ++i) {
                const float a =
                    glm::half_pi<float>() * (static_cast<float>(c) + static_cast<float>(i) / cornerSegments);
                outline.emplace_back(centres[c].x + r * std::cos(a), 0.0f, centres[c].y + r * std::sin(a));
            }
        }
    }
    const auto centre = vertex(d, glm::vec3(0.0f), up, glm::vec2(0.5f));
    const auto first = static_cast<std::uint32_t>(d.positions.size());
    for (const auto& p : outline) {
        vertex(d, p, up, uvOf(p));
    }
    const auto count = static_cast<std::uint32_t>(outline.size());
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t a = first + i;
        const std::uint32_t b = first + (i + 1) % count;
        if (d.positions[a] != d.positions[b]) {
            triangle(d, centre, a, b, up);
        }
    }
    return generate(std::move(d));
}

MeshPtr MeshResource::generatePlane(float width, float height)
{
    requirePositive(width, "width", "plane");
    requirePositive(height, "height", "plane");
    MeshDescriptor d;
    d.name = "plane";
    const glm::vec3 n(0, 0, 1);
    const float hw = width * 0.5f, hh = height * 0.5f;
    vertex(d, {-hw, -hh, 0}, n, {0, 0});
    vertex(d, {hw, -hh, 0}, n, {1, 0});
    vertex(d, {hw, hh, 0}, n, {1, 1});
    vertex(d, {-hw, hh, 0}, n, {0, 1});
    triangle(d, 0, 1, 2, n);
    triangle(d, 0, 2, 3, n);
    return generate(std::move(d));
}

MeshPtr MeshResource::generateSphere(float radius)
{
    requirePositive(radius, "radius", "sphere");
    constexpr int slices = 48;
    constexpr int stacks = 24;
    MeshDescriptor d;
    d.name = "sphere";
    for (int j = 0; j <= stacks; ++j) {
        const float v = static_cast<float>(j) / stacks;
        const float theta = v * glm::pi<float>();
        for (int i = 0; i <= slices; ++i) {
            const float u = static_cast<float>(i) / slices;
            const float phi = u * glm::two_pi<float>();
            const glm::vec3 n(std::sin(theta) * std::sin(phi), std::cos(theta), std::sin(theta) * std::cos(phi));
            vertex(d, n * radius, n, {u, 1.0f - v});
        }
    }
    for (int j = 0; j < stacks; ++j) {
        for (int i = 0; i < slices; ++i) {
            const auto a = static_cast<std::uint32_t>(j * (slices + 1) + i);
            const auto b = a + 1;
            const auto c = a + slices + 1;
            const auto e = c + 1;
            const glm::vec3 out = glm::normalize(d.positions[a] + d.positions[e] + d.positions[b] + d.positions[c]);
            if (j != 0) {
                triangle(d, a, b, e, out);
            }
            if (j != stacks - 1) {
                triangle(d, a, e, c, out);
            }
        }
    }
    return generate(std::move(d));
}

MeshPtr MeshResource::generateCylinder(float height, float radius)
{
    requirePositive(height, "height", "cylinder");
    requirePositive(radius, "radius", "cylinder");
    constexpr int slices = 48;
    MeshDescriptor d;
    d.name = "cylinder";
    const float hh = height * 0.5f;
    for (int i = 0; i <= slices; ++i) {
        const float u = static_cast<float>(i) / slices;
        const float phi = u * glm::two_pi<float>();
        const glm::vec3 n(std::sin(phi), 0.0f, std::cos(phi));
        vertex(d, n * radius + glm::vec3(0, -hh, 0), n, {u, 0});
        vertex(d, n * radius + glm::vec3(0, hh, 0), n, {u, 1});
    }
    for (std::uint32_t i = 0; i < slices; ++i) {
        const std::uint32_t a = 2 * i, b = a + 1, c = a + 2, e = a + 3;
        const glm::vec3 out = glm::normalize(d.normals[a] + d.normals[c]);
        triangle(d, a, c, e, out);
        triangle(d, a, e, b, out);
    }
    for (float sign : {1.0f, -1.0f}) {
        const glm::vec3 n(0, sign, 0);
        const auto centre = vertex(d, {0, sign * hh, 0}, n, {0.5f, 0.5f});
        const auto first = static_cast<std::uint32_t>(d.positions.size());
        for (int i = 0; i < slices; ++i) {
            const float phi = glm::two_pi<float>() * static_cast<float>(i) / slices;
            vertex(d, {radius * std::sin(phi), sign * hh, radius * std::cos(phi)}, n,
                   {0.5f + 0.5f * std::sin(phi), 0.5f + 0.5f * std::cos(phi)});
        }
        for (std::uint32_t i = 0; i < slices; ++i) {
            triangle(d, centre, first + i, first + (i + 1) % slices, n);
        }
    }
    return generate(std::move(d));
}

} // namespace gloam::platform
