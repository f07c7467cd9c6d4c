#include "platform/render/Renderer.h"

#include "platform/gpu/CommandBuffer.h"
#include "platform/gpu/GlProgram.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuError.h"
#include "platform/gpu/GpuTexture.h"
#include "platform/gpu/ShaderLibrary.h"
#include "platform/render/EnvironmentLight.h"
#include "platform/render/GpuResourceCache.h"
#include "platform/render/OverlayPainter.h"
#include "platform/render/Photometry.h"
#include "platform/render/PrimitiveMeshes.h"
#include "platform/render/SceneShaders.h"
#include "platform/render/StillShadowCasters.h"

#include <epoxy/gl.h>
#include <glm/gtc/matrix_inverse.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <stdexcept>

namespace gloam::render {

namespace {

struct FrameBlock {
    glm::mat4 view;
    glm::mat4 projection;
    glm::mat4 viewProjection;
    glm::mat4 shadowMatrix;
    glm::vec4 cameraPosition;
    glm::vec4 lightDirection;
    glm::vec4 lightColor;
    glm::vec4 shadowParameters;
    glm::vec4 environment;
    glm::vec4 irradiance[9];
    // The directional lights beyond the first, unshadowed: direction and
    // colour × lux × exposure; their count is `environment.z`.
    glm::vec4 extraLightDirection[Renderer::maxExtraDirectionalLights];
    glm::vec4 extraLightColor[Renderer::maxExtraDirectionalLights];
};

struct DrawBlock {
    glm::mat4 model;
    glm::mat4 normalMatrix;
    glm::vec4 baseColor;
    glm::vec4 emissive;
    glm::vec4 material;
    glm::vec4 custom;
    glm::vec4 flags;
    glm::vec4 textures;
    // The point lights that reach this draw (software tier): position and
    // radius, colour × candela × exposure.
    glm::vec4 lights[2 * Renderer::maxDrawLights];
};

// A bounding sphere against the six planes of a (perspective or
// orthographic) clip matrix: false when it lies wholly outside one.
struct Frustum {
    glm::vec4 planes[6];

    explicit Frustum(const glm::mat4& m)
    {
        const glm::mat4 t = glm::transpose(m);
        planes[0] = t[3] + t[0];
        planes[1] = t[3] - t[0];
        planes[2] = t[3] + t[1];
        planes[3] = t[3] - t[1];
        planes[4] = t[3] + t[2];
        planes[5] = t[3] - t[2];
        for (auto& plane : planes)
            plane /= std::max(glm::length(glm::vec3(plane)), 1e-12f);
    }

