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

float openingWisps(vec2 p)
{
    return openingNoise(p) * 0.65 + openingNoise(p * 2.7 + vec2(3.1, 1.7)) * 0.35;
}

void openingAtmosphere(inout Surface s)
{
    float t = s.custom.x;
    vec2 st = textureCoordinate(s.uv);
    vec3 panorama = texture(baseColorTexture, st).rgb;

    // Where this point lies on the screen (-1..1), for the vignette.
    vec4 clip = viewProjection * vec4(s.position, 1.0);
    vec2 screen = clip.xy / max(clip.w, 1e-6);

    // Mist lying in long horizontal wisps over the hills and the graveyard,
    // two layers drifting sideways at different speeds; it belongs to the
    // picture, so it rises with it when the view pans down to the hill.
    vec2 p = vec2(s.uv.x * 4.0, s.uv.y * 26.0);
    float warp = openingNoise(vec2(s.uv.x * 3.0 - t * 0.03, s.uv.y * 9.0)) - 0.5;
    float near = openingWisps(p + vec2(t * 0.06, warp * 2.0));
    float far = openingWisps(p * vec2(1.7, 0.8) + vec2(-t * 0.025, 7.3 + warp));
    float low = 1.0 - smoothstep(0.08, 0.46, s.uv.y);
    float wisps = near * 0.6 + far * 0.4;
    float amount = clamp((0.2 + 0.4 * smoothstep(0.3, 0.8, wisps)) * low, 0.0, 0.6);
    vec3 mistColour = vec3(0.3, 0.44, 0.52);

    // A cold grade that keeps warm highlights (windows, pumpkins) warm.
    float luma = dot(panorama, vec3(0.2126, 0.7152, 0.0722));
    vec3 graded = mix(vec3(luma) * vec3(0.78, 0.92, 1.08), panorama, 0.72);

    // Vignette on the screen, and a slow breath of moonlight.
    float vignette = 1.0 - 0.3 * smoothstep(0.35, 1.45, length(screen * vec2(0.85, 1.0)));
    float moonlight = 1.0 + 0.05 * sin(t * 0.7 + s.uv.x * 2.0);

    vec3 colour = mix(graded, mistColour * (0.85 + 0.3 * wisps), amount) * vignette * moonlight;
    s.baseColor = vec3(0.0);
    s.emissive = max(colour, vec3(0.0));
    s.roughness = 1.0;
    s.metallic = 0.0;
    s.specular = 0.0;
}
