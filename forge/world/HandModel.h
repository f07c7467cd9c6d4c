#pragma once

#include <filesystem>

namespace gloam::forge {

// The skeletal hand in its ragged sleeve: a skinned model whose bind pose
// is the hand at full reach above its grave mound (its bounds are the
// click box) and whose one clip, "HandReach", is the whole reaction: from
// underground it rises, reaches, claws twice and sinks back.
void writeHand(const std::filesystem::path& glbPath);

// Length of the clip in seconds (at least the reaction's 3.65 s).
inline constexpr float handClipSeconds = 3.7f;

} // namespace gloam::forge