    bool touches(const glm::vec3& centre, float radius) const
    {
        for (const auto& plane : planes) {
            if (glm::dot(glm::vec3(plane), centre) + plane.w < -radius)
                return false;
        }
        return true;
    }
};

// The world-space bounding sphere of a draw. Skinned meshes move away from
// their bind-pose bounds, so they are never culled (radius infinite).
void worldSphere(const DrawItem& item, glm::vec3& centre, float& radius)
{
    const glm::vec3 low = item.mesh->boundsMin, high = item.mesh->boundsMax;
    centre = glm::vec3(item.world * glm::vec4((low + high) * 0.5f, 1.0f));
    const float scale = std::max({glm::length(glm::vec3(item.world[0])), glm::length(glm::vec3(item.world[1])),
                                  glm::length(glm::vec3(item.world[2]))});
    radius =
        item.jointMatrices.empty() ? glm::length(high - low) * 0.5f * scale : std::numeric_limits<float>::infinity();
}

// The world-space sphere around a box of a mesh's own coordinates.
void boxSphere(const glm::mat4& world, const glm::vec3& low, const glm::vec3& high, glm::vec3& centre, float& radius)
{
    centre = glm::vec3(world * glm::vec4((low + high) * 0.5f, 1.0f));
    const float scale = std::max(
        {glm::length(glm::vec3(world[0])), glm::length(glm::vec3(world[1])), glm::length(glm::vec3(world[2]))});
    radius = glm::length(high - low) * 0.5f * scale;
}

// A world-space sphere around every point a draw may shade. A skinned
// mesh's vertices are blends of its bind-pose points carried by each joint
// (or left alone), so the sphere around the bind-pose sphere's image under
// every joint holds them all.
void lightingSphere(const DrawItem& item, glm::vec3& centre, float& radius)
{
    const glm::vec3 low = item.mesh->boundsMin, high = item.mesh->boundsMax;
    const glm::vec3 middle = (low + high) * 0.5f;
    const float reach = glm::length(high - low) * 0.5f;
    auto scaleOf = [](const glm::mat4& m) {
        return std::max({glm::length(glm::vec3(m[0])), glm::length(glm::vec3(m[1])), glm::length(glm::vec3(m[2]))});
    };
    if (item.jointMatrices.empty()) {
        centre = glm::vec3(item.world * glm::vec4(middle, 1.0f));
        radius = reach * scaleOf(item.world);
        return;
    }
    std::vector<std::pair<glm::vec3, float>> spheres{{middle, reach}};
    for (const glm::mat4& joint : item.jointMatrices)
        spheres.emplace_back(glm::vec3(joint * glm::vec4(middle, 1.0f)), reach * scaleOf(joint));
    glm::vec3 mean(0.0f);
    for (const auto& sphere : spheres)
        mean += sphere.first / static_cast<float>(spheres.size());
    float modelRadius = 0.0f;
    for (const auto& sphere : spheres)
        modelRadius = std::max(modelRadius, glm::length(sphere.first - mean) + sphere.second);
    centre = glm::vec3(item.world * glm::vec4(mean, 1.0f));
    radius = modelRadius * scaleOf(item.world);
}

void checkFramebuffer(unsigned framebuffer, const char* what)
{
    const GLenum status = glCheckNamedFramebufferStatus(framebuffer, GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%04X", status);
        throw std::runtime_error(std::string("The ") + what + " framebuffer is not complete (status " + code + ").");
    }
}

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

double nowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// A light-space box around the part of the camera's view that gets
// shadows, snapped to whole shadow texels so edges do not crawl as the
// camera moves.
glm::mat4 fitShadow(const CameraRecord& camera, float aspect, const DirectionalLightRecord& light, int size)
{
    const float nearPlane = camera.nearPlane;
    const float farPlane = std::max(nearPlane + 0.01f, std::min(camera.farPlane, light.shadowMaximumDistance));
    const float t = std::tan(camera.verticalFieldOfView * 0.5f);
    glm::vec3 corners[8];
    int k = 0;
    for (float d : {nearPlane, farPlane}) {
        for (float sy : {-1.0f, 1.0f}) {
            for (float sx : {-1.0f, 1.0f}) {
                corners[k++] = glm::vec3(camera.world * glm::vec4(sx * t * aspect * d, sy * t * d, -d, 1.0f));
            }
        }
    }
    glm::vec3 centre(0.0f);
    for (const auto& c : corners)
        centre += c / 8.0f;
    float radius = 0.0f;
    for (const auto& c : corners)
        radius = std::max(radius, glm::length(c - centre));
    radius = std::ceil(radius * 16.0f) / 16.0f;

    glm::vec3 direction = glm::normalize(light.direction);
    glm::vec3 up = std::abs(direction.y) > 0.99f ? glm::vec3(0, 0, 1) : glm::vec3(0, 1, 0);
    glm::mat4 view = glm::lookAt(glm::vec3(0.0f), direction, up);
    // Snap the centre to texels in light space.
    glm::vec3 lightCentre = glm::vec3(view * glm::vec4(centre, 1.0f));
    const float texel = 2.0f * radius / static_cast<float>(size);
    lightCentre.x = std::floor(lightCentre.x / texel) * texel;
    lightCentre.y = std::floor(lightCentre.y / texel) * texel;
    // Casters up to 100 m towards the light still throw their shadow in.
    const float backReach = 100.0f;
    glm::mat4 projection =
        glm::ortho(lightCentre.x - radius, lightCentre.x + radius, lightCentre.y - radius, lightCentre.y + radius,
                   -lightCentre.z - radius - backReach, -lightCentre.z + radius);
    return projection * view;
}

} // namespace

struct Renderer::DrawProgram {
    gpu::GlProgram program;
    bool failed = false;
};

Renderer::Renderer(std::shared_ptr<gpu::GpuDevice> device)
    : device_(std::move(device))
    , resources_(std::make_unique<GpuResourceCache>())
    , overlay_(std::make_unique<OverlayPainter>())
{
    glCreateVertexArrays(1, &emptyVertexArray_);
    glCreateBuffers(1, &pointLightBuffer_);
    glCreateBuffers(1, &jointBuffer_);
    glCreateBuffers(1, &lightTileBuffer_);
    glCreateBuffers(1, &lightIndexBuffer_);
    glCreateBuffers(drawBlockBufferCount, drawBlockBuffers_);
    {
        GLint alignment = 256;
        glGetIntegerv(GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, &alignment);
        const std::size_t a = static_cast<std::size_t>(std::max(alignment, 1));
        drawBlockStride_ = (sizeof(DrawBlock) + a - 1) / a * a;
    }
    glCreateFramebuffers(1, &sceneFramebuffer_);
    glCreateFramebuffers(1, &shadowFramebuffer_);
    glCreateFramebuffers(1, &keptShadowFramebuffer_);
    glCreateFramebuffers(1, &displayFramebuffer_);
    standInMesh_ = PrimitiveMeshes::octahedron();
    setQualityTier(RenderQuality::choose(device_->rendererName()));
}

void Renderer::makeShadowMap(int size)
{
    if (shadowMap_ != 0 && size == shadowSize_)
        return;
    if (shadowMap_ != 0) {
        glDeleteTextures(1, &shadowMap_);
        glDeleteTextures(1, &keptShadowMap_);
    }
    shadowSize_ = size;
    stillCasters_.forget();
    for (auto [texture, framebuffer, name] : {std::tuple{&shadowMap_, shadowFramebuffer_, "shadow map"},
                                              std::tuple{&keptShadowMap_, keptShadowFramebuffer_, "kept shadow map"}}) {
        glCreateTextures(GL_TEXTURE_2D, 1, texture);
        glTextureStorage2D(*texture, 1, GL_DEPTH_COMPONENT32F, shadowSize_, shadowSize_);
        glTextureParameteri(*texture, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTextureParameteri(*texture, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTextureParameteri(*texture, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTextureParameteri(*texture, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTextureParameteri(*texture, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
        glTextureParameteri(*texture, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
        glNamedFramebufferTexture(framebuffer, GL_DEPTH_ATTACHMENT, *texture, 0);
        glNamedFramebufferDrawBuffer(framebuffer, GL_NONE);
        checkFramebuffer(framebuffer, name);
    }
    sampledShadowMap_ = shadowMap_;
}

void Renderer::setQualityTier(QualityTier tier)
{
    setQuality(RenderQuality::of(tier));
}

void Renderer::setQuality(const RenderQuality& quality)
{
    quality_ = quality;
    makeShadowMap(quality_.shadowMapSize);
    resources_->setMaxAnisotropy(quality_.maxAnisotropy);
    resources_->setLighterMeshes(quality_.lighterMeshes);
    resolution_.setEnabled(quality_.dynamicResolution);
    resolution_.setBudget(quality_.minimumFrameInterval);
}

Renderer::~Renderer()
{
    device_->waitUntilIdle();
    programs_.clear();
    resources_.reset();
    overlay_.reset();
    glDeleteVertexArrays(1, &emptyVertexArray_);
    glDeleteBuffers(1, &pointLightBuffer_);
    glDeleteBuffers(1, &jointBuffer_);
    glDeleteBuffers(1, &lightTileBuffer_);
    glDeleteBuffers(1, &lightIndexBuffer_);
    glDeleteBuffers(drawBlockBufferCount, drawBlockBuffers_);
    glDeleteFramebuffers(1, &sceneFramebuffer_);
    glDeleteFramebuffers(1, &shadowFramebuffer_);
    glDeleteFramebuffers(1, &keptShadowFramebuffer_);
    glDeleteFramebuffers(1, &displayFramebuffer_);
    if (displayTexture_ != 0)
        glDeleteTextures(1, &displayTexture_);
    glDeleteTextures(1, &shadowMap_);
    glDeleteTextures(1, &keptShadowMap_);
}

glm::mat4 Renderer::projection(const CameraRecord& camera, float aspect)
{
    return glm::perspective(camera.verticalFieldOfView, aspect, camera.nearPlane, camera.farPlane);
}

void Renderer::ensureTargets(int width, int height)
{
    if (sceneColor_ && sceneColor_->width() == width && sceneColor_->height() == height)
        return;
    using gpu::PixelFormat;
    using gpu::TextureKind;
    sceneColor_ =
        device_->makeTexture({TextureKind::texture2D, PixelFormat::rgba16Float, width, height, 1, "scene colour"});
    sceneDepth_ =
        device_->makeTexture({TextureKind::texture2D, PixelFormat::depth32Float, width, height, 1, "scene depth"});
    postTarget_ =
        device_->makeTexture({TextureKind::texture2D, PixelFormat::rgba16Float, width, height, 1, "post target"});
    glNamedFramebufferTexture(sceneFramebuffer_, GL_COLOR_ATTACHMENT0, sceneColor_->glName(), 0);
    glNamedFramebufferTexture(sceneFramebuffer_, GL_DEPTH_ATTACHMENT, sceneDepth_->glName(), 0);
    try {
        checkFramebuffer(sceneFramebuffer_, "scene");
    } catch (...) {
        // Made again, and checked again, by the next frame.
        sceneColor_.reset();
        sceneDepth_.reset();
        postTarget_.reset();
        throw;
    }
}

const Renderer::DrawProgram& Renderer::drawProgram(std::uint32_t features, bool skinned, const MaterialValues& material)
{
    std::string surfaceKey;
    std::string surface;
    if (material.model == MaterialValues::Model::custom && material.surfaceLibrary) {
        surfaceKey = material.surfaceLibrary->name() + "/" + material.surfaceFunction + "/" +
                     std::to_string(reinterpret_cast<std::uintptr_t>(material.surfaceLibrary.get()));
    }
    auto key = std::make_tuple(features, skinned, surfaceKey);
    auto found = programs_.find(key);
    if (found != programs_.end())
        return *found->second;
    auto entry = std::make_unique<DrawProgram>();
    try {
        if (!surfaceKey.empty())
            surface = material.surfaceLibrary->surfaceSource(material.surfaceFunction);
        entry->program = gpu::GlProgram(surfaceKey.empty() ? "scene" : "scene+" + material.surfaceFunction,
                                        {{GL_VERTEX_SHADER, SceneShaders::sceneVertex(skinned)},
                                         {GL_FRAGMENT_SHADER, SceneShaders::sceneFragment(features, surface)}});
    } catch (const gpu::GpuError& error) {
        // A broken surface function draws with the base material instead;
        // said once, not every frame.
        std::fprintf(stderr, "render: custom material drawn as its base, %s\n", error.what());
        entry->failed = true;
        if (!surfaceKey.empty()) {
            entry->program = gpu::GlProgram("scene", {{GL_VERTEX_SHADER, SceneShaders::sceneVertex(skinned)},
                                                      {GL_FRAGMENT_SHADER, SceneShaders::sceneFragment(features, {})}});
        }
    }
    return *(programs_[key] = std::move(entry));
}

void Renderer::mark(double& stage, double& cpuStage)
{
    if (!measuring_)
        return;
    glFinish();
    const double now = nowMs();
    stage = now - stageStart_;
    stageStart_ = now;
    const double cpu = cpuMs();
    cpuStage = cpu - stageCpuStart_;
    stageCpuStart_ = cpu;
}

namespace {

// What decides a caster's shadow: its mesh, where it stands and how opaque
// it is. Skinned casters move with their joints: 0, never kept.
std::uint64_t casterKey(const DrawItem& item)
{
    if (!item.jointMatrices.empty())
        return 0;
    std::uint64_t hash = 1469598103934665603ull;
    auto add = [&hash](const void* bytes, std::size_t size) {
        const auto* p = static_cast<const unsigned char*>(bytes);
        for (std::size_t i = 0; i < size; ++i)
            hash = (hash ^ p[i]) * 1099511628211ull;
    };
    add(&item.mesh->id, sizeof item.mesh->id);
    add(glm::value_ptr(item.world), sizeof(float) * 16);
    add(&item.opacity, sizeof item.opacity);
    add(&item.material.opacity, sizeof item.material.opacity);
    add(&item.material.baseColor.a, sizeof item.material.baseColor.a);
    return hash == 0 ? 1 : hash;
}

std::uint64_t lightKey(const glm::mat4& lightMatrix, float depthBias, int size)
{
    std::uint64_t hash = 1469598103934665603ull;
    auto add = [&hash](const void* bytes, std::size_t count) {
        const auto* p = static_cast<const unsigned char*>(bytes);
        for (std::size_t i = 0; i < count; ++i)
            hash = (hash ^ p[i]) * 1099511628211ull;
    };
    add(glm::value_ptr(lightMatrix), sizeof(float) * 16);
    add(&depthBias, sizeof depthBias);
    add(&size, sizeof size);
    return hash;
}

} // namespace

void Renderer::renderShadow(const FramePacket& packet, const glm::mat4& lightMatrix, float depthBias)
{
    // Casters outside the light's box throw no shadow into the view.
    const Frustum box(lightMatrix);
    std::vector<const DrawItem*> casters;
    std::vector<std::uint64_t> keys;
    for (const DrawItem& item : packet.draws) {
        if (!item.castsShadow || !item.mesh || item.opacity <= 0.0f || item.mesh->positions.empty())
            continue;
        if (item.material.transparent && item.material.opacity * item.material.baseColor.a < 0.5f)
            continue;
        glm::vec3 centre;
        float radius = 0.0f;
        worldSphere(item, centre, radius);
        if (!box.touches(centre, radius)) {
            ++counts_.shadowCulled;
            continue;
        }
        ++counts_.shadowCasters;
        casters.push_back(&item);
        keys.push_back(quality_.keepStillShadows ? casterKey(item) : 0);
    }
    // The still casters' map is kept from frame to frame; the moving ones
    // are drawn over a copy of it.
    const StillShadowCasters::Plan plan = stillCasters_.plan(lightKey(lightMatrix, depthBias, shadowSize_), keys);
    std::vector<const DrawItem*> kept, moving;
    for (std::size_t i = 0; i < casters.size(); ++i)
        (plan.kept[i] ? kept : moving).push_back(casters[i]);
    if (plan.redrawKept && plan.anyKept)
        drawShadowCasters(kept, lightMatrix, depthBias, keptShadowFramebuffer_);
    counts_.shadowKept = plan.redrawKept ? 0 : static_cast<int>(kept.size());
    if (plan.anyKept && moving.empty()) {
        sampledShadowMap_ = keptShadowMap_;
        return;
    }
    if (plan.anyKept)
        glCopyImageSubData(keptShadowMap_, GL_TEXTURE_2D, 0, 0, 0, 0, shadowMap_, GL_TEXTURE_2D, 0, 0, 0, 0,
                           shadowSize_, shadowSize_, 1);
    drawShadowCasters(moving, lightMatrix, depthBias, shadowFramebuffer_, !plan.anyKept);
    sampledShadowMap_ = shadowMap_;
}

void Renderer::drawShadowCasters(const std::vector<const DrawItem*>& casters, const glm::mat4& lightMatrix,
                                 float depthBias, unsigned framebuffer, bool clear)
{
    const auto& shadowProgram = device_->cachedProgram("gloam.shadow", [] {
        return gpu::GlProgram("shadow", {{GL_VERTEX_SHADER, SceneShaders::shadowVertex(false)},
                                         {GL_FRAGMENT_SHADER, SceneShaders::shadowFragment()}});
    });
    const auto& skinnedShadowProgram = device_->cachedProgram("gloam.shadow.skinned", [] {
        return gpu::GlProgram("shadow skinned", {{GL_VERTEX_SHADER, SceneShaders::shadowVertex(true)},
                                                 {GL_FRAGMENT_SHADER, SceneShaders::shadowFragment()}});
    });
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, shadowSize_, shadowSize_);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LESS);
    if (clear)
        glClear(GL_DEPTH_BUFFER_BIT);
    glDisable(GL_CULL_FACE); // thin and open meshes still cast
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(1.5f * depthBias, 2.0f * depthBias);
    for (const DrawItem* caster : casters) {
        const DrawItem& item = *caster;
        const auto& mesh = resources_->mesh(item.mesh);
        const auto& triangles = mesh.triangles(quality_.lighterMeshes);
        if (triangles.indexCount == 0)
            continue;
        const bool skinned = mesh.skinned && !item.jointMatrices.empty();
        const auto& program = skinned ? skinnedShadowProgram : shadowProgram;
        glUseProgram(program.id());
        if (skinned) {
            glNamedBufferData(jointBuffer_, static_cast<GLsizeiptr>(item.jointMatrices.size() * sizeof(glm::mat4)),
                              item.jointMatrices.data(), GL_STREAM_DRAW);
            glBindBufferBase(GL_SHADER_STORAGE_BUFFER, 4, jointBuffer_);
        }
        counts_.shadowTriangles += triangles.indexCount / 3;
        const glm::mat4 mvp = lightMatrix * item.world;
        glUniformMatrix4fv(0, 1, GL_FALSE, glm::value_ptr(mvp));
        glBindVertexArray(mesh.vertexArray);
        glDrawElements(
            GL_TRIANGLES, triangles.indexCount, GL_UNSIGNED_INT,
            reinterpret_cast<const void*>(static_cast<std::uintptr_t>(triangles.firstIndex) * sizeof(std::uint32_t)));
    }
    glDisable(GL_POLYGON_OFFSET_FILL);
}

namespace {

DrawBlock drawBlock(const DrawItem& item, bool transparent, bool hasTangents)
{
    const MaterialValues& m = item.material;
    DrawBlock block{};
    block.model = item.world;
    block.normalMatrix = glm::mat4(glm::inverseTranspose(glm::mat3(item.world)));
    block.baseColor = m.baseColor;
    block.emissive = glm::vec4(m.emissiveColor * m.emissiveIntensity, item.opacity);
    block.material = glm::vec4(m.roughness, m.metallic, m.specular, hasTangents ? 1.0f : 0.0f);
    block.custom = m.customValue;
    block.flags = glm::vec4(m.toneMapped ? 1.0f : 0.0f, transparent ? 1.0f : 0.0f, m.transparent ? m.opacity : 1.0f,
                            m.normalTexture ? 1.0f : 0.0f);
    block.textures = glm::vec4(m.baseColorTexture ? 1.0f : 0.0f, m.roughnessMetallicTexture ? 1.0f : 0.0f,
                               m.emissiveTexture ? 1.0f : 0.0f, m.occlusionTexture ? 1.0f : 0.0f);
    return block;
}

} // namespace

int Renderer::pickDrawLights(const glm::vec3& centre, float radius, glm::vec4* chosen) const
{
    int count = 0;
    for (std::size_t i = 0; i + 1 < frameLights_.size(); i += 2) {
        const glm::vec4& light = frameLights_[i];
        if (!(light.w > 0.0f) || glm::length(glm::vec3(light) - centre) >= light.w + radius)
            continue;
        if (count == maxDrawLights)
            return -1;
        chosen[2 * count] = light;
        chosen[2 * count + 1] = frameLights_[i + 1];
        ++count;
    }
    return count;
}

const DrawItem& Renderer::standInFor(const DrawItem& item)
{
    // The octahedron fills the mesh's bounds; it keeps the material.
    DrawItem& standIn = standIns_.emplace_back();
    standIn.material = item.material;
    standIn.opacity = item.opacity;
    standIn.castsShadow = false;
    standIn.mesh = standInMesh_;
    const glm::vec3 low = item.mesh->boundsMin, high = item.mesh->boundsMax;
    standIn.world = item.world * glm::translate(glm::mat4(1.0f), (low + high) * 0.5f) *
                    glm::scale(glm::mat4(1.0f), glm::max((high - low) * 0.5f, glm::vec3(1e-6f)));
    return standIn;
}

void Renderer::uploadDrawBlocks(const std::vector<PassDraw>& draws, bool transparent)
{
    drawBlockStaging_.assign(std::max<std::size_t>(draws.size(), 1) * drawBlockStride_, 0);
    drawLightCounts_.assign(draws.size(), -1);
    for (std::size_t i = 0; i < draws.size(); ++i) {
        const DrawItem& item = *draws[i].item;
        const auto& mesh = resources_->mesh(item.mesh);
        DrawBlock block = drawBlock(item, transparent, mesh.hasTangents);
        if (quality_.perDrawLights && (frameFeatures_ & SceneShaders::pointLights) != 0)
            drawLightCounts_[i] = pickDrawLights(draws[i].centre, draws[i].radius, block.lights);
        std::memcpy(drawBlockStaging_.data() + i * drawBlockStride_, &block, sizeof block);
    }
    drawBlockRing_ = (drawBlockRing_ + 1) % drawBlockBufferCount;
    glNamedBufferData(drawBlockBuffers_[drawBlockRing_], static_cast<GLsizeiptr>(drawBlockStaging_.size()),
                      drawBlockStaging_.data(), GL_STREAM_DRAW);
}

void Renderer::setDrawState(const DrawItem& item)
{
    const MaterialValues& m = item.material;
    if (!item.jointMatrices.empty()) {
        glNamedBufferData(jointBuffer_, static_cast<GLsizeiptr>(item.jointMatrices.size() * sizeof(glm::mat4)),
                          item.jointMatrices.data(), GL_STREAM_DRAW);
        glBindBufferBase(GL_SHADER_STORAGE_BUFFER, 4, jointBuffer_);
    }
    if (m.faceCulling == FaceCulling::none) {
        glDisable(GL_CULL_FACE);
    } else {
        glEnable(GL_CULL_FACE);
        glCullFace(m.faceCulling == FaceCulling::back ? GL_BACK : GL_FRONT);
    }
}

void Renderer::drawItems(const std::vector<PassDraw>& draws, bool transparent)
{
    if (transparent) {
        glEnable(GL_BLEND);
        glBlendFuncSeparate(GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    } else {
        glDisable(GL_BLEND);
    }
    // Every draw's block goes up in one buffer before the pass. Rewriting
    // one small buffer per draw made a software rasteriser finish all work
    // queued so far before each draw (the buffer was still in use), which
    // cost more than the drawing itself.
    uploadDrawBlocks(draws, transparent);
    for (std::size_t index = 0; index < draws.size(); ++index) {
        const DrawItem* item = draws[index].item;
        const MaterialValues& m = item->material;
        const auto& mesh = resources_->mesh(item->mesh);
        const auto& triangles = mesh.triangles(quality_.lighterMeshes);
        if (triangles.indexCount == 0)
            continue;
        const bool skinned = mesh.skinned && !item->jointMatrices.empty();
        const bool unlit =
            m.model == MaterialValues::Model::unlit || (m.model == MaterialValues::Model::custom && !m.customLit);
        using F = SceneShaders::Feature;
        std::uint32_t features = 0;
        if (unlit) {
            features |= F::unlit | (m.toneMapped ? 0u : F::rawColour);
        } else {
            features |= frameFeatures_;
            if (m.roughnessMetallicTexture)
                features |= F::roughnessTexture;
            if (m.occlusionTexture)
                features |= F::occlusionTexture;
            if (m.normalTexture)
                features |= F::normalMap | (mesh.hasTangents ? F::tangents : 0u);
            const bool glossy =
                m.roughness < 0.6f || m.roughnessMetallicTexture || m.model == MaterialValues::Model::custom;
            if ((frameFeatures_ & F::environment) && glossy)
                features |= F::glossyEnvironment;
            // The lights picked for this draw, looped over a fixed count
            // (none: no point-light code at all); too many: the clusters.
            if (drawLightCounts_[index] >= 0)
                features = (features & ~F::pointLights) | SceneShaders::drawLights(drawLightCounts_[index]);
        }
        if (m.baseColorTexture)
            features |= F::baseTexture;
        if (m.emissiveTexture)
            features |= F::emissiveTexture;
        const DrawProgram& program = drawProgram(features, skinned, m);
        if (!program.program)
            continue;
        glUseProgram(program.program.id());
        glBindBufferRange(GL_UNIFORM_BUFFER, 3, drawBlockBuffers_[drawBlockRing_],
                          static_cast<GLintptr>(index * drawBlockStride_), sizeof(DrawBlock));
        setDrawState(*item);
        using Fallback = GpuResourceCache::Fallback;
        glBindTextureUnit(0, resources_->texture(m.baseColorTexture));
        glBindTextureUnit(1, resources_->texture(m.normalTexture, Fallback::flatNormal));
        glBindTextureUnit(2, resources_->texture(m.roughnessMetallicTexture));
        glBindTextureUnit(3, resources_->texture(m.emissiveTexture));
        glBindTextureUnit(4, resources_->texture(m.occlusionTexture));
        glBindTextureUnit(5, resources_->texture(m.customTexture));
        glDepthMask(m.writesDepth && !transparent ? GL_TRUE : GL_FALSE);
        const int first = draws[index].indexCount < 0 ? triangles.firstIndex : draws[index].firstIndex;
        const int count = draws[index].indexCount < 0 ? triangles.indexCount : draws[index].indexCount;
        counts_.triangles += count / 3;
        ++counts_.drawn;
        glBindVertexArray(mesh.vertexArray);
        glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT,
                       reinterpret_cast<const void*>(static_cast<std::uintptr_t>(first) * sizeof(std::uint32_t)));
    }
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
}

void Renderer::buildLightTiles(const std::vector<glm::vec4>& lights, const glm::mat4& view,
                               const glm::mat4& viewProjection, const CameraRecord& camera, int width, int height)
{
    constexpr int tile = 32;
    constexpr int slices = 16;
    const int columns = (width + tile - 1) / tile;
    const int rows = (height + tile - 1) / tile;
    const float nearPlane = std::max(camera.nearPlane, 1e-3f);
    const float sliceScale = static_cast<float>(slices) / std::log(std::max(camera.farPlane / nearPlane, 1.0001f));
    auto sliceOf = [&](float depth) {
        return std::clamp(static_cast<int>(std::log(std::max(depth, nearPlane) / nearPlane) * sliceScale), 0,
                          slices - 1);
    };
    std::vector<std::vector<std::uint32_t>> perTile(static_cast<size_t>(columns * rows * slices));
    const size_t count = lights.size() / 2;
    for (size_t i = 0; i < count; ++i) {
        const glm::vec3 centre(lights[2 * i]);
        const float radius = lights[2 * i].w;
        if (radius <= 0.0f)
            continue;
        // The screen rectangle of the light's reach: its bounding box's
        // corners projected; a box reaching behind the camera covers all.
        glm::vec2 low(1e9f), high(-1e9f);
        bool everywhere = false;
        for (int corner = 0; corner < 8 && !everywhere; ++corner) {
            const glm::vec3 offset((corner & 1) ? radius : -radius, (corner & 2) ? radius : -radius,
                                   (corner & 4) ? radius : -radius);
            const glm::vec4 clip = viewProjection * glm::vec4(centre + offset, 1.0f);
            if (clip.w <= 1e-4f) {
                everywhere = true;
                break;
            }
            const glm::vec2 ndc = glm::vec2(clip) / clip.w;
            low = glm::min(low, ndc);
            high = glm::max(high, ndc);
        }
        int x0 = 0, y0 = 0, x1 = columns - 1, y1 = rows - 1;
        if (!everywhere) {
            if (high.x < -1.0f || high.y < -1.0f || low.x > 1.0f || low.y > 1.0f)
                continue;
            auto toTile = [](float ndc, int pixels) {
                return static_cast<int>(std::floor((ndc * 0.5f + 0.5f) * static_cast<float>(pixels) / tile));
            };
            x0 = std::clamp(toTile(low.x, width), 0, columns - 1);
            x1 = std::clamp(toTile(high.x, width), 0, columns - 1);
            y0 = std::clamp(toTile(low.y, height), 0, rows - 1);
            y1 = std::clamp(toTile(high.y, height), 0, rows - 1);
        }
        const float depth = -(view * glm::vec4(centre, 1.0f)).z;
        if (depth + radius < nearPlane)
            continue;
        const int s0 = sliceOf(depth - radius), s1 = sliceOf(depth + radius);
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                for (int z = s0; z <= s1; ++z) {
                    auto& list = perTile[static_cast<size_t>((y * columns + x) * slices + z)];
                    if (list.size() < 255)
                        list.push_back(static_cast<std::uint32_t>(i));
                }
            }
        }
    }
    std::vector<std::uint32_t> headers(4 + perTile.size());
    std::vector<std::uint32_t> indices;
    headers[0] = static_cast<std::uint32_t>(columns);
    headers[1] = static_cast<std::uint32_t>(slices);
    std::memcpy(&headers[2], &nearPlane, sizeof(float));
    std::memcpy(&headers[3], &sliceScale, sizeof(float));
    for (size_t t = 0; t < perTile.size(); ++t) {
        headers[4 + t] =
            (static_cast<std::uint32_t>(indices.size()) << 8) | static_cast<std::uint32_t>(perTile[t].size());
        indices.insert(indices.end(), perTile[t].begin(), perTile[t].end());
    }
    if (indices.empty())
        indices.push_back(0);
    glNamedBufferData(lightTileBuffer_, static_cast<GLsizeiptr>(headers.size() * sizeof(std::uint32_t)), headers.data(),
                      GL_STREAM_DRAW);
    glNamedBufferData(lightIndexBuffer_, static_cast<GLsizeiptr>(indices.size() * sizeof(std::uint32_t)),
                      indices.data(), GL_STREAM_DRAW);
}

void Renderer::render(const FramePacket& packet, const Output& output)
{
    ++frameNumber_;
    device_->pollCompletions();
    const int outputWidth = std::max(output.width, 1);
    const int outputHeight = std::max(output.height, 1);
    // The scene and the post-process draw at the chosen scale of the output,
    // no lower than the floor for its size.
    resolution_.setFloor(DynamicResolution::floorFor(outputWidth, outputHeight));
    const float scale = resolution_.scale();
    const int width = DynamicResolution::scaled(outputWidth, scale);
    const int height = DynamicResolution::scaled(outputHeight, scale);
    ensureTargets(width, height);
    auto commandBuffer = device_->makeCommandBuffer();
    times_ = {};
    cpuTimes_ = {};
    counts_ = {};
    stageStart_ = nowMs();
    if (measuring_)
        glFinish(), stageStart_ = nowMs(), stageCpuStart_ = cpuMs();

    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    const glm::mat4 view = glm::inverse(packet.camera.world);
    const glm::mat4 proj = projection(packet.camera, aspect);
    const float exposure = Photometry::exposure(packet.exposureEv100.value_or(Photometry::defaultEv100));

    // Shared values of the frame.
    FrameBlock frame{};
    frame.view = view;
    frame.projection = proj;
    frame.viewProjection = proj * view;
    frame.cameraPosition = glm::vec4(glm::vec3(packet.camera.world[3]), exposure);

    // Directional lights: the first shadowed one (else the first) is the
    // main light, with the shadow map; the others light unshadowed. Dark
    // ones (a lightning flash between strikes) cost nothing.
    const DirectionalLightRecord* mainLight = nullptr;
    for (const auto& light : packet.directionalLights) {
        if (light.castsShadow && light.intensity > 0.0f) {
            mainLight = &light;
            break;
        }
    }
    int extraLights = 0;
    for (const auto& light : packet.directionalLights) {
        if (light.intensity <= 0.0f || &light == mainLight)
            continue;
        if (mainLight == nullptr) {
            mainLight = &light;
            continue;
        }
        if (extraLights == maxExtraDirectionalLights)
            break;
        frame.extraLightDirection[extraLights] = glm::vec4(glm::normalize(light.direction), 0.0f);
        frame.extraLightColor[extraLights] = glm::vec4(light.color * light.intensity * exposure, 0.0f);
        ++extraLights;
    }
    frame.environment.z = static_cast<float>(extraLights);
    glm::mat4 lightMatrix(1.0f);
    const bool shadowed = mainLight != nullptr && mainLight->castsShadow;
    if (mainLight != nullptr) {
        const auto& light = *mainLight;
        frame.lightDirection = glm::vec4(glm::normalize(light.direction), 1.0f);
        frame.lightColor = glm::vec4(light.color * light.intensity * exposure, shadowed ? 1.0f : 0.0f);
        if (shadowed)
            lightMatrix = fitShadow(packet.camera, aspect, light, shadowSize_);
        frame.shadowMatrix = lightMatrix;
        frame.shadowParameters = glm::vec4(1.0f / static_cast<float>(shadowSize_), 2.5f, light.shadowDepthBias, 1.0f);
    }
    const ImagePtr& environmentImage = packet.environment.image;
    // The image-based light follows the camera like the physical lights: a
    // value of 1 shows as white at the reference exposure.
    const float environmentScale =
        std::exp2(packet.environment.intensityExponent) * exposure / Photometry::exposure(Photometry::referenceEv100);
    if (environmentImage) {
        auto found = environmentLights_.find(environmentImage->id);
        if (found == environmentLights_.end()) {
            if (environmentLights_.size() > 8)
                environmentLights_.clear();
            found = environmentLights_
                        .emplace(environmentImage->id, EnvironmentLight::fromEquirectangular(*environmentImage))
                        .first;
        }
        frame.environment.x = 1.0f;
        frame.environment.y = environmentScale;
        for (int k = 0; k < 9; ++k)
            frame.irradiance[k] = glm::vec4(found->second.irradiance[k] * environmentScale, 0.0f);
        frame.shadowParameters.w = static_cast<float>(resources_->mipLevels(environmentImage));
    }
    std::vector<glm::vec4> lights;
    lights.reserve(packet.pointLights.size() * 2);
    for (const auto& light : packet.pointLights) {
        if (light.intensity <= 0.0f || light.attenuationRadius <= 0.0f)
            continue;
        lights.emplace_back(light.position, light.attenuationRadius);
        lights.emplace_back(light.color * Photometry::pointLightCandela(light.intensity) * exposure, 0.0f);
    }
    frame.environment.w = static_cast<float>(lights.size() / 2);
    using F = SceneShaders::Feature;
    frameFeatures_ = (mainLight != nullptr ? F::sun : 0u) | (shadowed ? F::sunShadow : 0u) |
                     (shadowed && quality_.singleShadowTap ? F::singleShadowTap : 0u) |
                     (environmentImage ? F::environment : 0u) | (lights.empty() ? 0u : F::pointLights);
    frameLights_ = lights;
    if (lights.empty())
        lights.emplace_back(0.0f);
    glNamedBufferData(pointLightBuffer_, static_cast<GLsizeiptr>(lights.size() * sizeof(glm::vec4)), lights.data(),
                      GL_STREAM_DRAW);
    buildLightTiles(lights, view, frame.viewProjection, packet.camera, width, height);

    glVertexAttrib3f(1, 0.0f, 1.0f, 0.0f);
    glVertexAttrib2f(2, 0.0f, 0.0f);
    glVertexAttrib4f(3, 1.0f, 0.0f, 0.0f, 1.0f);
    glVertexAttribI4ui(4, 0, 0, 0, 0);
    glVertexAttrib4f(5, 0.0f, 0.0f, 0.0f, 0.0f);

    // Shadow.
    if (shadowed)
        renderShadow(packet, lightMatrix, mainLight->shadowDepthBias);
    mark(times_.shadow, cpuTimes_.shadow);

    // Scene: opaque first, then transparent back to front.
    glBindFramebuffer(GL_FRAMEBUFFER, sceneFramebuffer_);
    glViewport(0, 0, width, height);
    const glm::vec4 background = packet.environment.background;
    const float clearColor[4] = {background.r, background.g, background.b, 1.0f};
    glClearNamedFramebufferfv(sceneFramebuffer_, GL_COLOR, 0, clearColor);
    const float clearDepth = 1.0f;
    glClearNamedFramebufferfv(sceneFramebuffer_, GL_DEPTH, 0, &clearDepth);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    device_->bindUniformBytes(1, &frame, sizeof frame);
    glBindBufferBase(GL_SHADER_STORAGE_BUFFER, 2, pointLightBuffer_);
    glBindBufferBase(GL_SHADER_STORAGE_BUFFER, 5, lightTileBuffer_);
    glBindBufferBase(GL_SHADER_STORAGE_BUFFER, 6, lightIndexBuffer_);
    glBindTextureUnit(8, sampledShadowMap_);
    glBindTextureUnit(9, resources_->texture(environmentImage));

    // Draws wholly outside the view are left out. Opaque ones go near to
    // far, so that hidden pixels fail the depth test before shading; those
    // around the camera (the sky dome, the backdrop, the ground) last, as
    // near geometry covers much of them.
    const Frustum frustum(frame.viewProjection);
    const glm::vec3 eye(packet.camera.world[3]);
    // A draw's size on screen: pixels per metre at unit depth.
    const float pixelsPerMetre =
        static_cast<float>(height) / (2.0f * std::tan(packet.camera.verticalFieldOfView * 0.5f));
    standIns_.clear();
    std::vector<std::pair<float, PassDraw>> opaqueByDepth;
    std::vector<std::pair<float, PassDraw>> blended;
    for (const DrawItem& item : packet.draws) {
        if (!item.mesh || item.mesh->positions.empty() || item.opacity <= 0.0f)
            continue;
        glm::vec3 centre;
        float radius = 0.0f;
        worldSphere(item, centre, radius);
        if (!frustum.touches(centre, radius)) {
            ++counts_.culled;
            continue;
        }
        const float depth = (view * glm::vec4(centre, 1.0f)).z; // more negative = farther
        const bool isTransparent = item.material.transparent || item.opacity < 1.0f;
        PassDraw draw{&item};
        lightingSphere(item, draw.centre, draw.radius);
        if (quality_.smallDrawStandIns && std::isfinite(radius) && -depth > radius &&
            2.0f * radius * pixelsPerMetre / -depth < standInPixels &&
            item.mesh->indices.size() / 3 > static_cast<std::size_t>(standInMesh_->indices.size() / 3))
            draw.item = &standInFor(item);
        if (isTransparent) {
            blended.emplace_back(depth, draw);
            continue;
        }
        const bool surrounds = std::isfinite(radius) && glm::length(centre - eye) < radius;
        const auto& mesh = resources_->mesh(item.mesh);
        const auto& triangles = mesh.triangles(quality_.lighterMeshes);
        if (quality_.chunkLargeMeshes && !triangles.chunks.empty() && draw.item == &item) {
            // The parts in view, each with its own lights; those of a
            // surrounding mesh still go last.
            for (const auto& chunk : triangles.chunks) {
                PassDraw part{&item, chunk.firstIndex, chunk.indexCount};
                boxSphere(item.world, chunk.boundsMin, chunk.boundsMax, part.centre, part.radius);
                if (!frustum.touches(part.centre, part.radius)) {
                    ++counts_.culled;
                    continue;
                }
                const float partDepth = (view * glm::vec4(part.centre, 1.0f)).z;
                opaqueByDepth.emplace_back(surrounds ? partDepth - 1.0e6f : partDepth, part);
            }
            continue;
        }
        opaqueByDepth.emplace_back(surrounds ? -std::numeric_limits<float>::max() : depth, draw);
    }
    std::stable_sort(opaqueByDepth.begin(), opaqueByDepth.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<PassDraw> opaque;
    opaque.reserve(opaqueByDepth.size());
    for (const auto& entry : opaqueByDepth)
        opaque.push_back(entry.second);
    drawItems(opaque, false);
    mark(times_.opaque, cpuTimes_.opaque);
    std::stable_sort(blended.begin(), blended.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<PassDraw> sorted;
    for (const auto& entry : blended)
        sorted.push_back(entry.second);
    drawItems(sorted, true);
    glDisable(GL_CULL_FACE);
    glBindVertexArray(0);
    glUseProgram(0);
    mark(times_.transparent, cpuTimes_.transparent);

    // Post-process: the callback writes the post target, else a copy.
    glMemoryBarrier(GL_ALL_BARRIER_BITS);
    runPostProcess(packet, {device_, commandBuffer, sceneColor_, sceneDepth_, postTarget_, proj, packet.time,
                            quality_.tier, quality_.quarterSizePost});
    glMemoryBarrier(GL_ALL_BARRIER_BITS);
    mark(times_.postProcess, cpuTimes_.postProcess);

    present(output);
    overlay_->draw(packet.labels, output.framebuffer, output.width, output.height, output.devicePixelRatio);
    mark(times_.present, cpuTimes_.present);
    commandBuffer->commit();
    // What the previous packet alone showed goes now, not in batches later:
    // a mesh replaced every frame would leave a train of buffers behind.
    resources_->collect();
}

void Renderer::runPostProcess(const FramePacket& packet, const PostProcessContext& context)
{
    const PostProcess& callback = packet.postProcess ? packet.postProcess : postProcess_;
    if (!callback) {
        context.commandBuffer->copy(*sceneColor_, *postTarget_);
        return;
    }
    try {
        callback(context);
    } catch (const std::exception& error) {
        // The frame is shown as drawn; said once, not every frame.
        if (!reportedPostProcessFailure_) {
            reportedPostProcessFailure_ = true;
            std::fprintf(stderr, "render: the post-process failed, frames shown without it: %s\n", error.what());
        }
        glMemoryBarrier(GL_ALL_BARRIER_BITS);
        context.commandBuffer->copy(*sceneColor_, *postTarget_);
    }
}

void Renderer::present(const Output& output)
{
    // Drawn below the output's size: the picture is filtered up.
    const bool scaled = postTarget_->width() != output.width || postTarget_->height() != output.height;
    // On the software tier a scaled picture is tone mapped and encoded at
    // its own size and then stretched by a blit, which costs far less per
    // output pixel than the presentation's shader.
    const bool blit = scaled && quality_.presentByBlit;
    // (The scaled program at the picture's own size reads exact texels.)
    const auto& program = device_->cachedProgram(scaled ? "gloam.present.scaled" : "gloam.present", [scaled] {
        return gpu::GlProgram("present", {{GL_VERTEX_SHADER, SceneShaders::fullscreenVertex()},
                                          {GL_FRAGMENT_SHADER, SceneShaders::presentFragment(scaled)}});
    });
    if (blit)
        ensureDisplayTarget(postTarget_->width(), postTarget_->height());
    glBindFramebuffer(GL_FRAMEBUFFER, blit ? displayFramebuffer_ : output.framebuffer);
    if (blit)
        glViewport(0, 0, postTarget_->width(), postTarget_->height());
    else
        glViewport(0, 0, output.width, output.height);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glUseProgram(program.id());
    glUniform2f(0, 1.0f / static_cast<float>(postTarget_->width()), 1.0f / static_cast<float>(postTarget_->height()));
    glUniform1i(1, 0);
    glBindTextureUnit(0, postTarget_->glName());
    glBindVertexArray(emptyVertexArray_);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glBindVertexArray(0);
    glUseProgram(0);
    if (blit) {
        glBlitNamedFramebuffer(displayFramebuffer_, output.framebuffer, 0, 0, postTarget_->width(),
                               postTarget_->height(), 0, 0, output.width, output.height, GL_COLOR_BUFFER_BIT,
                               GL_LINEAR);
        glBindFramebuffer(GL_FRAMEBUFFER, output.framebuffer);
    }
}

void Renderer::ensureDisplayTarget(int width, int height)
{
    if (displayTexture_ != 0 && displayWidth_ == width && displayHeight_ == height)
        return;
    if (displayTexture_ != 0)
        glDeleteTextures(1, &displayTexture_);
    glCreateTextures(GL_TEXTURE_2D, 1, &displayTexture_);
    glTextureStorage2D(displayTexture_, 1, GL_RGBA8, width, height);
    glNamedFramebufferTexture(displayFramebuffer_, GL_COLOR_ATTACHMENT0, displayTexture_, 0);
    checkFramebuffer(displayFramebuffer_, "display");
    displayWidth_ = width;
    displayHeight_ = height;
}

} // namespace gloam::render
