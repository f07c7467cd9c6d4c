#include "forge/mesh/Shapes.h"

#include <algorithm>
#include <cmath>

#include <glm/geometric.hpp>

namespace gloam::forge::shapes {

namespace {

constexpr float pi = 3.14159265f;

std::vector<float> boxCoordinates(float half, float bevel, int segments, int subdivisions)
{
    std::vector<float> out;
    float inner = half - bevel;
    if (bevel > 0.0f) {
        for (int k = segments; k >= 1; --k) {
            out.push_back(-inner - bevel * std::tan(pi * 0.25f * static_cast<float>(k) / static_cast<float>(segments)));
        }
    }
    int steps = subdivisions + 1;
    for (int i = 0; i <= steps; ++i) {
        out.push_back(-inner + 2.0f * inner * static_cast<float>(i) / static_cast<float>(steps));
    }
    if (bevel > 0.0f) {
        for (int k = 1; k <= segments; ++k) {
            out.push_back(inner + bevel * std::tan(pi * 0.25f * static_cast<float>(k) / static_cast<float>(segments)));
        }
    }
    return out;
}

float cross2(glm::vec2 a, glm::vec2 b)
{
    return a.x * b.y - a.y * b.x;
}

float signedArea(const std::vector<glm::vec2>& p)
{
    float a = 0.0f;
    for (std::size_t i = 0; i < p.size(); ++i) {
        a += cross2(p[i], p[(i + 1) % p.size()]);
    }
    return a * 0.5f;
}

bool insideTriangle(glm::vec2 p, glm::vec2 a, glm::vec2 b, glm::vec2 c)
{
    float d1 = cross2(b - a, p - a), d2 = cross2(c - b, p - b), d3 = cross2(a - c, p - c);
    return d1 > 0.0f && d2 > 0.0f && d3 > 0.0f;
}

// Moves every corner of a counter-clockwise outline inwards by d (mitred,
// limited at sharp corners).
std::vector<glm::vec2> inset(const std::vector<glm::vec2>& p, float d)
{
    std::vector<glm::vec2> out(p.size());
    std::size_t n = p.size();
    for (std::size_t i = 0; i < n; ++i) {
        glm::vec2 a = p[(i + n - 1) % n], b = p[i], c = p[(i + 1) % n];
        glm::vec2 e1 = glm::normalize(b - a), e2 = glm::normalize(c - b);
        glm::vec2 n1(-e1.y, e1.x), n2(-e2.y, e2.x);
        glm::vec2 m = n1 + n2;
        float denom = 1.0f + glm::dot(n1, n2);
        glm::vec2 offset = denom > 0.2f ? m / denom : glm::normalize(m + glm::vec2(1e-6f)) * 1.5f;
        out[i] = b + offset * d;
    }
    return out;
}

} // namespace

Mesh bevelledBox(glm::vec3 size, float bevel, int segments, int subdivisions)
{
    glm::vec3 half = size * 0.5f;
    bevel = std::min({bevel, half.x * 0.95f, half.y * 0.95f, half.z * 0.95f});
    if (bevel <= 0.0f) {
        bevel = 0.0f;
    }
    glm::vec3 inner = half - glm::vec3(bevel);
    std::vector<float> coords[3];
    for (int a = 0; a < 3; ++a) {
        coords[a] = boxCoordinates(half[a], bevel, segments, subdivisions);
    }
    Mesh mesh;
    for (int a = 0; a < 3; ++a) {
        int u = (a + 1) % 3, v = (a + 2) % 3;
        for (int sign = -1; sign <= 1; sign += 2) {
            auto base = static_cast<std::uint32_t>(mesh.vertices.size());
            std::size_t nu = coords[u].size(), nv = coords[v].size();
            for (std::size_t j = 0; j < nv; ++j) {
                for (std::size_t i = 0; i < nu; ++i) {
                    glm::vec3 p;
                    p[a] = static_cast<float>(sign) * half[a];
                    p[u] = coords[u][i];
                    p[v] = coords[v][j];
                    glm::vec3 in = glm::clamp(p, -inner, inner);
                    glm::vec3 n;
                    glm::vec3 pos = p;
                    if (bevel > 0.0f) {
                        n = glm::normalize(p - in);
                        pos = in + n * bevel;
                    } else {
                        n = glm::vec3(0.0f);
                        n[a] = static_cast<float>(sign);
                    }
                    mesh.add(pos, n);
                }
            }
            for (std::size_t j = 0; j + 1 < nv; ++j) {
                for (std::size_t i = 0; i + 1 < nu; ++i) {
                    auto i00 = base + static_cast<std::uint32_t>(j * nu + i);
                    auto i10 = i00 + 1;
                    auto i01 = i00 + static_cast<std::uint32_t>(nu);
                    auto i11 = i01 + 1;
                    if (sign > 0) {
                        mesh.quad(i00, i10, i11, i01);
                    } else {
                        mesh.quad(i00, i01, i11, i10);
                    }
                }
            }
        }
    }
    mesh.boxUvs(1.0f);
    return mesh;
}

std::vector<unsigned> triangulate(const std::vector<glm::vec2>& outline)
{
    std::vector<unsigned> out;
    std::vector<unsigned> remaining(outline.size());
    for (unsigned i = 0; i < remaining.size(); ++i) {
        remaining[i] = i;
    }
    if (signedArea(outline) < 0.0f) {
        std::reverse(remaining.begin(), remaining.end());
    }
    std::size_t guard = 0;
    while (remaining.size() > 3 && guard < outline.size() * outline.size() + 16) {
        ++guard;
        bool clipped = false;
        std::size_t n = remaining.size();
        for (std::size_t i = 0; i < n; ++i) {
            unsigned ia = remaining[(i + n - 1) % n], ib = remaining[i], ic = remaining[(i + 1) % n];
            glm::vec2 a = outline[ia], b = outline[ib], c = outline[ic];
            if (cross2(b - a, c - b) <= 1e-9f) {
                continue;
            }
            bool empty = true;
            for (unsigned k : remaining) {
                if (k != ia && k != ib && k != ic && insideTriangle(outline[k], a, b, c)) {
                    empty = false;
                    break;
                }
            }
            if (empty) {
                out.insert(out.end(), {ia, ib, ic});
                remaining.erase(remaining.begin() + static_cast<long>(i));
                clipped = true;
                break;
            }
        }
        if (!clipped) {
            // Degenerate outline: fall back to a fan over what is left.
            for (std::size_t i = 1; i + 1 < remaining.size(); ++i) {
                out.insert(out.end(), {remaining[0], remaining[i], remaining[i + 1]});
            }
            return out;
        }
    }
    if (remaining.size() == 3) {
        out.insert(out.end(), {remaining[0], remaining[1], remaining[2]});
    }
    return out;
}

Mesh extrusion(const std::vector<glm::vec2>& outlineIn, float depth, float bevel)
{
    std::vector<glm::vec2> outline = outlineIn;
    if (signedArea(outline) < 0.0f) {
        std::reverse(outline.begin(), outline.end());
    }
    std::size_t n = outline.size();
    float half = depth * 0.5f;
    bevel = std::min(bevel, half * 0.9f);
    std::vector<glm::vec2> in = bevel > 0.0f ? inset(outline, bevel) : outline;
    Mesh mesh;
    // Edge normals and, per corner, whether the corner is smooth.
    std::vector<glm::vec2> edgeNormal(n);
    for (std::size_t i = 0; i < n; ++i) {
        glm::vec2 e = glm::normalize(outline[(i + 1) % n] - outline[i]);
        edgeNormal[i] = {e.y, -e.x};
    }
    auto cornerNormal = [&](std::size_t corner, std::size_t edge) {
        std::size_t prev = (corner + n - 1) % n;
        glm::vec2 a = edgeNormal[prev], b = edgeNormal[corner];
        if (glm::dot(a, b) > 0.85f) {
            return glm::normalize(a + b);
        }
        return edgeNormal[edge];
    };
    struct Ring {
        const std::vector<glm::vec2>* points;
        float z;
        float lean; // z component of the normal (chamfer bands)
    };
    auto band = [&](const Ring& r0, const Ring& r1, float nz) {
        for (std::size_t i = 0; i < n; ++i) {
            std::size_t j = (i + 1) % n;
            glm::vec2 na = cornerNormal(i, i), nb = cornerNormal(j, i);
            float side = std::sqrt(std::max(0.0f, 1.0f - nz * nz));
            glm::vec3 n0(na * side, nz), n1(nb * side, nz);
            auto a = mesh.add({(*r0.points)[i], r0.z}, n0);
            auto b = mesh.add({(*r0.points)[j], r0.z}, n1);
            auto c = mesh.add({(*r1.points)[j], r1.z}, n1);
            auto d = mesh.add({(*r1.points)[i], r1.z}, n0);
            // r0 is the nearer (+z) ring: order so that the face looks outwards.
            mesh.quad(a, d, c, b);
        }
    };
    if (bevel > 0.0f) {
        band({&in, half, 0}, {&outline, half - bevel, 0}, 0.7071f);
        band({&outline, half - bevel, 0}, {&outline, -half + bevel, 0}, 0.0f);
        band({&outline, -half + bevel, 0}, {&in, -half, 0}, -0.7071f);
    } else {
        band({&outline, half, 0}, {&outline, -half, 0}, 0.0f);
    }
    std::vector<unsigned> tris = triangulate(in);
    auto front = static_cast<std::uint32_t>(mesh.vertices.size());
    for (glm::vec2 p : in) {
        mesh.add({p, half}, {0, 0, 1});
    }
    auto back = static_cast<std::uint32_t>(mesh.vertices.size());
    for (glm::vec2 p : in) {
        mesh.add({p, -half}, {0, 0, -1});
    }
    for (std::size_t t = 0; t + 2 < tris.size(); t += 3) {
        mesh.triangle(front + tris[t], front + tris[t + 1], front + tris[t + 2]);
        mesh.triangle(back + tris[t], back + tris[t + 2], back + tris[t + 1]);
    }
    mesh.boxUvs(1.0f);
    return mesh;
}

Mesh lathe(const std::vector<glm::vec2>& profile, int segments, const std::function<float(float, float)>& radiusScale)
{
    Mesh mesh;
    std::size_t rows = profile.size();
    float totalLength = 0.0f;
    std::vector<float> along(rows, 0.0f);
    for (std::size_t j = 1; j < rows; ++j) {
        totalLength += glm::length(profile[j] - profile[j - 1]);
        along[j] = totalLength;
    }
    for (int i = 0; i <= segments; ++i) {
        float angle = 2.0f * pi * static_cast<float>(i) / static_cast<float>(segments);
        for (std::size_t j = 0; j < rows; ++j) {
            float r = profile[j].x;
            if (radiusScale) {
                r *= radiusScale(angle, profile[j].y);
            }
            glm::vec3 p(r * std::cos(angle), profile[j].y, -r * std::sin(angle));
            mesh.add(
                p, {std::cos(angle), 0, -std::sin(angle)},
                {static_cast<float>(i) / static_cast<float>(segments), 1.0f - along[j] / std::max(totalLength, 1e-6f)});
        }
    }
    auto at = [&](int i, std::size_t j) { return static_cast<std::uint32_t>(static_cast<std::size_t>(i) * rows + j); };
    for (int i = 0; i < segments; ++i) {
        for (std::size_t j = 0; j + 1 < rows; ++j) {
            bool bottomPole = profile[j].x <= 0.0f;
            bool topPole = profile[j + 1].x <= 0.0f;
            if (bottomPole && topPole) {
                continue;
            }
            if (bottomPole) {
                mesh.triangle(at(i, j), at(i + 1, j + 1), at(i, j + 1));
            } else if (topPole) {
                mesh.triangle(at(i, j), at(i + 1, j), at(i, j + 1));
            } else {
                mesh.quad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
            }
        }
    }
    mesh.recomputeNormals();
    // Close the seam: the first and last columns share their normals.
    for (std::size_t j = 0; j < rows; ++j) {
        glm::vec3 sum = mesh.vertices[at(0, j)].normal + mesh.vertices[at(segments, j)].normal;
        if (glm::length(sum) > 1e-6f) {
            sum = glm::normalize(sum);
            mesh.vertices[at(0, j)].normal = sum;
            mesh.vertices[at(segments, j)].normal = sum;
        }
    }
    // Poles point straight along the axis.
    for (std::size_t j = 0; j < rows; ++j) {
        if (profile[j].x <= 0.0f) {
            float dir = (j == 0) ? -1.0f : 1.0f;
            for (int i = 0; i <= segments; ++i) {
                mesh.vertices[at(i, j)].normal = {0, dir, 0};
            }
        }
    }
    return mesh;
}

Mesh tube(const std::vector<glm::vec3>& path, const std::vector<float>& radii, int sides, bool capped)
{
    Mesh mesh;
    std::size_t count = path.size();
    if (count < 2) {
        return mesh;
    }
    std::vector<glm::vec3> tangents(count);
    for (std::size_t i = 0; i < count; ++i) {
        glm::vec3 a = path[i == 0 ? 0 : i - 1], b = path[std::min(i + 1, count - 1)];
        tangents[i] = glm::normalize(b - a);
    }
    glm::vec3 up = std::abs(tangents[0].y) < 0.9f ? glm::vec3(0, 1, 0) : glm::vec3(1, 0, 0);
    glm::vec3 normal = glm::normalize(glm::cross(glm::cross(tangents[0], up), tangents[0]));
    float along = 0.0f;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            // Parallel transport of the frame.
            glm::vec3 t0 = tangents[i - 1], t1 = tangents[i];
            glm::vec3 axis = glm::cross(t0, t1);
            float s = glm::length(axis);
            if (s > 1e-6f) {
                axis /= s;
                float angle = std::atan2(s, glm::dot(t0, t1));
                normal = normal * std::cos(angle) + glm::cross(axis, normal) * std::sin(angle) +
                         axis * glm::dot(axis, normal) * (1.0f - std::cos(angle));
            }
            normal = glm::normalize(normal - tangents[i] * glm::dot(normal, tangents[i]));
            along += glm::length(path[i] - path[i - 1]);
        }
        glm::vec3 binormal = glm::cross(tangents[i], normal);
        for (int k = 0; k <= sides; ++k) {
            float phi = 2.0f * pi * static_cast<float>(k) / static_cast<float>(sides);
            glm::vec3 n = normal * std::cos(phi) + binormal * std::sin(phi);
            mesh.add(path[i] + n * radii[i], n, {static_cast<float>(k) / static_cast<float>(sides), along});
        }
    }
    auto ring = static_cast<std::uint32_t>(sides + 1);
    for (std::size_t i = 0; i + 1 < count; ++i) {
        for (int k = 0; k < sides; ++k) {
            auto a = static_cast<std::uint32_t>(i) * ring + static_cast<std::uint32_t>(k);
            mesh.quad(a, a + 1, a + 1 + ring, a + ring);
        }
    }
    if (capped) {
        for (int end = 0; end < 2; ++end) {
            std::size_t i = end == 0 ? 0 : count - 1;
            glm::vec3 n = end == 0 ? -tangents[0] : tangents[count - 1];
            if (radii[i] <= 1e-5f) {
                continue;
            }
            auto centre = mesh.add(path[i], n, {0.5f, 0.5f});
            auto first = static_cast<std::uint32_t>(mesh.vertices.size());
            for (int k = 0; k < sides; ++k) {
                Vertex v = mesh.vertices[static_cast<std::size_t>(i) * ring + static_cast<std::size_t>(k)];
                mesh.add(v.position, n, v.uv);
            }
            for (int k = 0; k < sides; ++k) {
                auto a = first + static_cast<std::uint32_t>(k);
                auto b = first + static_cast<std::uint32_t>((k + 1) % sides);
                if (end == 0) {
                    mesh.triangle(centre, b, a);
                } else {
                    mesh.triangle(centre, a, b);
                }
            }
        }
    }
    return mesh;
}

