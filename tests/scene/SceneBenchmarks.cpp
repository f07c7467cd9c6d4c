// Speed of the scene layer: model loading, collision hierarchy building,
// picking and world-transform updates. Run by hand (not part of ctest):
//   build/release/bin/scene_benchmarks
#include "tests/support/GlbWriter.h"

#include "platform/assets/ModelLoader.h"
#include "platform/collision/CollisionComponent.h"
#include "platform/collision/TriangleBVH.h"
#include "platform/mesh/MeshResource.h"
#include "platform/scene/AnchorEntity.h"
#include "platform/scene/ModelEntity.h"
#include "platform/scene/PerspectiveCamera.h"
#include "platform/scene/View3D.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <unistd.h>

using namespace gloam::platform;

namespace {

// A wavy height field of about `triangles` triangles over 10 × 10 m.
MeshDescriptor terrain(int triangles)
{
    const int n = static_cast<int>(std::sqrt(triangles / 2.0));
    MeshDescriptor d;
    d.name = "terrain";
    for (int j = 0; j <= n; ++j) {
        for (int i = 0; i <= n; ++i) {
            const float x = 10.0f * static_cast<float>(i) / static_cast<float>(n) - 5.0f;
            const float z = 10.0f * static_cast<float>(j) / static_cast<float>(n) - 5.0f;
            d.positions.emplace_back(x, 0.3f * std::sin(x * 3.0f) * std::cos(z * 2.0f), z);
            d.textureCoordinates.emplace_back(static_cast<float>(i) / static_cast<float>(n),
                                              static_cast<float>(j) / static_cast<float>(n));
        }
    }
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const auto a = static_cast<std::uint32_t>(j * (n + 1) + i);
            const auto b = a + 1, c = a + static_cast<std::uint32_t>(n) + 1, e = c + 1;
            d.indices.insert(d.indices.end(), {a, c, b, b, c, e});
        }
    }
    return d;
}

void LoadGlb100kTriangles(benchmark::State& state)
{
    // Ten nodes of 10,000 triangles each, with normals and texture coordinates.
    const auto path = std::filesystem::temp_directory_path() / ("gloam-bench-" + std::to_string(::getpid()) + ".glb");
    {
        auto mesh = MeshResource::generate(terrain(10000));
        const auto& part = mesh->parts()[0];
        std::vector<float> positions, normals, uvs;
        for (std::size_t i = 0; i < part.positions.size(); ++i) {
            positions.insert(positions.end(), {part.positions[i].x, part.positions[i].y, part.positions[i].z});
            normals.insert(normals.end(), {part.normals[i].x, part.normals[i].y, part.normals[i].z});
            uvs.insert(uvs.end(), {part.textureCoordinates[i].x, part.textureCoordinates[i].y});
        }
        gloam::testing::GlbWriter w;
        const int material = w.material({{"name", "Ground"}});
        std::vector<int> nodes;
        for (int k = 0; k < 10; ++k) {
            const int p = w.floats(positions, "VEC3", true);
            const int nrm = w.floats(normals, "VEC3");
            const int uv = w.floats(uvs, "VEC2");
            const int idx = w.indices(part.indices);
            const int m =
                w.mesh("Tile" + std::to_string(k),
                       nlohmann::json::array({{{"attributes", {{"POSITION", p}, {"NORMAL", nrm}, {"TEXCOORD_0", uv}}},
                                               {"indices", idx},
                                               {"material", material}}}));
            nodes.push_back(
                w.node({{"name", "Tile" + std::to_string(k)}, {"mesh", m}, {"translation", {10.0 * k, 0.0, 0.0}}}));
        }
        w.scene(nodes);
        w.write(path);
    }
    std::size_t triangles = 0;
    for (auto _ : state) {
        auto root = ModelLoader::loadNow(path, "Bench");
        triangles = 0;
        for (const auto& child : root->children()) {
            triangles += child->components.get<ModelComponent>()->mesh->triangleCount();
        }
        benchmark::DoNotOptimize(root);
    }
    state.counters["triangles"] = static_cast<double>(triangles);
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    std::filesystem::remove(path);
}
BENCHMARK(LoadGlb100kTriangles)->Unit(benchmark::kMillisecond);

