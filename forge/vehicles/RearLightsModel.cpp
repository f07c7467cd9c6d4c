#include "forge/vehicles/RearLightsModel.h"

#include <glm/gtc/matrix_transform.hpp>

#include "forge/gltf/GltfBuilder.h"
#include "forge/mesh/Shapes.h"
#include "resources/SceneLandmarks.h"
#include "resources/SceneNames.h"

namespace gloam::forge {

namespace {

Mesh box(glm::vec3 size, float bevel, glm::vec3 centre)
{
    return shapes::bevelledBox(size, bevel, 2).transformed(glm::translate(glm::mat4(1.0f), centre));
}

} // namespace

void writeRearLights(const std::filesystem::path& glbPath)
{
    namespace lm = gloam::landmarks;
    namespace names = gloam::scene_names;
    const float x = lm::rearLightX, y = lm::rearLightY, spread = lm::rearLightSpread;
    GltfBuilder gltf;
    MaterialSpec housing;
    housing.name = "RearLightHousing";
    housing.baseColor = {0.02f, 0.02f, 0.025f, 1.0f};
    housing.roughness = 0.35f;
    MaterialSpec red;
    red.name = "RedGuideLens";
    red.baseColor = {0.6f, 0.02f, 0.015f, 1.0f};
    red.emissive = {1.0f, 0.03f, 0.012f};
    red.roughness = 0.25f;
    MaterialSpec amber;
    amber.name = "AmberCoreLens";
    amber.baseColor = {0.9f, 0.4f, 0.05f, 1.0f};
    amber.emissive = {1.0f, 0.42f, 0.04f};
    amber.roughness = 0.25f;

    int root = gltf.addNode("RearLights");
    // The housing sits against the sheet under the boot lip; the lenses
    // stand proud of it, facing +x.
    gltf.addMeshNode("RearLightBar", root, box({0.07f, 0.1f, 2.0f * spread + 0.26f}, 0.02f, {x - 0.03f, y, 0.0f}),
                     gltf.material(housing));
    gltf.addMeshNode(std::string(names::rearRedGuide), root,
                     box({0.025f, 0.034f, 2.0f * spread + 0.02f}, 0.008f, {x + 0.01f, y, 0.0f}), gltf.material(red));
    for (int side = -1; side <= 1; side += 2) {
        std::string name = std::string(names::rearAmberCore) + (side < 0 ? "Right" : "Left");
        gltf.addMeshNode(name, root,
                         box({0.03f, 0.07f, 0.2f}, 0.012f, {x + 0.012f, y, static_cast<float>(side) * spread}),
                         gltf.material(amber));
    }
    gltf.write(glbPath);
}

} // namespace gloam::forge
