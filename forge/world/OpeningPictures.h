#pragma once

#include <filesystem>

#include "forge/image/Image.h"

namespace gloam::forge {

// The opening's painted night panorama (square): sky with the moon above,
// the hill with the house and the graveyard below, composed for the
// opening's slow zoom on the sky and its pan down of 0.477 of the picture
// onto the hill, where the hill lightning strikes beside the house.
Image openingPanorama(int size);

// The transparent 16:9 title card reading "Gloamyard" in a blackletter
// display face with a cold glow. Throws if the face is not installed.
Image openingTitle(int width, int height);

void writeOpeningPictures(const std::filesystem::path& folder);

// The display face of the title (Debian package fonts-blankenburg).
inline constexpr const char* titleFontFile = "/usr/share/fonts/truetype/blankenburg/Blankenburg_UNZ1A.ttf";

} // namespace gloam::forge
