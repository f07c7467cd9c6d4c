// The fade of the surprise visitors: a material dissolves in from below
// through a soft, slightly noisy edge.
//
// Custom value: x reveal (0 hidden, 1 fully shown), y glow added as
// emissive, z the source material's own opacity.

#pragma surface cameoFade

float cameoHash(vec3 p)
{
    return fract(sin(dot(p, vec3(12.9898, 78.233, 37.719))) * 43758.5453);
}

void cameoFade(inout Surface s)
{
    float reveal = clamp(s.custom.x, 0.0, 1.0);
    float glow = max(s.custom.y, 0.0);
    float source = clamp(s.custom.z, 0.0, 1.0);

    // A little grain on the edge so the fade reads as a dissolve, not a
    // plain transparency; at 0 and 1 the grain cannot show.
    float grain = (cameoHash(floor(s.position * 24.0)) - 0.5) * 0.25;
    float visible = clamp(reveal * 1.25 + grain * reveal * (1.0 - reveal) * 4.0, 0.0, 1.0);
    if (reveal >= 1.0) {
        visible = 1.0;
    }

    s.emissive += vec3(0.55, 0.85, 1.0) * glow;
    s.opacity = source * visible;
}
