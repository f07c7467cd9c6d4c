#pragma once

#include "forge/image/Image.h"

namespace gloam::forge {

// Pictures of the vehicles' textured parts. The scene lights a part by its
// base-colour picture, so these are what the lamps glow with.
// A headlamp: a warm white lens with a bright core and reflector rings.
Image headlampPicture();
// A tail lamp: red bars with a brighter band.
Image tailLampPicture();
// Tyre rubber with tread, dark: the scene leaves it unlit.
Image rubberPicture();

} // namespace gloam::forge
