#include "platform/render/SceneShaders.h"

#include <iterator>
#include <string>

namespace gloam::render {

namespace {

const char* blocks = R"(
layout(std140, binding = 1) uniform Frame {
    mat4 view;
    mat4 projection;
    mat4 viewProjection;
    mat4 shadowMatrix;
    vec4 cameraPosition;   // xyz; w exposure
    vec4 lightDirection;   // xyz direction the light travels; w 1 when present
    vec4 lightColor;       // rgb colour × lux × exposure; w 1 when shadowed
    vec4 shadowParameters; // x texel size, y filter radius in texels, z depth bias, w environment mip count
    vec4 environment;      // x 1 with image, y intensity scale, z extra directional lights, w point light count
    vec4 irradiance[9];    // spherical harmonics of the environment's irradiance / π
    vec4 extraLightDirection[3]; // directional lights beyond the first, unshadowed
    vec4 extraLightColor[3];
};
layout(std430, binding = 2) readonly buffer PointLights { vec4 pointLights[]; };
// Per cluster (32 × 32 pixel tile × depth slice): (first index << 8) | count,
// then the indices. Slices split [near, far] exponentially.
layout(std430, binding = 5) readonly buffer LightTiles {
    int tileColumns;
    int depthSlices;
    float sliceNear;
    float sliceScale;  // slices / log(far / near)
    uint lightTiles[];
};
layout(std430, binding = 6) readonly buffer LightIndices { uint lightIndices[]; };
layout(std140, binding = 3) uniform Draw {
    mat4 model;
    mat4 normalMatrix;
    vec4 baseColor;
    vec4 emissive;       // rgb colour × intensity; w entity opacity
    vec4 material;       // roughness, metallic, specular, 1 with tangents
    vec4 custom;
    vec4 flags;          // x tone mapped, y transparent, z material opacity, w 1 with normal map
    vec4 textures;       // 1 where a texture is bound: base colour, roughness-metallic, emissive, occlusion
    vec4 drawLights[16]; // the point lights picked for this draw: position and radius, colour
};
)";

const char* toneMapping = R"(
// ACES filmic curve (Narkowicz's fit), and its inverse for colours that
// must reach the display unchanged.
vec3 toneMap(vec3 x) {
    x = max(x, vec3(0.0));
    return clamp((x * (2.51 * x + 0.03)) / (x * (2.43 * x + 0.59) + 0.14), 0.0, 1.0);
}
vec3 inverseToneMap(vec3 y) {
    y = clamp(y, vec3(0.0), vec3(0.99));
    vec3 a = 2.51 - 2.43 * y;
    vec3 b = 0.03 - 0.59 * y;
    vec3 c = -0.14 * y;
    return (-b + sqrt(b * b - 4.0 * a * c)) / (2.0 * a);
}
)";

} // namespace

std::string SceneShaders::sceneVertex(bool skinned)
{
    std::string text = "#version 450 core\n";
    if (skinned)
        text += "#define SKINNED 1\n";
    text += blocks;
    text += R"(
layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inUv;
layout(location = 3) in vec4 inTangent;
layout(location = 4) in uvec4 inJoints;
layout(location = 5) in vec4 inWeights;
#ifdef SKINNED
layout(std430, binding = 4) readonly buffer Joints { mat4 joints[]; };
#endif
invariant gl_Position;
out vec3 worldPosition;
out vec3 worldNormal;
out vec4 worldTangent;
out vec2 uv;
// The point in the object's own frame at the scale it is drawn at: fixed on
// the object however it moves or turns (read by surface functions only).
out vec3 objectPosition;
void main() {
    vec4 position = vec4(inPosition, 1.0);
    vec3 normal = inNormal;
    vec3 tangent = inTangent.xyz;
#ifdef SKINNED
    mat4 skin = inWeights.x * joints[inJoints.x] + inWeights.y * joints[inJoints.y] +
                inWeights.z * joints[inJoints.z] + inWeights.w * joints[inJoints.w];
    float total = dot(inWeights, vec4(1.0));
    if (total <= 0.0) skin = mat4(1.0);
    position = skin * position;
    normal = mat3(skin) * normal;
    tangent = mat3(skin) * tangent;
#endif
    vec4 world = model * position;
    worldPosition = world.xyz;
    worldNormal = mat3(normalMatrix) * normal;
    worldTangent = vec4(mat3(model) * tangent, inTangent.w);
    uv = inUv;
    objectPosition = position.xyz * vec3(length(model[0].xyz), length(model[1].xyz), length(model[2].xyz));
    gl_Position = viewProjection * world;
}
)";
    return text;
}

