// The opening's atmosphere: the painted panorama seen through slow, drifting
// moonlit mist, with a gentle cold grade and a vignette.
//
// The material's base colour texture is the panorama; the first component
// of the custom value is the opening's time in seconds. Everything drawn is
// emissive, so the plane looks the same under any scene light.

#pragma surface openingAtmosphere

float openingHash(vec2 p)
{
    return fract(sin(dot(p, vec2(127.1, 311.7))) * 43758.5453);
}

float openingNoise(vec2 p)
{
    vec2 i = floor(p);
    vec2 f = fract(p);
    vec2 u = f * f * (3.0 - 2.0 * f);
    return mix(mix(openingHash(i), openingHash(i + vec2(1.0, 0.0)), u.x),
               mix(openingHash(i + vec2(0.0, 1.0)), openingHash(i + vec2(1.0, 1.0)), u.x), u.y);
}

void openingAtmosphere(inout Surface s)
{
    float t = s.custom.x;
    vec2 st = textureCoordinate(s.uv);
    vec3 panorama = texture(baseColorTexture, st).rgb;

    // Two layers of mist drifting sideways at different speeds, thicker
    // towards the bottom of the picture.
    vec2 p = vec2(s.uv.x * 6.0, s.uv.y * 3.0);
    float mist = openingNoise(p + vec2(t * 0.05, 0.0)) * 0.6 + openingNoise(p * 2.3 - vec2(t * 0.11, t * 0.02)) * 0.4;
    float low = 1.0 - smoothstep(0.05, 0.55, s.uv.y);
    float amount = clamp(mist * low * 0.55, 0.0, 0.6);
    vec3 mistColour = vec3(0.34, 0.52, 0.62);

    // A cold grade that keeps warm highlights (windows, pumpkins) warm.
    float luma = dot(panorama, vec3(0.2126, 0.7152, 0.0722));
    vec3 graded = mix(vec3(luma) * vec3(0.78, 0.92, 1.08), panorama, 0.72);

    // Vignette, and a slow breath of moonlight across the picture.
    vec2 centred = s.uv - vec2(0.5);
    float vignette = 1.0 - 0.55 * dot(centred, centred) * 2.0;
    float moonlight = 1.0 + 0.06 * sin(t * 0.7 + s.uv.x * 2.0);

    vec3 colour = mix(graded, mistColour, amount) * vignette * moonlight;
    s.baseColor = vec3(0.0);
    s.emissive = max(colour, vec3(0.0));
    s.roughness = 1.0;
    s.metallic = 0.0;
    s.specular = 0.0;
}
