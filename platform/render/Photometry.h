#pragma once

namespace gloam::render {

// The one photometric calibration of the renderer, after Filament's
// "Physically Based Rendering in Filament" units.
//
// Lights are physical: point lights in lumens (luminous intensity =
// lumens / 4π candela, inverse-square fall-off windowed to the attenuation
// radius), the directional light in lux. A camera exposure turns luminance
// (cd/m²) into the renderer's working values: exposure = 1 / (1.2 × 2^EV100),
// Filament's saturation-based exposure with ISO 100. The frame is stored
// already exposed ("pre-exposed"), so 1.0 in the colour target is the
// display's reference white before tone mapping.
//
// Emissive light, unlit colours and the background are given relative to
// that white: emissive intensity 1 is white, 8 is eight times brighter (a
// glow that feeds the bloom). The image-based light is relative to the
// white of the reference exposure (EV 9) and is exposed like the lights, so
// a darker camera darkens everything the scene's light falls on while its
// glows and sky keep their brightness.
//
// The default exposure suits the night scene's lights: a 3,000 lux key on
// a mid-grey surface lands near 0.25, a 60,000 lumen point light one metre
// away near 0.6, a 300 lumen light one metre away is a faint glow.
struct Photometry {
    static constexpr float referenceEv100 = 9.0f;
    static constexpr float defaultEv100 = 10.0f;
    static float exposure(float ev100);
    static float pointLightCandela(float lumens);
};

} // namespace gloam::render