std::string SceneShaders::sceneFragment(std::uint32_t features, const std::string& surface)
{
    std::string text = "#version 450 core\n";
    static const char* names[] = {"UNLIT",
                                  "RAW_COLOUR",
                                  "BASE_TEXTURE",
                                  "ROUGHNESS_TEXTURE",
                                  "EMISSIVE_TEXTURE",
                                  "OCCLUSION_TEXTURE",
                                  "NORMAL_MAP",
                                  "TANGENTS",
                                  "SUN",
                                  "SUN_SHADOW",
                                  "ENVIRONMENT",
                                  "POINT_LIGHTS",
                                  "GLOSSY_ENVIRONMENT",
                                  "SINGLE_SHADOW_TAP"};
    for (std::uint32_t bit = 0; bit < std::size(names); ++bit) {
        if ((features & (1u << bit)) != 0)
            text += std::string("#define ") + names[bit] + " 1\n";
    }
    if (const std::uint32_t field = (features & drawLightsField) >> 16; field > 0)
        text += "#define DRAW_LIGHTS " + std::to_string(field - 1) + "\n";
    if (!surface.empty())
        text += "#define CUSTOM 1\n";
    text += blocks;
    text += toneMapping;
    text += R"(
layout(binding = 0) uniform sampler2D baseColorTexture;
layout(binding = 1) uniform sampler2D normalTexture;
layout(binding = 2) uniform sampler2D roughnessMetallicTexture;
layout(binding = 3) uniform sampler2D emissiveTexture;
layout(binding = 4) uniform sampler2D occlusionTexture;
layout(binding = 5) uniform sampler2D customTexture;
layout(binding = 8) uniform sampler2DShadow shadowMap;
layout(binding = 9) uniform sampler2D environmentMap;

in vec3 worldPosition;
in vec3 worldNormal;
in vec4 worldTangent;
in vec2 uv;
#ifdef CUSTOM
in vec3 objectPosition;
#endif
layout(location = 0) out vec4 fragColor;

struct Surface {
    vec3 baseColor;
    float opacity;
    float roughness;
    float metallic;
    float specular;
    vec3 emissive;
    vec3 normal;
    float occlusion;
    vec2 uv;
    vec3 position;       // world
    vec3 objectPosition; // in the object's own frame, at its drawn scale
    vec4 custom;
};

const float PI = 3.14159265359;

// Texture coordinates count up from the bottom of the picture (v = 1 is its
// top row) while pictures are stored top row first: where to sample.
vec2 textureCoordinate(vec2 uv) { return vec2(uv.x, 1.0 - uv.y); }
)";
    if (!surface.empty()) {
        text += surface;
        text += "\n#line 10000\n";
    }
    text += R"(
// Filament's specular model: GGX distribution, height-correlated Smith
// visibility, Schlick Fresnel; Lambertian diffuse.
float distributionGgx(float NoH, float a) {
    float a2 = a * a;
    float f = (NoH * a2 - NoH) * NoH + 1.0;
    return a2 / (PI * f * f);
}
float visibilitySmithGgx(float NoV, float NoL, float a) {
    float a2 = a * a;
    float v = NoL * sqrt(NoV * NoV * (1.0 - a2) + a2);
    float l = NoV * sqrt(NoL * NoL * (1.0 - a2) + a2);
    return 0.5 / max(v + l, 1e-5);
}
vec3 fresnelSchlick(vec3 f0, float VoH) {
    float f = pow(1.0 - VoH, 5.0);
    return f + f0 * (1.0 - f);
}
vec3 brdf(vec3 n, vec3 v, vec3 l, vec3 diffuseColor, vec3 f0, float a) {
    vec3 h = normalize(v + l);
    float NoV = abs(dot(n, v)) + 1e-5;
    float NoL = clamp(dot(n, l), 0.0, 1.0);
    float NoH = clamp(dot(n, h), 0.0, 1.0);
    float LoH = clamp(dot(l, h), 0.0, 1.0);
    vec3 specular = distributionGgx(NoH, a) * visibilitySmithGgx(NoV, NoL, a) * fresnelSchlick(f0, LoH);
    return (diffuseColor / PI + specular) * NoL;
}