Mesh sphere(float radius, int rings, int segments)
{
    std::vector<glm::vec2> profile;
    for (int j = 0; j <= rings; ++j) {
        float a = -pi * 0.5f + pi * static_cast<float>(j) / static_cast<float>(rings);
        profile.push_back({j == 0 || j == rings ? 0.0f : radius * std::cos(a), radius * std::sin(a)});
    }
    return lathe(profile, segments);
}

Mesh quad(float width, float height)
{
    Mesh mesh;
    float w = width * 0.5f, h = height * 0.5f;
    glm::vec3 n(0, 0, 1);
    auto a = mesh.add({-w, -h, 0}, n, {0, 1});
    auto b = mesh.add({w, -h, 0}, n, {1, 1});
    auto c = mesh.add({w, h, 0}, n, {1, 0});
    auto d = mesh.add({-w, h, 0}, n, {0, 0});
    mesh.quad(a, b, c, d);
    return mesh;
}

Mesh polygon(const std::vector<glm::vec2>& outline)
{
    Mesh mesh;
    glm::vec2 lo(1e30f), hi(-1e30f);
    for (glm::vec2 p : outline) {
        lo = glm::min(lo, p);
        hi = glm::max(hi, p);
    }
    glm::vec2 span = glm::max(hi - lo, glm::vec2(1e-6f));
    for (glm::vec2 p : outline) {
        glm::vec2 t = (p - lo) / span;
        mesh.add({p, 0}, {0, 0, 1}, {t.x, 1.0f - t.y});
    }
    std::vector<unsigned> tris = triangulate(outline);
    for (std::size_t t = 0; t + 2 < tris.size(); t += 3) {
        mesh.triangle(tris[t], tris[t + 1], tris[t + 2]);
    }
    return mesh;
}

