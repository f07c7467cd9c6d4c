#include "platform/assets/TextureResource.h"
#include "platform/mesh/MeshError.h"
#include "platform/mesh/MeshResource.h"

#include <glm/geometric.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

using namespace gloam::platform;

namespace {

MeshDescriptor triangle()
{
    MeshDescriptor d;
    d.name = "tri";
    d.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    d.indices = {0, 1, 2};
    return d;
}

// Every triangle faces away from the centre (outward normals, counter-clockwise fronts),
// and each vertex normal agrees with its faces.
void expectClosedOutward(const MeshResource& mesh)
{
    for (const auto& part : mesh.parts()) {
        for (std::size_t i = 0; i < part.indices.size(); i += 3) {
            const glm::vec3 a = part.positions[part.indices[i]];
            const glm::vec3 b = part.positions[part.indices[i + 1]];
            const glm::vec3 c = part.positions[part.indices[i + 2]];
            const glm::vec3 n = glm::cross(b - a, c - a);
            if (glm::length(n) < 1e-9f) {
                continue;
            }
            ASSERT_GT(glm::dot(n, (a + b + c) / 3.0f), 0.0f) << "triangle " << i / 3 << " faces inwards";
            ASSERT_GT(glm::dot(glm::normalize(n), part.normals[part.indices[i]]), 0.0f);
        }
    }
}

} // namespace

TEST(MeshResource, InvalidDescriptorsAreRejectedWithTheReason)
{
    struct Case {
        const char* what;
        void (*spoil)(MeshDescriptor&);
        const char* expected;
    };
    const Case cases[] = {
        {"index out of range", [](MeshDescriptor& d) { d.indices[2] = 3; }, "out of range"},
        {"too few normals",
         [](MeshDescriptor& d) {
             d.normals = {{0, 0, 1}};
         },
         "normals"},
        {"uv count",
         [](MeshDescriptor& d) {
             d.textureCoordinates = {{0, 0}, {1, 1}};
         },
         "texture coordinates"},
        {"no triangles", [](MeshDescriptor& d) { d.indices.clear(); }, "no triangles"},
        {"no positions", [](MeshDescriptor& d) { d.positions.clear(); }, "no positions"},
        {"partial triangle", [](MeshDescriptor& d) { d.indices.push_back(0); }, "multiple of three"},
        {"not finite", [](MeshDescriptor& d) { d.positions[1].x = NAN; }, "finite"},
    };
    for (const auto& c : cases) {
        MeshDescriptor d = triangle();
        c.spoil(d);
        try {
            MeshResource::generate(d);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const MeshError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << c.what << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find("tri"), std::string::npos) << e.what();
        }
    }
}

TEST(MeshResource, MissingNormalsAndTangentsAreMade)
{
    MeshDescriptor d = triangle();
    d.textureCoordinates = {{0, 1}, {1, 1}, {0, 0}};
    auto mesh = MeshResource::generate(d);
    const auto& part = mesh->parts().at(0);
    ASSERT_EQ(part.normals.size(), 3u);
    EXPECT_NEAR(part.normals[0].z, 1.0f, 1e-6f);
    ASSERT_EQ(part.tangents.size(), 3u);
    // u grows along +x, so the tangent is +x.
    EXPECT_NEAR(part.tangents[0].x, 1.0f, 1e-5f);
    EXPECT_EQ(mesh->bounds().max, glm::vec3(1, 1, 0));
}

TEST(MeshGenerators, ShapesHaveTheirSizeAndFaceOutwards)
{
    auto box = MeshResource::generateBox({2, 1, 0.5f}, 0.1f);
    EXPECT_NEAR(box->bounds().min.x, -1.0f, 1e-5f);
    EXPECT_NEAR(box->bounds().max.y, 0.5f, 1e-5f);
    EXPECT_NEAR(box->bounds().max.z, 0.25f, 1e-5f);
    expectClosedOutward(*box);
    // The rounded corner is cut off: no vertex sits at the sharp corner.
    for (const auto& p : box->parts()[0].positions) {
        ASSERT_FALSE(std::abs(p.x) > 0.999f && std::abs(p.y) > 0.499f && std::abs(p.z) > 0.249f);
    }

    auto sharp = MeshResource::generateBox(1.0f);
    EXPECT_EQ(sharp->triangleCount(), 12u);
    expectClosedOutward(*sharp);

    auto sphere = MeshResource::generateSphere(0.5f);
    expectClosedOutward(*sphere);
    for (const auto& p : sphere->parts()[0].positions) {
        ASSERT_NEAR(glm::length(p), 0.5f, 1e-5f);
    }

    auto cylinder = MeshResource::generateCylinder(2.0f, 0.3f);
    EXPECT_NEAR(cylinder->bounds().min.y, -1.0f, 1e-5f);
    EXPECT_NEAR(cylinder->bounds().max.y, 1.0f, 1e-5f);
    EXPECT_NEAR(cylinder->bounds().max.x, 0.3f, 1e-3f);
    expectClosedOutward(*cylinder);

    EXPECT_THROW(MeshResource::generateSphere(0.0f), MeshError);
}