// A point light (position and radius, colour) at `position`: inverse
// square, windowed smoothly to zero at the radius.
vec3 pointLight(vec4 positionRadius, vec3 colour, vec3 position, vec3 n, vec3 v, vec3 diffuseColor, vec3 f0,
                float a) {
    vec3 toLight = positionRadius.xyz - position;
    float d2 = dot(toLight, toLight);
    float r2 = positionRadius.w * positionRadius.w;
    if (d2 >= r2) return vec3(0.0);
    float factor = d2 / r2;
    float window = clamp(1.0 - factor * factor, 0.0, 1.0);
    float attenuation = window * window / max(d2, 1e-4);
    return brdf(n, v, toLight * inversesqrt(d2), diffuseColor, f0, a) * colour * attenuation;
}

float shadowVisibility(vec3 position, vec3 normal) {
    float texel = shadowParameters.x;
    // Normal offset against acne on surfaces that face the light steeply.
    vec3 offsetPosition = position + normal * texel * shadowParameters.z * 40.0;
    vec4 p = shadowMatrix * vec4(offsetPosition, 1.0);
    vec3 coord = p.xyz / p.w * 0.5 + 0.5;
    if (coord.z >= 1.0 || any(lessThan(coord.xy, vec2(0.0))) || any(greaterThan(coord.xy, vec2(1.0)))) return 1.0;
#ifdef SINGLE_SHADOW_TAP
    // One bilinear comparison (2 × 2 texels): a harder edge, a quarter of
    // the fetches.
    return texture(shadowMap, coord);
#endif
    // Soft edges: four bilinear comparisons around the point, each
    // weighing 2 × 2 texels, spread over the filter radius.
    float radius = shadowParameters.y * texel;
    float sum = texture(shadowMap, vec3(coord.xy + vec2(-0.5, -0.5) * radius, coord.z));
    sum += texture(shadowMap, vec3(coord.xy + vec2(0.5, -0.5) * radius, coord.z));
    sum += texture(shadowMap, vec3(coord.xy + vec2(-0.5, 0.5) * radius, coord.z));
    sum += texture(shadowMap, vec3(coord.xy + vec2(0.5, 0.5) * radius, coord.z));
    return sum * 0.25;
}

// Longitude along x from −z (0) through +x (¼), +z (½) and −x (¾);
// latitude along y from +y at the top row.
vec2 equirectangular(vec3 d) {
    return vec2(fract(atan(d.x, -d.z) / (2.0 * PI)), acos(clamp(d.y, -1.0, 1.0)) / PI);
}

vec3 environmentIrradiance(vec3 n) {
    vec3 r = irradiance[0].rgb
        + irradiance[1].rgb * n.y + irradiance[2].rgb * n.z + irradiance[3].rgb * n.x
        + irradiance[4].rgb * (n.x * n.y) + irradiance[5].rgb * (n.y * n.z)
        + irradiance[6].rgb * (3.0 * n.z * n.z - 1.0)
        + irradiance[7].rgb * (n.x * n.z) + irradiance[8].rgb * (n.x * n.x - n.y * n.y);
    return max(r, vec3(0.0));
}

// Karis's analytic fit of the split-sum DFG term.
vec3 environmentBrdf(vec3 f0, float perceptualRoughness, float NoV) {
    const vec4 c0 = vec4(-1.0, -0.0275, -0.572, 0.022);
    const vec4 c1 = vec4(1.0, 0.0425, 1.04, -0.04);
    vec4 r = perceptualRoughness * c0 + c1;
    float a004 = min(r.x * r.x, exp2(-9.28 * NoV)) * r.x + r.y;
    vec2 ab = vec2(-1.04, 1.04) * a004 + r.zw;
    return f0 * ab.x + ab.y;
}

