// corsel-ScenePostprocess.glsl: the Corsel post-process: cyan highlight bloom and
// drifting volumetric ground fog. Kernels:
#pragma kernel cyanHighlights
#pragma kernel groundMist

// The look of this vehicle's scene (linear light, metres, seconds).
const vec3 BLOOM_TINT = vec3(0.45, 1.0, 1.15);            // the cold hue highlights are pushed to
const float BLOOM_TINT_AMOUNT = 0.6;
const float BLOOM_THRESHOLD = 1.0;      // brightest channel where highlights begin
const float BLOOM_KNEE = 0.5;          // soft start, as a fraction of the threshold
const float BLOOM_CLAMP = 64.0;        // brightest value a pixel may feed the bloom
const float BLOOM_STRENGTH = 0.85;       // the blurred highlights added back
const float HALO_STRENGTH = 0.45;        // the wider halo around them
const vec2 FOG_WIND = vec2(0.32, 0.11);              // drift of the fog over the ground, m/s
const float FOG_BANK_DENSITY = 0.9;    // extinction per metre of the ground bank, at the ground
const float FOG_BANK_HEIGHT = 0.35;    // the bank thins by 1/e every this many metres
const float FOG_HAZE_DENSITY = 0.02;   // the same for the haze above it
const float FOG_HAZE_HEIGHT = 1.8;
const float FOG_TOP = 3.5;             // nothing above this height
const float FOG_SPAN = 64.0;           // the volume's width and depth in the scene
const float FOG_VOLUME_HEIGHT = 4.0;   // the volume's height in the scene
const float FOG_POOL_INNER = 15.0;     // full fog within this radius of the vehicle
const float FOG_POOL_OUTER = 34.0;     // none beyond this one
const float FOG_MAX_DISTANCE = 60.0;   // the march ends this far from the camera
const int FOG_STEPS = 12;
const vec3 FOG_AMBIENT = vec3(0.07, 0.085, 0.12);   // moonlit night sky in the fog
const vec3 MOON_DIRECTION = vec3(0.7880, 0.2590, -0.5586);
const vec3 MOON_COLOR = vec3(0.12, 0.15, 0.2);
const vec3 FLASH_COLOR = vec3(0.55, 0.62, 0.85);
const vec3 PUMPKIN_COLOR = vec3(0.16, 0.06, 0.01);
const float FOG_GLOW_SCATTER = 0.9;  // how much of the nearby glow the fog catches

// ---------------------------------------------------------------------------
// Inputs (fixed by the post-process that dispatches these kernels):
//
//   cyanHighlights  texture 0 frame colour (linear, exposed, RGBA16F)
//                   texture 1 highlights (RGBA16F, written)
//                   texture 2 frame depth (0 near .. 1 far)
//   groundMist      texture 0 frame colour, texture 1 blurred highlights,
//                   texture 2 frame depth, texture 3 fog density volume
//                   (128 × 64 × 128, R8), texture 4 final colour (written)
//   both            uniform block 0: FogUniforms (below), one invocation
//                   per pixel.
//
// The fog volume holds density structure, tileable in x and z. It is laid
// over the scene as a box FOG_SPAN metres wide and deep, centred on the
// vehicle, from the ground up to FOG_VOLUME_HEIGHT metres, and drifts with
// the wind; these kernels shape it into a ground-hugging layer with a
// rolling top, thin it towards the camera and away from the scene, and
// light it by the moon, the lightning, the pumpkins and the scene's glows.
// ---------------------------------------------------------------------------

layout(std140, binding = 0) uniform FogUniforms {
    mat4 inverseProjection;  // clip space to camera space, this frame
    mat4 cameraWorld;        // camera to world
    vec4 atmosphere;         // x time (s), y lightning flash, z pumpkin glow, w hover
    vec4 presentation;       // x scene visibility 0..1
};

layout(binding = 0) uniform sampler2D frameColor;
layout(binding = 2) uniform sampler2D frameDepth;

#ifdef GLOAM_KERNEL_cyanHighlights
layout(binding = 1, rgba16f) writeonly uniform image2D highlights;
#endif

#ifdef GLOAM_KERNEL_groundMist
layout(binding = 1) uniform sampler2D blurredHighlights;
layout(binding = 3) uniform sampler3D fogDensity;
layout(binding = 4, rgba16f) writeonly uniform image2D finalColor;
#endif

const float PI = 3.14159265;
const int HALO_TAPS = 16;
const vec3 LUMA = vec3(0.2126, 0.7152, 0.0722);

// The frame's colour, cleaned of negative, infinite and NaN values so that a
// single broken pixel cannot flood the bloom.
vec3 sceneColor(ivec2 p) {
    vec3 c = texelFetch(frameColor, p, 0).rgb;
    c = mix(c, vec3(0.0), bvec3(isnan(c.r) || isinf(c.r), isnan(c.g) || isinf(c.g), isnan(c.b) || isinf(c.b)));
    return clamp(c, vec3(0.0), vec3(BLOOM_CLAMP));
}