TEST(MeshGenerators, RoundedPlaneLiesFlatFacingUp)
{
    auto plane = MeshResource::generatePlane(6.2f, 3.65f, 0.5f);
    const auto& part = plane->parts()[0];
    EXPECT_NEAR(plane->bounds().max.x, 3.1f, 1e-5f);
    EXPECT_NEAR(plane->bounds().max.z, 1.825f, 1e-5f);
    for (std::size_t i = 0; i < part.indices.size(); i += 3) {
        const glm::vec3 n = glm::cross(part.positions[part.indices[i + 1]] - part.positions[part.indices[i]],
                                       part.positions[part.indices[i + 2]] - part.positions[part.indices[i]]);
        ASSERT_GT(n.y, 0.0f);
    }
    for (const auto& p : part.positions) {
        ASSERT_EQ(p.y, 0.0f);
        // Corners are rounded off.
        ASSERT_FALSE(std::abs(p.x) > 3.09f && std::abs(p.z) > 1.8f);
    }
    // Texture coordinates span the plane.
    for (const auto& uv : part.textureCoordinates) {
        ASSERT_GE(uv.x, 0.0f);
        ASSERT_LE(uv.x, 1.0f);
    }
}

TEST(MeshGenerators, TextureCoordinatesCountUpFromTheImageBottom)
{
    // v = 1 is the image's top row: up on an upright plane, ahead (−z) on a
    // floor plane, the north pole of a sphere, the top rim of a cylinder.
    auto uvAt = [](const MeshPtr& mesh, auto&& pick) {
        const auto& part = mesh->parts()[0];
        for (std::size_t i = 0; i < part.positions.size(); ++i) {
            if (pick(part.positions[i])) {
                return part.textureCoordinates[i];
            }
        }
        ADD_FAILURE() << "no such vertex";
        return glm::vec2(-1);
    };
    auto upright = MeshResource::generatePlane(2.0f, 1.0f);
    EXPECT_EQ(uvAt(upright, [](glm::vec3 p) { return p.x < 0 && p.y < 0; }), glm::vec2(0, 0));
    EXPECT_EQ(uvAt(upright, [](glm::vec3 p) { return p.x > 0 && p.y > 0; }), glm::vec2(1, 1));
    auto floor = MeshResource::generatePlane(2.0f, 1.0f, 0.0f);
    EXPECT_EQ(uvAt(floor, [](glm::vec3 p) { return p.x < 0 && p.z < 0; }), glm::vec2(0, 1));
    EXPECT_EQ(uvAt(floor, [](glm::vec3 p) { return p.x > 0 && p.z > 0; }), glm::vec2(1, 0));
    EXPECT_NEAR(uvAt(MeshResource::generateSphere(1.0f), [](glm::vec3 p) { return p.y > 0.999f; }).y, 1.0f, 1e-6f);
    EXPECT_NEAR(
        uvAt(MeshResource::generateCylinder(1.0f, 1.0f), [](glm::vec3 p) { return p.y > 0.49f && p.z > 0.99f; }).y,
        1.0f, 1e-6f);
}

// Long runs watch these counts for meshes and textures nobody releases.
TEST(ResourceCounts, LiveMeshesAndTexturesAreCountedUntilTheLastOwnerLetsGo)
{
    const long meshes = MeshResource::liveCount();
    const long textures = TextureResource::liveCount();
    {
        const MeshPtr box = MeshResource::generateBox(1.0f);
        const MeshPtr sphere = MeshResource::generateSphere(0.5f);
        const MeshPtr shared = box;
        const auto picture = TextureResource::fromPixels(2, 2, std::vector<std::uint8_t>(16, 255), "white");
        EXPECT_EQ(MeshResource::liveCount(), meshes + 2) << "a shared pointer is not another mesh";
        EXPECT_EQ(TextureResource::liveCount(), textures + 1);
    }
    EXPECT_EQ(MeshResource::liveCount(), meshes);
    EXPECT_EQ(TextureResource::liveCount(), textures);

    // What could not be made was never counted.
    EXPECT_THROW(MeshResource::generate(MeshDescriptor{}), MeshError);
    EXPECT_THROW(TextureResource::fromPixels(8, 4, std::vector<std::uint8_t>(10), "short"), std::invalid_argument);
    EXPECT_EQ(MeshResource::liveCount(), meshes);
    EXPECT_EQ(TextureResource::liveCount(), textures);
}