void main() {
    Surface s;
    vec2 st = textureCoordinate(uv);
    // Only bound textures are sampled: sampling is the dearest part of a
    // software renderer's fragment.
#ifdef BASE_TEXTURE
    vec4 base = baseColor * texture(baseColorTexture, st);
#else
    vec4 base = baseColor;
#endif
    s.baseColor = base.rgb;
    s.opacity = base.a * flags.z;
#ifdef ROUGHNESS_TEXTURE
    vec4 rm = texture(roughnessMetallicTexture, st);
#else
    vec4 rm = vec4(1.0);
#endif
    s.roughness = material.x * rm.g;
    s.metallic = material.y * rm.b;
    s.specular = material.z;
#ifdef EMISSIVE_TEXTURE
    s.emissive = emissive.rgb * texture(emissiveTexture, st).rgb;
#else
    s.emissive = emissive.rgb;
#endif
#ifdef OCCLUSION_TEXTURE
    s.occlusion = texture(occlusionTexture, st).r;
#else
    s.occlusion = 1.0;
#endif
    s.uv = uv;
    s.position = worldPosition;
#ifdef CUSTOM
    s.objectPosition = objectPosition;
#else
    s.objectPosition = vec3(0.0);
#endif
    s.custom = custom;

    vec3 n = normalize(worldNormal);
    if (!gl_FrontFacing) n = -n;
#ifdef NORMAL_MAP
    {
        vec3 t;
        vec3 b;
#ifdef TANGENTS
        {
            t = normalize(worldTangent.xyz - n * dot(n, worldTangent.xyz));
            b = cross(n, t) * (worldTangent.w < 0.0 ? -1.0 : 1.0);
        }
#else
        {
            // Tangent frame from screen-space derivatives (no tangents given).
            vec3 dp1 = dFdx(worldPosition);
            vec3 dp2 = dFdy(worldPosition);
            vec2 duv1 = dFdx(uv);
            vec2 duv2 = dFdy(uv);
            vec3 dp2perp = cross(dp2, n);
            vec3 dp1perp = cross(n, dp1);
            t = dp2perp * duv1.x + dp1perp * duv2.x;
            b = dp2perp * duv1.y + dp1perp * duv2.y;
            float invmax = inversesqrt(max(dot(t, t), dot(b, b)) + 1e-12);
            t *= invmax;
            b *= invmax;
        }
#endif
        vec3 m = texture(normalTexture, st).xyz * 2.0 - 1.0;
        n = normalize(t * m.x + b * m.y + n * m.z);
    }
#endif
    s.normal = n;

#ifdef CUSTOM
    gloamSurface(s);
#endif

    float alpha = flags.y > 0.5 ? clamp(s.opacity * emissive.w, 0.0, 1.0) : 1.0;
    vec3 color;
#ifdef UNLIT
    color = s.baseColor + s.emissive;
#ifdef RAW_COLOUR
    color = inverseToneMap(color);
#endif
#else
    n = normalize(s.normal);
    vec3 v = normalize(cameraPosition.xyz - worldPosition);
    float perceptualRoughness = clamp(s.roughness, 0.045, 1.0);
    float a = perceptualRoughness * perceptualRoughness;
    float metallic = clamp(s.metallic, 0.0, 1.0);
    vec3 diffuseColor = s.baseColor * (1.0 - metallic);
    vec3 f0 = 0.16 * s.specular * s.specular * (1.0 - metallic) + s.baseColor * metallic;

    color = vec3(0.0);
#ifdef SUN
    {
        vec3 l = -normalize(lightDirection.xyz);
#ifdef SUN_SHADOW
        color += brdf(n, v, l, diffuseColor, f0, a) * lightColor.rgb * shadowVisibility(worldPosition, n);
#else
        color += brdf(n, v, l, diffuseColor, f0, a) * lightColor.rgb;
#endif
    }
    // Directional lights beyond the main one, unshadowed. Their count is a
    // uniform, not a feature: a second set of programs for the frames that
    // have them would cost a software renderer megabytes of compiled code
    // per program, and an empty loop costs it next to nothing.
    for (int i = 0; i < int(environment.z); ++i) {
        color += brdf(n, v, -normalize(extraLightDirection[i].xyz), diffuseColor, f0, a) * extraLightColor[i].rgb;
    }
#endif
#ifdef POINT_LIGHTS
    // Only the lights whose reach meets this pixel's cluster.
    ivec2 tile = ivec2(gl_FragCoord.xy) / 32;
    float viewDepth = -(view * vec4(worldPosition, 1.0)).z;
    int slice = clamp(int(log(max(viewDepth, sliceNear) / sliceNear) * sliceScale), 0, depthSlices - 1);
    uint header = lightTiles[(tile.y * tileColumns + tile.x) * depthSlices + slice];
    int first = int(header >> 8u);
    int count = int(header & 255u);
    for (int i = 0; i < count; ++i) {
        int index = int(lightIndices[first + i]);
        color += pointLight(pointLights[2 * index], pointLights[2 * index + 1].rgb, worldPosition, n, v, diffuseColor,
                            f0, a);
    }
#endif
#if defined(DRAW_LIGHTS) && DRAW_LIGHTS > 0
    // The lights picked for this draw: a fixed count of uniform reads.
    for (int i = 0; i < DRAW_LIGHTS; ++i) {
        color += pointLight(drawLights[2 * i], drawLights[2 * i + 1].rgb, worldPosition, n, v, diffuseColor, f0, a);
    }
#endif
#ifdef ENVIRONMENT
    {
        float NoV = abs(dot(n, v)) + 1e-5;
        vec3 r = reflect(-v, n);
#ifdef GLOSSY_ENVIRONMENT
        float lod = perceptualRoughness * (shadowParameters.w - 1.0);
        vec3 prefiltered = textureLod(environmentMap, equirectangular(r), lod).rgb * environment.y;
#else
        // A rough surface sees the map at its blurriest levels: the
        // irradiance in the mirror direction stands in, with no fetch.
        vec3 prefiltered = environmentIrradiance(r);
#endif
        vec3 specularEnergy = environmentBrdf(f0, perceptualRoughness, NoV);
        vec3 diffuseLight = environmentIrradiance(n) * diffuseColor;
        color += (diffuseLight + prefiltered * specularEnergy) * s.occlusion;
    }
#endif
    color += s.emissive;
#endif
    fragColor = vec4(color * alpha, alpha);
}
)";
    return text;
}

