// The forge's mesh toolkit makes closed, outward-facing solids of the
// expected size, and the forge writes the same bytes on every run.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <glm/geometric.hpp>

#include "forge/mesh/Shapes.h"
#include "forge/world/GraveyardModel.h"
#include "forge/world/PropTargetsFile.h"

namespace gloam::forge {
namespace {

// Signed volume by the divergence theorem: positive for a closed mesh
// whose triangles face outwards.
double signedVolume(const Mesh& m)
{
    double v = 0.0;
    for (std::size_t i = 0; i + 2 < m.indices.size(); i += 3) {
        glm::dvec3 a(m.vertices[m.indices[i]].position), b(m.vertices[m.indices[i + 1]].position),
            c(m.vertices[m.indices[i + 2]].position);
        v += glm::dot(a, glm::cross(b, c)) / 6.0;
    }
    return v;
}

// Vertex normals agree with the faces they belong to.
double normalAgreement(const Mesh& m)
{
    double worst = 1.0;
    for (std::size_t i = 0; i + 2 < m.indices.size(); i += 3) {
        glm::vec3 a = m.vertices[m.indices[i]].position, b = m.vertices[m.indices[i + 1]].position,
                  c = m.vertices[m.indices[i + 2]].position;
        glm::vec3 n = glm::cross(b - a, c - a);
        if (glm::length(n) < 1e-9f)
            continue;
        n = glm::normalize(n);
        for (int k = 0; k < 3; ++k) {
            worst = std::min(
                worst, static_cast<double>(glm::dot(n, m.vertices[m.indices[i + static_cast<std::size_t>(k)]].normal)));
        }
    }
    return worst;
}

TEST(MeshToolkit, SolidsAreClosedOutwardAndOfTheRightVolume)
{
    const double pi = 3.14159265358979;
    struct Case {
        const char* name;
        Mesh mesh;
        double volume;
        double tolerance;
    };
    std::vector<glm::vec2> ell{{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
    Case cases[] = {
        {"sharp box", shapes::bevelledBox({1, 2, 3}, 0.0f), 6.0, 1e-4},
        // A rounded box loses (8 - 4/3 pi) r^3 at the corners and (4 - pi) r^2
        // along each edge.
        {"bevelled box", shapes::bevelledBox({1, 2, 3}, 0.1f, 4),
         6.0 - (8.0 - 4.0 / 3.0 * pi) * 0.001 - (4.0 - pi) * 0.01 * (0.8 + 1.8 + 2.8), 0.01},
        {"extruded L", shapes::extrusion(ell, 0.5f, 0.0f), 3.0 * 0.5, 1e-4},
        {"sphere", shapes::sphere(1.0f, 24, 48), 4.0 / 3.0 * pi, 0.05},
        {"tube", shapes::tube({{0, 0, 0}, {0, 1, 0}, {0, 2, 0}}, {0.5f, 0.5f, 0.5f}, 32), pi * 0.25 * 2.0, 0.05},
    };
    for (Case& c : cases) {
        EXPECT_NEAR(signedVolume(c.mesh), c.volume, c.volume * c.tolerance) << c.name;
    }
    EXPECT_GT(normalAgreement(shapes::bevelledBox({1, 2, 3}, 0.1f, 4)), 0.5) << "bevelled box";
    EXPECT_GT(normalAgreement(shapes::extrusion(ell, 0.5f, 0.05f)), 0.3) << "bevelled extrusion";
    EXPECT_GT(normalAgreement(shapes::tube({{0, 0, 0}, {0.3f, 1, 0}, {0, 2, 0.4f}}, {0.2f, 0.15f, 0.1f}, 8)), 0.5)
        << "tube";
}

TEST(MeshToolkit, TriangulatesConcaveOutlinesWithoutLosingArea)
{
    std::vector<glm::vec2> star;
    for (int i = 0; i < 10; ++i) {
        float a = static_cast<float>(i) * 0.6283185f, r = i % 2 ? 0.4f : 1.0f;
        star.push_back({r * std::cos(a), r * std::sin(a)});
    }
    double outline = 0.0;
    for (std::size_t i = 0; i < star.size(); ++i) {
        glm::vec2 a = star[i], b = star[(i + 1) % star.size()];
        outline += 0.5 * (a.x * b.y - a.y * b.x);
    }
    std::vector<unsigned> tris = shapes::triangulate(star);
    ASSERT_EQ(tris.size(), 3u * (star.size() - 2));
    double covered = 0.0;
    for (std::size_t i = 0; i < tris.size(); i += 3) {
        glm::vec2 a = star[tris[i]], b = star[tris[i + 1]], c = star[tris[i + 2]];
        double area = 0.5 * ((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y));
        EXPECT_GT(area, 0.0) << "triangle " << i / 3 << " is clockwise";
        covered += area;
    }
    EXPECT_NEAR(covered, outline, 1e-5);
}

std::string bytes(const std::filesystem::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

TEST(Forge, WritesTheSameGraveyardEveryTime)
{
    auto dir = std::filesystem::temp_directory_path() / "gloamyard-forge-determinism";
    std::filesystem::create_directories(dir);
    GraveyardResult first = writeGraveyard(dir / "a.glb");
    GraveyardResult second = writeGraveyard(dir / "b.glb");
    EXPECT_EQ(bytes(dir / "a.glb"), bytes(dir / "b.glb"));
    EXPECT_EQ(propTargetsJson(first.targets), propTargetsJson(second.targets));
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace gloam::forge
