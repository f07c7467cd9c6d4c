// The kernels of every vehicle's post-process library. The forge writes
// <vehicle>-ScenePostprocess.glsl from the vehicle's constant block followed
// by this text, from the line below on (see PostProcessLibraries.cpp).
// ---------------------------------------------------------------------------
// Inputs (fixed by the post-process that dispatches these kernels):
//
//   cyanHighlights  texture 0 frame colour (linear, exposed, RGBA16F)
//                   texture 1 highlights (RGBA16F, written)
//                   texture 2 frame depth (0 near .. 1 far)
//   groundMist      texture 0 frame colour, texture 1 blurred highlights,
//                   texture 2 frame depth, texture 3 fog density volume
//                   (128 × 64 × 128, R8), texture 4 final colour (written)
//   all             uniform block 0: FogUniforms (below), one invocation
//                   per pixel of the grid named.
//
// The software tier's quarter-size path does the smooth work on a copy of
// half the width and half the height (rounded up) and keeps per pixel only
// what is not smooth (the frame itself, and which side of a depth edge a
// pixel lies on):
//
//   cyanHighlightsQuarter  quarter grid. texture 0 frame colour, texture 1
//                   highlights (quarter, written): the mean of the 2 × 2
//                   pixels' highlights.
//   groundMistQuarter      quarter grid. texture 0 frame colour, texture 1
//                   blurred highlights (quarter), texture 2 frame depth,
//                   texture 3 fog volume, texture 4 mist (quarter, written:
//                   rgb the light the fog and the bloom add, a the fog's
//                   transmittance), texture 5 mist depth (quarter, written:
//                   r the camera distance along -z the mist was made for).
//   groundMistUpsample     full grid. texture 0 frame colour, texture 1
//                   mist, texture 2 frame depth, texture 3 mist depth,
//                   texture 4 final colour (written).
//
// The fog volume is the fog's density over a box of the scene (the forge
// fills it for FOG_BOX_MIN..FOG_BOX_MAX, as resources/FogVolumeLayout.h
// says; clear outside, tiling along x and z). These kernels let it sway,
// curl and heave slowly, integrate it along every pixel's view ray up to
// what the pixel shows, thin it near the camera, and light it by the moon,
// the lightning, the pumpkins and the scene's glows.
// ---------------------------------------------------------------------------

layout(std140, binding = 0) uniform FogUniforms {
    mat4 inverseProjection;  // clip space to camera space, this frame
    mat4 cameraWorld;        // camera to world
    vec4 atmosphere;         // x time (s), y lightning flash, z pumpkin glow, w hover
    vec4 presentation;       // x scene visibility 0..1
};

layout(binding = 0) uniform sampler2D frameColor;
layout(binding = 2) uniform sampler2D frameDepth;

#if defined(GLOAM_KERNEL_cyanHighlights) || defined(GLOAM_KERNEL_cyanHighlightsQuarter)
layout(binding = 1, rgba16f) writeonly uniform image2D highlights;
#endif

#if defined(GLOAM_KERNEL_groundMist) || defined(GLOAM_KERNEL_groundMistQuarter)
#define GLOAM_FOG 1
layout(binding = 1) uniform sampler2D blurredHighlights;
layout(binding = 3) uniform sampler3D fogDensity;
#endif

#ifdef GLOAM_KERNEL_groundMist
layout(binding = 4, rgba16f) writeonly uniform image2D finalColor;
#endif

#ifdef GLOAM_KERNEL_groundMistQuarter
layout(binding = 4, rgba16f) writeonly uniform image2D mist;
layout(binding = 5, rgba16f) writeonly uniform image2D mistDepth;
#endif

#ifdef GLOAM_KERNEL_groundMistUpsample
layout(binding = 1) uniform sampler2D quarterMist;
layout(binding = 3) uniform sampler2D quarterMistDepth;
layout(binding = 4, rgba16f) writeonly uniform image2D finalColor;
#endif

const float PI = 3.14159265;
const vec3 LUMA = vec3(0.2126, 0.7152, 0.0722);