Mesh terrainDisc(float innerRadius, float radius, int rings, int segments,
                 const std::function<float(float, float)>& height, float uvMetres)
{
    Mesh mesh;
    bool centre = innerRadius <= 0.0f;
    std::uint32_t centreIndex = 0;
    if (centre) {
        centreIndex = mesh.add({0, height(0, 0), 0}, {0, 1, 0}, {0, 0});
    }
    auto first = static_cast<std::uint32_t>(mesh.vertices.size());
    for (int j = 0; j <= rings; ++j) {
        float t = static_cast<float>(centre ? j + 1 : j) / static_cast<float>(centre ? rings + 1 : rings);
        float r = innerRadius + (radius - innerRadius) * t;
        for (int i = 0; i < segments; ++i) {
            float a = 2.0f * pi * static_cast<float>(i) / static_cast<float>(segments);
            float x = r * std::cos(a), z = r * std::sin(a);
            mesh.add({x, height(x, z), z}, {0, 1, 0}, {x / uvMetres, z / uvMetres});
        }
    }
    auto at = [&](int j, int i) {
        return first + static_cast<std::uint32_t>(j * segments + ((i % segments + segments) % segments));
    };
    if (centre) {
        for (int i = 0; i < segments; ++i) {
            mesh.triangle(centreIndex, at(0, i + 1), at(0, i));
        }
    }
    for (int j = 0; j < rings; ++j) {
        for (int i = 0; i < segments; ++i) {
            mesh.quad(at(j, i), at(j, i + 1), at(j + 1, i + 1), at(j + 1, i));
        }
    }
    mesh.recomputeNormals();
    return mesh;
}

std::vector<glm::vec2> circle(glm::vec2 centre, float radius, int segments)
{
    std::vector<glm::vec2> out;
    for (int i = 0; i < segments; ++i) {
        float a = 2.0f * pi * static_cast<float>(i) / static_cast<float>(segments);
        out.push_back(centre + radius * glm::vec2(std::cos(a), std::sin(a)));
    }
    return out;
}

std::vector<glm::vec2> archedSlab(float w, float h, float rise, int arcSegments)
{
    std::vector<glm::vec2> out{{-w * 0.5f, 0.0f}, {w * 0.5f, 0.0f}, {w * 0.5f, h}};
    if (rise > 0.0f) {
        for (int k = 1; k < arcSegments; ++k) {
            float a = pi * static_cast<float>(k) / static_cast<float>(arcSegments);
            out.push_back({w * 0.5f * std::cos(a), h + rise * std::sin(a)});
        }
    }
    out.push_back({-w * 0.5f, h});
    return out;
}

} // namespace gloam::forge::shapes
