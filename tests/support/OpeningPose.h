#pragma once

// What the opening's `seek` decides about its layers, gathered from the tree
// so that two sequences (or one at two moments) can be compared. Hidden
// layers count only as hidden: where they were left does not show.

#include "platform/material/Material.h"
#include "platform/scene/Entity.h"
#include "platform/scene/ModelComponent.h"
#include "platform/scene/OpacityComponent.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gloam::testing {

inline float opacityOf(const platform::Entity& entity)
{
    const auto* opacity = entity.components.get<platform::OpacityComponent>();
    return opacity ? opacity->opacity : 1.0F;
}

struct LayerPose {
    std::string name;
    bool enabled = false;
    platform::Transform transform;
    float opacity = 1.0F;
    float shaderTime = 0.0F;
};

inline std::vector<LayerPose> poseOf(platform::Entity& root)
{
    std::vector<LayerPose> poses;
    root.visit([&](platform::Entity& entity) {
        LayerPose pose{entity.name(), entity.isEnabled(), {}, 1.0F, 0.0F};
        if (!entity.isEnabledInHierarchy()) {
            poses.push_back(pose);
            return;
        }
        pose.transform = entity.transform();
        pose.opacity = opacityOf(entity);
        if (const auto* model = entity.components.get<platform::ModelComponent>(); model && !model->materials.empty()) {
            if (const auto* custom = platform::asCustom(model->materials.front())) {
                pose.shaderTime = custom->custom.value.x;
            }
        }
        poses.push_back(pose);
    });
    return poses;
}

inline void expectSamePose(const std::vector<LayerPose>& a, const std::vector<LayerPose>& b, const std::string& what)
{
    ASSERT_EQ(a.size(), b.size()) << what;
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].name, b[i].name) << what;
        EXPECT_EQ(a[i].enabled, b[i].enabled) << what << ": " << a[i].name;
        EXPECT_EQ(a[i].transform, b[i].transform) << what << ": " << a[i].name;
        EXPECT_EQ(a[i].opacity, b[i].opacity) << what << ": " << a[i].name;
        EXPECT_EQ(a[i].shaderTime, b[i].shaderTime) << what << ": " << a[i].name;
    }
}

} // namespace gloam::testing
