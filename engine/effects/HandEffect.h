#pragma once

#include "platform/assets/AnimationPlaybackController.h"
#include "platform/material/Material.h"
#include "platform/scene/Entity.h"

#include <glm/vec3.hpp>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace gloam {

// Drives the skeletal hand that reaches out of its grave mound. The hand
// model belongs to the scene; this effect dresses its materials once (normal
// maps by material name, white palm and thumb), holds its first clip paused
// and scrubs it to the hand's age every frame, so the reach stays in step
// with the character timeline and its sound whatever the frame rate. Without
// an age the clip holds its first frame, with the hand under the ground.
// It also adds the invisible box ("HandReaction") through which a click
// starts the reach.
class HandEffect {
public:
    // A point at the hand's wrist; only its height bounds the click box.
    static glm::vec3 wrist();

    using Textures = std::map<std::string, platform::TexturePtr>;
    // Where lines go; empty means standard output.
    using Log = std::function<void(const std::string& line)>;

    // `asset` is the hand model already in the scene; `hit` is added to
    // `anchor`. `textures` maps texture file names to loaded textures.
    HandEffect(const platform::EntityPtr& asset, platform::Entity& anchor, const Textures& textures, Log log = {});

    // Scrubs the clip to `age` seconds (0 without one) and keeps it paused.
    void update(std::optional<double> age);
    // Ends the clip's playback for good.
    void stop();

    const platform::EntityPtr& hit() const { return hit_; }
    const std::shared_ptr<platform::AnimationPlaybackController>& playback() const { return playback_; }

    // The name-table entry a material name belongs to: the first prefix P
    // with the name equal to P or beginning with P + "_".
    static std::optional<std::string_view> tablePrefix(std::string_view materialName);
    // One material as the hand wears it.
    static platform::Material dress(const platform::Material& material, const Textures& textures);

private:
    platform::EntityPtr hit_;
    std::shared_ptr<platform::AnimationPlaybackController> playback_;
};

} // namespace gloam