std::string SceneShaders::shadowVertex(bool skinned)
{
    std::string text = "#version 450 core\n";
    if (skinned)
        text += "#define SKINNED 1\n";
    text += R"(
layout(location = 0) in vec3 inPosition;
layout(location = 4) in uvec4 inJoints;
layout(location = 5) in vec4 inWeights;
layout(location = 0) uniform mat4 lightModelViewProjection;
#ifdef SKINNED
layout(std430, binding = 4) readonly buffer Joints { mat4 joints[]; };
#endif
void main() {
    vec4 position = vec4(inPosition, 1.0);
#ifdef SKINNED
    mat4 skin = inWeights.x * joints[inJoints.x] + inWeights.y * joints[inJoints.y] +
                inWeights.z * joints[inJoints.z] + inWeights.w * joints[inJoints.w];
    if (dot(inWeights, vec4(1.0)) > 0.0) position = skin * position;
#endif
    gl_Position = lightModelViewProjection * position;
}
)";
    return text;
}

std::string SceneShaders::shadowFragment()
{
    return "#version 450 core\nvoid main() {}\n";
}

std::string SceneShaders::fullscreenVertex()
{
    return R"(#version 450 core
out vec2 uv;
void main() {
    vec2 p = vec2((gl_VertexID << 1) & 2, gl_VertexID & 2);
    uv = p;
    gl_Position = vec4(p * 2.0 - 1.0, 0.0, 1.0);
}
)";
}

