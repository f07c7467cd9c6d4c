// The fade of the surprise visitors: a material dissolves in and out
// through a fine grain, so opaque parts fade without being sorted as
// transparent ones.
//
// Custom value: x reveal (0 hidden, 1 fully shown), y glow (the factor of
// the material's emissive colour; the material's own emissive intensity is
// 1), z the source material's own opacity.

#pragma surface cameoFade

float cameoHash(vec3 p)
{
    return fract(sin(dot(p, vec3(12.9898, 78.233, 37.719))) * 43758.5453);
}

// An ordered 4 x 4 threshold on the pixel grid, in [0, 1).
float cameoDither(vec2 pixel)
{
    ivec2 q = ivec2(mod(pixel, 4.0));
    int index = q.x + 4 * q.y;
    const float pattern[16] = float[16](0.0, 8.0, 2.0, 10.0, 12.0, 4.0, 14.0, 6.0,
                                        3.0, 11.0, 1.0, 9.0, 15.0, 7.0, 13.0, 5.0);
    return pattern[index] / 16.0;
}

void cameoFade(inout Surface s)
{
    float reveal = clamp(s.custom.x, 0.0, 1.0);
    float glow = max(s.custom.y, 0.0);
    float source = clamp(s.custom.z, 0.0, 1.0);

    // Each fragment shows once the reveal passes its own threshold: a grain
    // fixed on the object (it moves and bobs with it rather than crawling
    // over it) mixed with a fine pattern on the pixels, so the fade reads as
    // a dissolve and is smooth in the middle. At 0 nothing shows, at 1
    // everything.
    if (reveal < 1.0) {
        float threshold = 0.6 * cameoHash(floor(s.objectPosition * 90.0)) + 0.4 * cameoDither(gl_FragCoord.xy);
        if (reveal <= threshold) {
            discard;
        }
    }

    s.emissive *= glow;
    s.opacity = source;
}
