#pragma once

// A small model made by the tests: a vehicle with a two-material body, a
// textured wheel, a skinned arm with two bones, and one clip that moves
// the body (step), turns the wheel (linear) and slides a bone (cubic spline).

#include "tests/support/GlbWriter.h"
#include "tests/support/PngBytes.h"

#include <filesystem>

namespace gloam::testing {

inline GlbWriter vehicleFixture()
{
    using json = nlohmann::json;
    GlbWriter w;
    // A unit quad in x-y, two triangles.
    const int quadPositions = w.floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, "VEC3", true);
    const int quadUvs = w.floats({0, 1, 1, 1, 1, 0, 0, 0}, "VEC2");
    const int quadIndices = w.indices({0, 1, 2, 0, 2, 3});
    // A second part, moved up by 2.
    const int topPositions = w.floats({0, 2, 0, 1, 2, 0, 1, 3, 0, 0, 3, 0}, "VEC3", true);

    // 2 × 2 texture: red, green / blue, white.
    const int texture = w.pngTexture(
        pngBytes(2, 2, {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255}), "RubberImage");

    const int paint =
        w.material({{"name", "Paint"},
                    {"pbrMetallicRoughness",
                     {{"baseColorFactor", {0.8, 0.1, 0.1, 1.0}}, {"metallicFactor", 0.9}, {"roughnessFactor", 0.3}}},
                    {"emissiveFactor", {1.0, 0.5, 0.0}},
                    {"extensions", {{"KHR_materials_emissive_strength", {{"emissiveStrength", 3.0}}}}}});
    const int glass = w.material({{"name", "Glass"},
                                  {"alphaMode", "BLEND"},
                                  {"doubleSided", true},
                                  {"pbrMetallicRoughness", {{"baseColorFactor", {0.2, 0.3, 0.4, 0.25}}}}});
    const int rubber = w.material({{"name", "BonesSkin_2"},
                                   {"pbrMetallicRoughness", {{"baseColorTexture", {{"index", texture}}}}},
                                   {"normalTexture", {{"index", texture}}}});

    const int bodyMesh = w.mesh(
        "BodyMesh",
        json::array({{{"attributes", {{"POSITION", quadPositions}, {"TEXCOORD_0", quadUvs}}},
                      {"indices", quadIndices},
                      {"material", paint}},
                     {{"attributes", {{"POSITION", topPositions}}}, {"indices", quadIndices}, {"material", glass}}}));
    const int wheelMesh =
        w.mesh("WheelMesh", json::array({{{"attributes", {{"POSITION", quadPositions}, {"TEXCOORD_0", quadUvs}}},
                                          {"indices", quadIndices},
                                          {"material", rubber}}}));

    // Skinned arm: the lower two vertices follow Bone0, the upper two Bone1.
    const int armJoints = w.joints({0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0});
    const int armWeights = w.floats({1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}, "VEC4");
    const int armMesh = w.mesh(
        "ArmMesh",
        json::array({{{"attributes", {{"POSITION", quadPositions}, {"JOINTS_0", armJoints}, {"WEIGHTS_0", armWeights}}},
                      {"indices", quadIndices},
                      {"material", paint}}}));
    // Bone0 at the origin, Bone1 at y = 1: inverse binds undo those.
    const int inverseBinds = w.floats(
        {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -1, 0, 1}, "MAT4");

    const int vehicle = w.node({{"name", "Vehicle"}});
    const int body = w.node({{"name", "Env_Body"}, {"mesh", bodyMesh}});
    const int wheel = w.node({{"name", "Wheel"}, {"mesh", wheelMesh}, {"translation", {1.0, 0.0, 0.0}}});
    const int arm = w.node({{"name", "Arm"}, {"mesh", armMesh}});
    const int bone0 = w.node({{"name", "Bone0"}});
    const int bone1 = w.node({{"name", "Bone1"}, {"translation", {0.0, 1.0, 0.0}}});
    w.nodeAt(vehicle)["children"] = {body, arm, bone0};
    w.nodeAt(body)["children"] = {wheel};
    w.nodeAt(bone0)["children"] = {bone1};
    w.nodeAt(arm)["skin"] = w.skin({{"joints", {bone0, bone1}}, {"inverseBindMatrices", inverseBinds}});
    w.scene({vehicle});

    // Clip "Drive": body steps up by 1 at t = 1 and 2; wheel turns 90° about y
    // over 1 s; Bone1 slides along x on a cubic spline (out-tangent 2 at the start).
    const int stepTimes = w.floats({0, 1, 2}, "SCALAR");
    const int stepValues = w.floats({0, 0, 0, 0, 1, 0, 0, 2, 0}, "VEC3");
    const int turnTimes = w.floats({0, 1}, "SCALAR");
    const float s = 0.70710678f;
    const int turnValues = w.floats({0, 0, 0, 1, 0, s, 0, s}, "VEC4");
    const int slideValues = w.floats({0, 0, 0, /*v0*/ 0, 1, 0, /*out0*/ 2, 0, 0,
                                      /*in1*/ 0, 0, 0, /*v1*/ 1, 1, 0, 0, 0, 0},
                                     "VEC3");
    w.animation(
        {{"name", "Drive"},
         {"samplers", json::array({{{"input", stepTimes}, {"output", stepValues}, {"interpolation", "STEP"}},
                                   {{"input", turnTimes}, {"output", turnValues}, {"interpolation", "LINEAR"}},
                                   {{"input", turnTimes}, {"output", slideValues}, {"interpolation", "CUBICSPLINE"}}})},
         {"channels", json::array({{{"sampler", 0}, {"target", {{"node", body}, {"path", "translation"}}}},
                                   {{"sampler", 1}, {"target", {{"node", wheel}, {"path", "rotation"}}}},
                                   {{"sampler", 2}, {"target", {{"node", bone1}, {"path", "translation"}}}}})}});
    return w;
}

} // namespace gloam::testing
