#include "engine/effects/HandEffect.h"

#include "engine/common/DoubleText.h"
#include "platform/collision/CollisionComponent.h"
#include "platform/collision/ShapeResource.h"
#include "platform/scene/DynamicLightShadowComponent.h"
#include "platform/scene/ModelComponent.h"
#include "resources/SceneLandmarks.h"
#include "resources/SceneNames.h"

#include <algorithm>
#include <iostream>

namespace gloam {

namespace {

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// Below about the wrist the hand is in the ground; the click box leaves it out.
constexpr float belowWrist = 0.05F;
constexpr float boxMargin = 0.02F;

} // namespace

glm::vec3 HandEffect::wrist()
{
    constexpr landmarks::Point3 w = landmarks::handWrist;
    return {w.x, w.y, w.z};
}

std::optional<std::string_view> HandEffect::tablePrefix(std::string_view name)
{
    for (const std::string_view prefix : scene_names::handMaterialPrefixes) {
        if (name == prefix || (startsWith(name, prefix) && name.size() > prefix.size() && name[prefix.size()] == '_')) {
            return prefix;
        }
    }
    return std::nullopt;
}

platform::Material HandEffect::dress(const platform::Material& material, const Textures& textures)
{
    const platform::PhysicallyBasedMaterial* loaded = platform::asPhysicallyBased(material);
    if (loaded == nullptr) {
        return material;
    }
    platform::PhysicallyBasedMaterial dressed = *loaded;
    if (const auto prefix = tablePrefix(dressed.name)) {
        const auto found = textures.find(scene_names::normalMapFile(*prefix));
        if (found != textures.end()) {
            dressed.normal = found->second;
        }
    }
    // Palm and thumb are pale bone whatever the model's tint.
    if (startsWith(dressed.name, "BonesPalm") || startsWith(dressed.name, "BonesThumb")) {
        dressed.baseColor.tint = platform::rgb(1.0F, 1.0F, 1.0F);
    }
    return dressed;
}

HandEffect::HandEffect(const platform::EntityPtr& asset, platform::Entity& anchor, const Textures& textures, Log log)
    : hit_(platform::Entity::make())
{
    auto print = [&log](const std::string& line) {
        if (log) {
            log(line);
        } else {
            std::cout << line << '\n';
        }
    };

    // The click box comes from the hand as loaded, before the clip poses it
    // under the ground; what lies below about the wrist is in the ground and
    // left out.
    hit_->setName(std::string(scene_names::handReaction));
    const platform::BoundingBox bounds = asset->visualBounds(true, nullptr, false);
    if (!bounds.isEmpty()) {
        const glm::vec3 low = bounds.min;
        const glm::vec3 high = bounds.max;
        const float y0 = std::min(std::max(low.y, wrist().y - belowWrist), high.y);
        hit_->setPosition({(low.x + high.x) / 2.0F, (y0 + high.y) / 2.0F, (low.z + high.z) / 2.0F});
        const glm::vec3 size{high.x - low.x + boxMargin, high.y - y0 + boxMargin, high.z - low.z + boxMargin};
        hit_->components.set(platform::CollisionComponent({platform::ShapeResource::generateBox(size)}));
    }

    asset->visit([&textures](platform::Entity& entity) {
        platform::ModelComponent* model = entity.components.get<platform::ModelComponent>();
        if (model == nullptr) {
            return;
        }
        for (platform::Material& material : model->materials) {
            material = dress(material, textures);
        }
        entity.components.set(platform::DynamicLightShadowComponent{false});
    });

    const auto& clips = asset->availableAnimations();
    if (!clips.empty()) {
        playback_ = asset->playAnimation(clips.front(), 0.0, true);
        playback_->setTime(0.0);
        playback_->pause();
        print("E4 hand skeleton animations=" + std::to_string(clips.size()) +
              " duration=" + describeDouble(clips.front()->duration()));
    } else {
        print("E4 HAND ANIMATION FAILED: missing skeletal clip");
    }

    anchor.addChild(hit_);
}

void HandEffect::update(std::optional<double> age)
{
    if (!playback_) {
        return;
    }
    playback_->setTime(age.value_or(0.0));
    playback_->pause();
}

void HandEffect::stop()
{
    if (playback_) {
        playback_->stop();
    }
}

} // namespace gloam