// The frame's colour, cleaned of negative, infinite and NaN values so that a
// single broken pixel cannot flood the bloom.
vec3 cleanColor(vec3 c) {
    c = mix(c, vec3(0.0), bvec3(isnan(c.r) || isinf(c.r), isnan(c.g) || isinf(c.g), isnan(c.b) || isinf(c.b)));
    return clamp(c, vec3(0.0), vec3(BLOOM_CLAMP));
}
vec3 sceneColor(ivec2 p) { return cleanColor(texelFetch(frameColor, p, 0).rgb); }

#if defined(GLOAM_KERNEL_cyanHighlights) || defined(GLOAM_KERNEL_cyanHighlightsQuarter)

// Highlights: a soft-knee threshold on the brightest channel, pushed towards
// cyan. Warm highlights (pumpkins, lamps) keep much of their own colour, so
// the bloom reads as cold ghost light on the glows and stays warm on fire.
vec3 highlightOf(vec3 c) {
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
    return h;
}

#endif

#ifdef GLOAM_KERNEL_cyanHighlights
void cyanHighlights() {
    ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    imageStore(highlights, p, vec4(highlightOf(sceneColor(p)), 0.0));
}
#endif

#ifdef GLOAM_KERNEL_cyanHighlightsQuarter
// The 2 × 2 pixels' own highlights, averaged (not the highlight of their
// average: a single bright pixel blooms as it does at full size).
void cyanHighlightsQuarter() {
    ivec2 q = ivec2(gl_GlobalInvocationID.xy);
    ivec2 last = textureSize(frameColor, 0) - 1;
    ivec2 p = 2 * q;
    vec3 h = highlightOf(sceneColor(p)) + highlightOf(sceneColor(min(p + ivec2(1, 0), last))) +
             highlightOf(sceneColor(min(p + ivec2(0, 1), last))) + highlightOf(sceneColor(min(p + ivec2(1, 1), last)));
    imageStore(highlights, q, vec4(0.25 * h, 0.0));
}
#endif

#ifdef GLOAM_FOG

// The halo's taps: offsets on a golden-angle spiral in units of its reach,
// and Gaussian weights.
const int HALO_TAPS = 8;
const vec3 HALO_SPIRAL[HALO_TAPS] = vec3[](
    vec3(0.25000, 0.00000, 0.88250),
    vec3(-0.31929, 0.29250, 0.68729),
    vec3(0.04887, -0.55688, 0.53526),
    vec3(0.40244, 0.52492, 0.41686),
    vec3(-0.73854, -0.13064, 0.32465),
    vec3(0.69960, -0.44503, 0.25284),
    vec3(-0.23400, 0.87048, 0.19691),
    vec3(-0.44627, -0.85927, 0.15335));
const float HALO_WEIGHT = 3.44967;

// Where the volume lies in the scene (texel centres from the first to the
// last cell of this box, as the forge fills it), and the ceiling of the
// march.
const vec3 FOG_BOX_MIN = vec3(-24.0, 0.0, -24.0);
const vec3 FOG_BOX_MAX = vec3(24.0, 6.0, 24.0);
const float FOG_TOP = 6.0;