std::string SceneShaders::presentFragment(bool scaled)
{
    std::string text = "#version 450 core\n";
    if (scaled)
        text += "#define SCALED 1\n";
    text += toneMapping;
    text += R"(
layout(binding = 0) uniform sampler2D hdr;
layout(location = 0) uniform vec2 texelSize;
layout(location = 1) uniform int flipY;
in vec2 uv;
out vec4 fragColor;

vec3 fetch(ivec2 p) { return texelFetch(hdr, clamp(p, ivec2(0), textureSize(hdr, 0) - 1), 0).rgb; }
// The picture around this pixel, `o` of its texels away: exact texels at
// full size; filtered (bilinear) when the picture is smaller than the
// output, which scales it up.
#ifdef SCALED
vec3 around(vec2 p, ivec2 o) { return textureLod(hdr, p + vec2(o) * texelSize, 0.0).rgb; }
#else
vec3 around(vec2 p, ivec2 o) { return fetch(ivec2(gl_FragCoord.xy) + o); }
#endif
// Edges are found on display-like brightness (HDR clamped to white).
float luma(vec3 c) { return dot(min(c, vec3(1.0)), vec3(0.299, 0.587, 0.114)); }

// FXAA (Lottes), reduced for software rasterisers, which pay for every
// branch: the edge direction from the four diagonal neighbours, then two
// filtered taps along the edge; flat areas keep their own colour. Blending
// happens in linear HDR, tone mapping once afterwards.
vec3 antialiased(vec2 p) {
#ifdef SCALED
    // Scaled up: the bilinear filter softens the edges already, and each
    // fetch of a full-size pass is dear on a software GPU.
    return around(p, ivec2(0));
#endif
    vec3 rgbM = around(p, ivec2(0));
    float lumaNW = luma(around(p, ivec2(-1, 1)));
    float lumaNE = luma(around(p, ivec2(1, 1)));
    float lumaSW = luma(around(p, ivec2(-1, -1)));
    float lumaSE = luma(around(p, ivec2(1, -1)));
    float lumaM = luma(rgbM);
    float lumaMin = min(lumaM, min(min(lumaNW, lumaNE), min(lumaSW, lumaSE)));
    float lumaMax = max(lumaM, max(max(lumaNW, lumaNE), max(lumaSW, lumaSE)));
    vec2 dir = vec2(-((lumaNW + lumaNE) - (lumaSW + lumaSE)), (lumaNW + lumaSW) - (lumaNE + lumaSE));
    float reduce = max((lumaNW + lumaNE + lumaSW + lumaSE) * 0.25 * 0.125, 1.0 / 128.0);
    float scale = 1.0 / (min(abs(dir.x), abs(dir.y)) + reduce);
    dir = clamp(dir * scale, vec2(-8.0), vec2(8.0)) * texelSize;
    vec3 a = 0.5 * (textureLod(hdr, p + dir * (1.0 / 3.0 - 0.5), 0.0).rgb +
                    textureLod(hdr, p + dir * (2.0 / 3.0 - 0.5), 0.0).rgb);
    float lumaA = luma(a);
    bool edge = lumaMax - lumaMin >= max(0.0312, lumaMax * 0.125);
    return edge && lumaA >= lumaMin && lumaA <= lumaMax ? a : rgbM;
}

vec3 encodeSrgb(vec3 c) {
    return mix(c * 12.92, 1.055 * pow(c, vec3(1.0 / 2.4)) - 0.055, step(vec3(0.0031308), c));
}

void main() {
    vec2 p = flipY == 1 ? vec2(uv.x, 1.0 - uv.y) : uv;
    vec3 c = encodeSrgb(toneMap(antialiased(p)));
    // Half a code value of ordered noise against banding in dark gradients.
    ivec2 cell = ivec2(gl_FragCoord.xy) & 3;
    const float bayer[16] = float[16](0.0, 8.0, 2.0, 10.0, 12.0, 4.0, 14.0, 6.0, 3.0, 11.0, 1.0, 9.0, 15.0, 7.0, 13.0, 5.0);
    float noise = (bayer[cell.y * 4 + cell.x] + 0.5) / 16.0 - 0.5;
    fragColor = vec4(c + noise / 255.0, 1.0);
}
)";
    return text;
}

std::string SceneShaders::overlayVertex()
{
    return R"(#version 450 core
layout(location = 0) uniform vec4 rectangle;  // x0, y0, x1, y1 in clip space
out vec2 uv;
void main() {
    vec2 p = vec2((gl_VertexID & 1) == 1 ? 1.0 : 0.0, gl_VertexID >= 2 ? 1.0 : 0.0);
    uv = vec2(p.x, 1.0 - p.y);
    gl_Position = vec4(mix(rectangle.xy, rectangle.zw, p), 0.0, 1.0);
}
)";
}

std::string SceneShaders::overlayFragment()
{
    return R"(#version 450 core
layout(binding = 0) uniform sampler2D picture;  // premultiplied RGBA, display-encoded
in vec2 uv;
out vec4 fragColor;
void main() { fragColor = texture(picture, uv); }
)";
}

} // namespace gloam::render