#ifdef GLOAM_KERNEL_cyanHighlights

// Highlights: a soft-knee threshold on the brightest channel, pushed towards
// cyan. Warm highlights (pumpkins, lamps) keep much of their own colour, so
// the bloom reads as cold ghost light on the glows and stays warm on fire.
void cyanHighlights() {
    ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    vec3 c = sceneColor(p);
    float flash = clamp(atmosphere.y, 0.0, 1.0);
    float threshold = BLOOM_THRESHOLD * (1.0 - 0.3 * flash);
    float peak = max(c.r, max(c.g, c.b));
    float knee = BLOOM_KNEE * threshold;
    float soft = clamp(peak - threshold + knee, 0.0, 2.0 * knee);
    soft = soft * soft / (4.0 * knee + 1e-4);
    float keep = max(soft, peak - threshold) / max(peak, 1e-4);
    vec3 h = c * keep;

    float level = dot(h, LUMA);
    float warmth = clamp((h.r - h.b) / max(peak * keep, 1e-4), 0.0, 1.0);
    float tint = BLOOM_TINT_AMOUNT * (1.0 - 0.75 * warmth);
    vec3 cyan = level * BLOOM_TINT;
    h = mix(h, cyan, tint);
    imageStore(highlights, p, vec4(h, 0.0));
}

#endif

#ifdef GLOAM_KERNEL_groundMist

// The density volume at a world point, drifting with the wind: two
// differently scaled, differently drifting looks into the same volume, so
// the pattern never visibly repeats.
float fogNoise(vec3 world, float time) {
    vec3 a = world + vec3(FOG_WIND.x, 0.0, FOG_WIND.y) * time;
    vec3 b = vec3(world.z, world.y, -world.x) * 0.62 + vec3(-FOG_WIND.y, 0.0, FOG_WIND.x) * (0.7 * time);
    vec3 ua = vec3(a.x / FOG_SPAN + 0.5, clamp(a.y / FOG_VOLUME_HEIGHT, 0.0, 1.0), a.z / FOG_SPAN + 0.5);
    vec3 ub = vec3(b.x / FOG_SPAN + 0.5, clamp(world.y / FOG_VOLUME_HEIGHT + 0.1 * sin(0.05 * time), 0.0, 1.0),
                   b.z / FOG_SPAN + 0.5);
    ua.xz = fract(ua.xz);
    ub.xz = fract(ub.xz);
    float large = textureLod(fogDensity, ua, 0.0).r;
    float small = textureLod(fogDensity, ub, 0.0).r;
    return large * (0.55 + 0.9 * small);
}

// Henyey-Greenstein phase function.
float phase(float cosine, float g) {
    float d = 1.0 + g * g - 2.0 * g * cosine;
    return (1.0 - g * g) / (4.0 * PI * d * sqrt(d));
}

// The integral of exp(-x s) over s in [0, 1]: the shape of an exponential
// height profile along a straight ray that climbs x scale heights.
float profileShape(float x) {
    return abs(x) < 1e-3 ? 1.0 - 0.5 * x : (1.0 - exp(-x)) / x;
}

// Interleaved gradient noise: a fixed per-pixel offset for the march, so
// that steps turn into fine grain instead of bands.
float jitter(vec2 p) {
    return fract(52.9829189 * fract(dot(p, vec2(0.06711056, 0.00583715))));
}