void BuildBvh50kTriangles(benchmark::State& state)
{
    auto mesh = MeshResource::generate(terrain(50000));
    for (auto _ : state) {
        TriangleBVH bvh = TriangleBVH::fromMesh(*mesh);
        benchmark::DoNotOptimize(bvh);
    }
    state.counters["triangles"] = static_cast<double>(mesh->triangleCount());
}
BENCHMARK(BuildBvh50kTriangles)->Unit(benchmark::kMillisecond);

// entityAt over a scene of one 50,000-triangle static mesh, 200 boxes and
// a sphere, through a 1200 × 540 view with the scene's telephoto camera.
void PickOneEntity(benchmark::State& state)
{
    View3D view(Rect{0, 0, 1200, 540});
    auto anchor = AnchorEntity::make();
    view.scene().addAnchor(anchor);
    auto camera = PerspectiveCamera::make();
    camera->camera().fieldOfViewInDegrees = 10.5f;
    camera->look({0, 0, 0}, {0, 4, 19.7f}, {0, 1, 0}, nullptr);
    anchor->addChild(camera);

    auto ground = ModelEntity::make(MeshResource::generate(terrain(50000)), {UnlitMaterial()}, "Ground");
    ground->components.set(CollisionComponent({ShapeResource::generateStaticMeshNow(*ground->model().mesh)}));
    anchor->addChild(ground);
    for (int i = 0; i < 200; ++i) {
        auto box = Entity::make("Reaction_" + std::to_string(i));
        box->setPosition({static_cast<float>(i % 20) - 10.0f, 0.5f, static_cast<float>(i / 20) - 10.0f});
        box->components.set(CollisionComponent({ShapeResource::generateBox(glm::vec3(0.3f))}));
        anchor->addChild(box);
    }
    auto moon = Entity::make("MoonReaction");
    moon->setPosition({0, 2.5f, -23});
    moon->components.set(CollisionComponent({ShapeResource::generateSphere(0.7f)}));
    anchor->addChild(moon);

    const glm::vec2 point(600, 200);
    if (!view.entityAt(point)) {
        state.SkipWithError("the pick found nothing");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(view.entityAt(point));
    }
}
BENCHMARK(PickOneEntity)->Unit(benchmark::kMicrosecond);

// 2,000 entities: a root, 20 groups of 10 sub-groups, 1,779 leaves. Each frame
// moves every group and reads every world transform, as a renderer's walk does.
void WorldTransforms2000Entities(benchmark::State& state)
{
    auto root = AnchorEntity::make();
    std::vector<EntityPtr> groups;
    int count = 1;
    for (int g = 0; g < 20; ++g) {
        auto group = Entity::make();
        root->addChild(group);
        groups.push_back(group);
        ++count;
        for (int s = 0; s < 10; ++s) {
            auto sub = Entity::make();
            sub->setPosition({static_cast<float>(s), 0, 0});
            group->addChild(sub);
            ++count;
            for (int l = 0; l < 9 && count < 2000 - (19 - g) * 11 - (9 - s); ++l) {
                auto leaf = Entity::make();
                leaf->setPosition({0, static_cast<float>(l) * 0.1f, 0});
                sub->addChild(leaf);
                ++count;
            }
        }
    }
    Scene scene;
    scene.addAnchor(root);
    float angle = 0.0f;
    for (auto _ : state) {
        angle += 0.01f;
        for (auto& g : groups) {
            g->setOrientation(glm::angleAxis(angle, glm::vec3(0, 1, 0)));
        }
        float sum = 0.0f;
        scene.forEachEnabled([&](Entity&, const glm::mat4& world, float) { sum += world[3].x; });
        benchmark::DoNotOptimize(sum);
    }
    state.counters["entities"] = count;
}
BENCHMARK(WorldTransforms2000Entities)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