// The fog's density at a world point, 0 to 1. The lookup sways with the
// wind, curls about it and heaves a little, so the fog rolls and drifts
// while its banks, its hollows and the clearing round the vehicle stay
// where the volume puts them. Clear outside the box (fading over its last
// four metres).
float fogDensityAt(vec3 world, float time) {
    vec3 a = world - vec3(FOG_SWAY.x * sin(0.045 * time), 0.0, FOG_SWAY.y * sin(0.037 * time + 1.3));
    a.xz += 1.2 * vec2(sin(0.19 * world.z + 0.23 * time), sin(0.23 * world.x - 0.17 * time));
    a.y += 0.12 * sin(0.31 * world.x + 0.27 * world.z + 0.2 * time);
    vec3 u = (a - FOG_BOX_MIN) / (FOG_BOX_MAX - FOG_BOX_MIN);
    u.xz = fract(u.xz);
    float inside = 1.0 - smoothstep(FOG_BOX_MAX.x - 4.0, FOG_BOX_MAX.x, max(abs(world.x), abs(world.z)));
    return textureLod(fogDensity, u, 0.0).r * inside;
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

// A view ray through the fog layer: where it starts, which way it goes and
// the part of it inside the layer (from the ground up to FOG_TOP, at most
// FOG_MAX_DISTANCE from the camera, and not beyond what the pixel shows).
struct FogRay {
    vec3 eye;
    vec3 direction;
    float t0;
    float t1;
};

FogRay fogRay(vec2 uv, float depth) {
    vec4 view = inverseProjection * vec4(uv * 2.0 - 1.0, depth * 2.0 - 1.0, 1.0);
    FogRay r;
    r.eye = cameraWorld[3].xyz;
    vec3 ray = (cameraWorld * vec4(view.xyz / view.w, 1.0)).xyz - r.eye;
    float reach = length(ray);
    r.direction = ray / max(reach, 1e-4);
    reach = depth >= 1.0 ? FOG_MAX_DISTANCE : min(reach, FOG_MAX_DISTANCE);
    r.t0 = 0.0;
    r.t1 = reach;
    if (abs(r.direction.y) > 1e-5) {
        float ta = (FOG_TOP - r.eye.y) / r.direction.y;
        float tb = -r.eye.y / r.direction.y;
        r.t0 = max(r.t0, min(ta, tb));
        r.t1 = min(r.t1, max(ta, tb));
    } else if (r.eye.y > FOG_TOP || r.eye.y < 0.0) {
        r.t1 = 0.0;
    }
    return r;
}

// Optical depth along a ray, from few samples. The fog lies low, so its
// density falls steeply with height; a plain march of a few samples would
// miss or overcount the thin slices near the ground. Instead an envelope
// that falls the same way (exp(-height / FOG_ENVELOPE_HEIGHT)) is
// integrated exactly along the ray and multiplied by the ratio of the
// sampled densities to the sampled envelope. That ratio is the fog's
// structure: it changes slowly along the ray and across the picture, so
// FOG_SAMPLES samples give smooth, stable fog, while the exact envelope
// keeps every edge and every distance right.
const int FOG_SAMPLES = 5;

// One sample: envelope, density (thinned near the camera), density ×
// height.
vec3 fogSample(FogRay r, int index, float time) {
    float t = r.t0 + (r.t1 - r.t0) * ((float(index) + 0.5) / float(FOG_SAMPLES));
    vec3 at = r.eye + r.direction * t;
    float height = max(at.y, 0.0);
    float density = fogDensityAt(at, time) * smoothstep(3.0, 12.0, t);
    return vec3(exp(-height / FOG_ENVELOPE_HEIGHT), density, density * height);
}

// What the fog and the bloom make of one pixel's ray: the fog's
// transmittance, the light it scatters towards the camera, and the bloom.
struct Mist {
    float transmittance;
    vec3 light;
    vec3 bloom;
};

Mist mistAlong(FogRay r, vec2 uv, vec2 size) {
    float time = atmosphere.x;
    float flash = clamp(atmosphere.y, 0.0, 1.0);
    float pumpkins = clamp(atmosphere.z, 0.0, 1.0);
    float hover = clamp(atmosphere.w, -1.0, 1.0);

    // The fog along this pixel's ray.
    float opticalDepth = 0.0;
    float bankShare = 0.0;  // how much of it is the ground fog (not the haze)
    float fogHeight = 0.0;  // the ground fog's mean height
    if (r.t1 > r.t0) {
        vec3 sum = vec3(0.0);
        for (int i = 0; i < FOG_SAMPLES; ++i) sum += fogSample(r, i, time);
        float span = r.t1 - r.t0;
        float start = max(r.eye.y + r.direction.y * r.t0, 0.0);
        float envelope = exp(-start / FOG_ENVELOPE_HEIGHT) * span *
                         profileShape(r.direction.y * span / FOG_ENVELOPE_HEIGHT);
        float haze = exp(-start / FOG_HAZE_HEIGHT) * span * profileShape(r.direction.y * span / FOG_HAZE_HEIGHT);
        float ground = FOG_DENSITY * (1.0 + 0.15 * hover) * envelope * sum.y / max(sum.x, 1e-20);
        // The haze is the fog's upper fringe: only where the ray meets fog.
        float fringe = min(1.0, 4.0 * sum.y / float(FOG_SAMPLES));
        opticalDepth = ground + FOG_HAZE_DENSITY * haze * fringe;
        bankShare = ground / max(opticalDepth, 1e-6);
        fogHeight = sum.z / max(sum.y, 1e-6);
    }
    Mist m;
    m.transmittance = exp(-opticalDepth);

    // Bloom: the blurred highlights, and a wider, fainter halo gathered
    // from them over a disc of taps on a golden-angle spiral, Gaussian-
    // weighted, out to 2.5 blur widths (the taps are 1.6 blur widths apart,
    // close enough for a point of light to get a round halo).
    vec3 glow = textureLod(blurredHighlights, uv, 0.0).rgb;
    vec2 reach = max(size.x * (9.0 / 2400.0), 0.75) * 2.5 / size;
    vec3 halo = vec3(0.0);
    for (int i = 0; i < HALO_TAPS; ++i) {
        halo += HALO_SPIRAL[i].z * textureLod(blurredHighlights, uv + HALO_SPIRAL[i].xy * reach, 0.0).rgb;
    }
    halo /= HALO_WEIGHT;
    m.bloom = BLOOM_STRENGTH * glow + HALO_STRENGTH * halo;

    // Light in the fog: a cold moonlit ambient, forward scattering towards
    // the moon, the lightning, the pumpkins' glow near the ground and the
    // scene's own glows (the blurred highlights around this pixel).
    float moonCosine = dot(r.direction, MOON_DIRECTION);
    vec3 light = FOG_AMBIENT + MOON_COLOR * (phase(moonCosine, 0.6) * 4.0 * PI * 0.12 + 0.35);
    light += FLASH_COLOR * flash * (0.6 + phase(moonCosine, 0.3) * 4.0 * PI * 0.4);
    light += PUMPKIN_COLOR * (pumpkins * bankShare * exp(-fogHeight / 0.7));
    light += (glow + 2.0 * halo) * FOG_GLOW_SCATTER;
    m.light = light;
    return m;
}

#endif

#ifdef GLOAM_KERNEL_groundMist

void groundMist() {
    ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    vec2 size = vec2(textureSize(frameColor, 0));
    vec2 uv = (vec2(p) + 0.5) / size;
    // Each input is read once per pixel: a software GPU pays for every fetch.
    vec4 frame = texelFetch(frameColor, p, 0);
    vec3 scene = cleanColor(frame.rgb);
    float alpha = frame.a;
    float visibility = clamp(presentation.x, 0.0, 1.0);

    Mist m = mistAlong(fogRay(uv, texelFetch(frameDepth, p, 0).r), uv, size);
    float transmittance = m.transmittance;
    vec3 misted = scene * transmittance + m.light * (1.0 - transmittance);
    vec3 result = misted + m.bloom;
    imageStore(finalColor, p, vec4(mix(scene, result, visibility), alpha));
}

#endif

// The camera's distance along -z to what a depth shows at uv.
float viewDistance(vec2 uv, float depth) {
    vec4 view = inverseProjection * vec4(uv * 2.0 - 1.0, depth * 2.0 - 1.0, 1.0);
    return -view.z / view.w;
}

#ifdef GLOAM_KERNEL_groundMistQuarter

// One mist texel for 2 × 2 pixels, made for one of their depths: the
// nearest on one square of a checkerboard, the farthest on the other. Where
// a depth edge runs through the pixels, the texels around it then hold the
// mist of both sides, and the upsample picks each pixel's side.
void groundMistQuarter() {
    ivec2 q = ivec2(gl_GlobalInvocationID.xy);
    vec2 frameSize = vec2(textureSize(frameDepth, 0));
    vec2 quarterSize = vec2(imageSize(mist));
    // The 2 × 2 pixels' centre, in the frame's texture coordinates; past
    // the frame's last column or row the gather repeats it.
    vec2 uv = (2.0 * vec2(q) + 1.0) / frameSize;
    vec4 depths = textureGather(frameDepth, uv, 0);
    float nearest = min(min(depths.x, depths.y), min(depths.z, depths.w));
    float farthest = max(max(depths.x, depths.y), max(depths.z, depths.w));
    float depth = ((q.x + q.y) & 1) == 0 ? nearest : farthest;

    Mist m = mistAlong(fogRay(uv, depth), (vec2(q) + 0.5) / quarterSize, frameSize);
    imageStore(mist, q, vec4(m.light * (1.0 - m.transmittance) + m.bloom, m.transmittance));
    imageStore(mistDepth, q, vec4(viewDistance(uv, depth), 0.0, 0.0, 0.0));
}

#endif

#ifdef GLOAM_KERNEL_groundMistUpsample

// The mist of the four quarter texels around a pixel. Where their depths
// all lie near the pixel's own (relative to the distance), it is filtered
// bilinearly; across a depth edge the pixel takes the one texel whose depth
// is nearest its own (weighed with its bilinear weight, so the texel
// closest to the pixel wins among equals), so the far fog does not bleed
// onto the vehicle, the fence or a pumpkin, and the near side's clearer air
// does not cut a dark halo into the fog behind. Two fetches of quarter
// texels per pixel: the four depths in one gather, then the mist.
const float MIST_DEPTH_TOLERANCE = 0.04;  // relative depth difference still taken as the same surface

void groundMistUpsample() {
    ivec2 p = ivec2(gl_GlobalInvocationID.xy);
    vec2 size = vec2(textureSize(frameColor, 0));
    vec4 frame = texelFetch(frameColor, p, 0);
    vec3 scene = cleanColor(frame.rgb);
    float visibility = clamp(presentation.x, 0.0, 1.0);
    float here = viewDistance((vec2(p) + 0.5) / size, texelFetch(frameDepth, p, 0).r);

    // Quarter texel i covers pixels 2i and 2i + 1, so the quarter image
    // spans 2 × its size in pixels (one more than the frame when the frame
    // is odd), and a pixel lies 3/4 or 1/4 of the way between the centres
    // of its two nearest texels.
    vec2 quarterSize = vec2(textureSize(quarterMist, 0));
    vec2 uv = (vec2(p) + 0.5) / (2.0 * quarterSize);
    vec2 f = mix(vec2(0.25), vec2(0.75), vec2(equal(p & 1, ivec2(0))));
    // Gather order: (0, 1), (1, 1), (1, 0), (0, 0) from the lower left texel.
    vec4 depths = textureGather(quarterMistDepth, uv, 0);
    vec4 bilinear = vec4((1.0 - f.x) * f.y, f.x * f.y, f.x * (1.0 - f.y), (1.0 - f.x) * (1.0 - f.y));
    vec4 offset = abs(depths - here) / (MIST_DEPTH_TOLERANCE * here);
    vec4 score = bilinear / (1.0 + offset * offset);
    float best = max(max(score.x, score.y), max(score.z, score.w));
    // Where they differ: the centre of the best texel.
    vec2 corner = score.w == best ? vec2(0.0, 0.0)
                : score.z == best ? vec2(1.0, 0.0)
                : score.x == best ? vec2(0.0, 1.0)
                                  : vec2(1.0, 1.0);
    vec2 lowerLeft = floor(uv * quarterSize - 0.5) + 0.5;
    bool sameSurface = max(max(offset.x, offset.y), max(offset.z, offset.w)) < 1.0;
    vec2 at = sameSurface ? uv : (lowerLeft + corner) / quarterSize;
    vec4 m = textureLod(quarterMist, at, 0.0);

    vec3 result = scene * m.a + m.rgb;
    imageStore(finalColor, p, vec4(mix(scene, result, visibility), frame.a));
}

#endif