void groundMist() {
    ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    vec2 size = vec2(textureSize(frameColor, 0));
    vec2 uv = (vec2(p) + 0.5) / size;
    vec3 scene = sceneColor(p);
    float alpha = texelFetch(frameColor, p, 0).a;
    float depth = texelFetch(frameDepth, p, 0).r;
    float visibility = clamp(presentation.x, 0.0, 1.0);
    float time = atmosphere.x;
    float flash = clamp(atmosphere.y, 0.0, 1.0);
    float pumpkins = clamp(atmosphere.z, 0.0, 1.0);
    float hover = clamp(atmosphere.w, -1.0, 1.0);

    // Bloom: the blurred highlights, and a wider, fainter halo gathered
    // from them over a disc of HALO_TAPS taps on a golden-angle spiral,
    // Gaussian-weighted, out to four blur widths (the taps are closer than
    // two blur widths apart, so a point of light gets a round halo).
    vec3 glow = textureLod(blurredHighlights, uv, 0.0).rgb;
    vec2 texel = 1.0 / size;
    float sigma = max(size.x * (9.0 / 2400.0), 0.75);
    vec3 halo = vec3(0.0);
    float haloWeight = 0.0;
    for (int i = 0; i < HALO_TAPS; ++i) {
        float r = sqrt((float(i) + 0.5) / float(HALO_TAPS));
        float angle = float(i) * 2.39996323;
        float w = exp(-2.0 * r * r);
        halo += w * textureLod(blurredHighlights, uv + vec2(cos(angle), sin(angle)) * (r * 4.0 * sigma) * texel, 0.0).rgb;
        haloWeight += w;
    }
    halo /= haloWeight;
    vec3 bloom = BLOOM_STRENGTH * glow + HALO_STRENGTH * halo;

    // The view ray of this pixel in the world, up to what it hits.
    vec4 view = inverseProjection * vec4(uv * 2.0 - 1.0, depth * 2.0 - 1.0, 1.0);
    vec3 viewPoint = view.xyz / view.w;
    vec3 eye = cameraWorld[3].xyz;
    vec3 hit = (cameraWorld * vec4(viewPoint, 1.0)).xyz;
    vec3 ray = hit - eye;
    float reach = length(ray);
    vec3 direction = ray / max(reach, 1e-4);
    if (depth >= 1.0) reach = FOG_MAX_DISTANCE;
    reach = min(reach, FOG_MAX_DISTANCE);

    // The part of the ray inside the fog layer, from the ground to FOG_TOP.
    float t0 = 0.0;
    float t1 = reach;
    if (abs(direction.y) > 1e-5) {
        float ta = (FOG_TOP - eye.y) / direction.y;
        float tb = (0.0 - eye.y) / direction.y;
        t0 = max(t0, min(ta, tb));
        t1 = min(t1, max(ta, tb));
    } else if (eye.y > FOG_TOP || eye.y < 0.0) {
        t1 = 0.0;
    }

    // Optical depth of two layers: a dense bank hugging the ground, shaped
    // by the drifting volume into a rolling top, and a thin haze above it.
    // Each layer's exponential height profile is integrated exactly along
    // the ray; the rest (the volume, the pool around the scene, the clear
    // air at the lens) is the profile-weighted mean of FOG_STEPS jittered
    // samples, so a few samples give smooth fog.
    float opticalDepth = 0.0;
    float fogHeight = 0.0;
    if (t1 > t0) {
        float breathing = 1.0 + 0.12 * hover;
        float bankHeight = FOG_BANK_HEIGHT * breathing;
        float length0 = t1 - t0;
        float start = max(eye.y + direction.y * t0, 0.0);
        float bankIntegral = exp(-start / bankHeight) * length0 * profileShape(direction.y * length0 / bankHeight);
        float hazeIntegral = exp(-start / FOG_HAZE_HEIGHT) * length0 *
                             profileShape(direction.y * length0 / FOG_HAZE_HEIGHT);

        float dt = length0 / float(FOG_STEPS);
        float t = t0 + dt * jitter(vec2(p));
        vec2 bank = vec2(0.0);  // weight sum, weighted modulation
        vec2 haze = vec2(0.0);
        for (int i = 0; i < FOG_STEPS; ++i, t += dt) {
            vec3 at = eye + direction * t;
            float height = max(at.y, 0.0);
            float n = fogNoise(at, time);
            // The rolling top: the higher, the denser the volume must be.
            float billow = smoothstep(0.22 + 0.4 * height, 0.55 + 0.45 * height, n);
            float pool = 1.0 - smoothstep(FOG_POOL_INNER, FOG_POOL_OUTER, length(at.xz));
            float lens = smoothstep(1.5, 9.0, t);
            float bankWeight = exp(-height / bankHeight);
            float hazeWeight = exp(-height / FOG_HAZE_HEIGHT);
            float m = billow * pool * lens;
            bank += vec2(bankWeight, bankWeight * m);
            haze += vec2(hazeWeight, hazeWeight * n * pool * lens);
            fogHeight += bankWeight * m * height;
        }
        fogHeight /= max(bank.y, 1e-5);
        opticalDepth = FOG_BANK_DENSITY * bankIntegral * bank.y / max(bank.x, 1e-6) +
                       FOG_HAZE_DENSITY * hazeIntegral * haze.y / max(haze.x, 1e-6);
    }
    float transmittance = exp(-opticalDepth);

    // Light in the fog: a cold moonlit ambient, forward scattering towards
    // the moon, the lightning, the pumpkins' glow near the ground and the
    // scene's own glows (the blurred highlights around this pixel).
    float moonCosine = dot(direction, MOON_DIRECTION);
    vec3 light = FOG_AMBIENT + MOON_COLOR * (phase(moonCosine, 0.6) * 4.0 * PI * 0.18 + 0.35);
    light += FLASH_COLOR * flash * (0.6 + phase(moonCosine, 0.3) * 4.0 * PI * 0.4);
    light += PUMPKIN_COLOR * pumpkins * exp(-fogHeight / 0.7);
    light += (glow + 2.0 * halo) * FOG_GLOW_SCATTER;

    vec3 misted = scene * transmittance + light * (1.0 - transmittance);
    vec3 result = misted + bloom;
    imageStore(finalColor, p, vec4(mix(scene, result, visibility), alpha));
}

#endif
