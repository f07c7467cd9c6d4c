#include "engine/effects/OpeningSequence.h"

#include "engine/effects/WitchSilhouette.h"
#include "resources/ResourceFiles.h"
#include "resources/SceneLandmarks.h"

#include "platform/assets/ModelLoader.h"
#include "platform/assets/TextureResource.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuError.h"
#include "platform/gpu/ShaderLibrary.h"
#include "platform/mesh/MeshResource.h"
#include "platform/scene/DynamicLightShadowComponent.h"
#include "platform/scene/ModelComponent.h"
#include "platform/scene/OpacityComponent.h"

#include <glm/geometric.hpp>
#include <glm/gtc/quaternion.hpp>

#include <algorithm>
#include <cmath>
#include <future>
#include <mutex>
#include <numbers>
#include <optional>
#include <utility>

namespace gloam {

namespace {

using Points = std::vector<glm::vec2>;

const platform::Color silhouetteColor = platform::rgb(0.004F, 0.006F, 0.012F);
const platform::Color boltColor = platform::rgb(0.78F, 0.9F, 1.0F);
const platform::Color cardTint = platform::rgb(0.9F, 0.9F, 0.9F);

// Bat wing (the right one; the left is its mirror) and ears, in bat units.
const Points batWing{{0.0F, 0.0F},    {0.24F, 0.32F}, {0.68F, 0.45F},  {1.0F, 0.38F},  {0.8F, 0.16F},
                     {0.72F, -0.05F}, {0.55F, 0.02F}, {0.42F, -0.18F}, {0.26F, -0.1F}, {0.09F, -0.25F}};
const Points batLeftEar{{-0.02F, 0.17F}, {-0.12F, 0.34F}, {-0.11F, 0.1F}};
const Points batRightEar{{0.02F, 0.17F}, {0.12F, 0.34F}, {0.11F, 0.1F}};
constexpr float batBodyRadius = 0.13F;
const glm::vec3 batBodyScale{0.62F, 1.7F, 0.25F};

// The title's bolt: a trunk and one branch; the hill's bolt.
const Points titleTrunk{{0.1F, 1.15F},    {0.06F, 0.87F},   {0.17F, 0.72F},   {0.02F, 0.48F},
                        {0.09F, 0.32F},   {-0.11F, 0.14F},  {-0.17F, -0.14F}, {-0.04F, -0.28F},
                        {-0.27F, -0.61F}, {-0.19F, -0.82F}, {-0.35F, -1.15F}};
const Points titleBranch{{0.06F, 0.87F}, {-0.18F, 0.71F}, {-0.12F, 0.56F}, {-0.4F, 0.35F}};
const Points hillBolt{{0.85F, 1.1F}, {0.72F, 0.88F}, {0.82F, 0.73F}, {0.64F, 0.53F}, {0.7F, 0.41F}, {0.49F, 0.11F}};
constexpr float titleTrunkWidth = 0.006F;
constexpr float titleBranchWidth = 0.003F;
constexpr float hillBoltWidth = 0.004F;
constexpr float boltDepth = 0.012F;

// Depths of the layers in front of the panorama.
constexpr float atmosphereDepth = 0.003F;
constexpr float titleDepth = 0.035F;
constexpr float witchDepth = 0.18F;
constexpr float witchWidth = 0.36F;

// Times, in seconds of the opening's clock (the pan, the title's fade and
// the fade into the scene are the clock's own curves).
constexpr double zoomEnd = 9.8;
constexpr double titleShrink = 2.25;
constexpr double titleGone = 7.5;
constexpr double batsStart = 2.7;
constexpr double batFlight = 3.35;
constexpr double witchStart = 5.5;
constexpr double witchCrossing = 4.5;
constexpr double flashLength = 0.24;

// The panorama: zoomed by this share over the first 9.8 s, then moved up by
// this share of its side (its top at 0.218 of the side above the centre).
constexpr float zoomShare = 0.012F;
constexpr float panShare = 0.477F;
constexpr float restingTop = 0.218F;
// Wide enough to cover the view's width with a margin.
constexpr float backdropPerAspect = 2.015F;
// The right edge of the house on the hill (with a little of its garden) in
// the narrowest panorama: views too narrow to show it move the picture, with
// the hill's bolt, to the left as it pans down to the hill.
constexpr float houseRight = (landmarks::panoramaHouseAcross - 0.5F + 0.75F * landmarks::panoramaHouseWidth) *
                             OpeningSequence::minimumBackdropWidth;
// Below this aspect the title card narrows with the view, so that its
// lettering keeps within this share of the view's width.
constexpr float titleViewShare = 0.92F;
constexpr float titleFitAspect = OpeningSequence::titleWidth * landmarks::titleLetteringWidth / (2.0F * titleViewShare);

glm::quat aboutZ(float angle)
{
    return glm::angleAxis(angle, glm::vec3(0.0F, 0.0F, 1.0F));
}

glm::quat aboutY(float angle)
{
    return glm::angleAxis(angle, glm::vec3(0.0F, 1.0F, 0.0F));
}

void setOpacity(platform::Entity& entity, float opacity)
{
    entity.components.ensure<platform::OpacityComponent>().opacity = opacity;
}

platform::UnlitMaterial flatMaterial(const platform::Color& color)
{
    platform::UnlitMaterial material(color);
    material.faceCulling = platform::FaceCulling::none;
    material.blending = platform::Blending::transparent(1.0F);
    material.writesDepth = false;
    return material;
}

// The atmosphere's material without its picture, made once per shader
// library file and shared by every later sequence of the process: the
// renderer compiles one program per library text.
struct AtmosphereTemplates {
    std::mutex mutex;
    std::optional<std::pair<std::filesystem::path, platform::CustomMaterial>> built;
};

AtmosphereTemplates& atmosphereTemplates()
{
    static AtmosphereTemplates templates;
    return templates;
}

platform::CustomMaterial atmosphereMaterial(const std::filesystem::path& libraryFile,
                                            const platform::UnlitMaterial& base)
{
    AtmosphereTemplates& templates = atmosphereTemplates();
    std::lock_guard lock(templates.mutex);
    if (!templates.built || templates.built->first != libraryFile) {
        try {
            (void)gpu::GpuDevice::systemDefault();
        } catch (const gpu::GpuError& error) {
            throw gpu::GpuError(OpeningSequence::atmosphereErrorDomain, 1, error.what());
        }
        const gpu::ShaderLibrary library = gpu::ShaderLibrary::load(libraryFile);
        if (!library.hasSurface(OpeningSequence::atmosphereFunction)) {
            throw gpu::GpuError(gpu::GpuError::deviceDomain, gpu::GpuError::missingFunction,
                                "The shader library \u201c" + library.name() + "\u201d has no surface function \u201c" +
                                    OpeningSequence::atmosphereFunction + "\u201d.");
        }
        platform::SurfaceShader shader{OpeningSequence::atmosphereFunction, libraryFile,
                                       std::make_shared<const std::string>(library.source())};
        platform::UnlitMaterial pictureless = base;
        pictureless.color.texture.reset();
        platform::CustomMaterial material(pictureless, std::move(shader));
        material.writesDepth = false;
        material.blending = platform::Blending::transparent(1.0F);
        templates.built.emplace(libraryFile, std::move(material));
    }
    platform::CustomMaterial material = templates.built->second;
    material.baseColor.texture = base.color.texture;
    return material;
}

platform::TexturePtr loadTexture(const std::filesystem::path& resources, std::string_view name)
{
    return platform::TextureResource::load(resources / std::string(name), std::string(name));
}

} // namespace

std::shared_ptr<platform::ModelEntity>
OpeningSequence::plane(float width, float height, const platform::TexturePtr& texture, const std::string& textureName)
{
    platform::MeshDescriptor mesh;
    mesh.name = "Opening_" + textureName;
    const float w = width / 2.0F;
    const float h = height / 2.0F;
    mesh.positions = {{-w, -h, 0.0F}, {w, -h, 0.0F}, {w, h, 0.0F}, {-w, h, 0.0F}};
    mesh.textureCoordinates = {{0.0F, 0.0F}, {1.0F, 0.0F}, {1.0F, 1.0F}, {0.0F, 1.0F}};
    mesh.normals.assign(4, glm::vec3(0.0F, 0.0F, 1.0F));
    mesh.indices = {0, 1, 2, 0, 2, 3};

    platform::UnlitMaterial material(cardTint);
    material.color.texture = texture;
    material.toneMapped = false;
    material.faceCulling = platform::FaceCulling::none;
    material.blending = platform::Blending::transparent(1.0F);
    material.writesDepth = false;

    auto entity = platform::ModelEntity::make(platform::MeshResource::generate(std::move(mesh)), {material});
    entity->components.set(platform::DynamicLightShadowComponent{false});
    return entity;
}

std::shared_ptr<platform::ModelEntity> OpeningSequence::polygon(const std::vector<glm::vec2>& points,
                                                                const platform::Color& color)
{
    platform::MeshDescriptor mesh;
    mesh.name = "Opening silhouette";
    for (const glm::vec2 p : points) {
        mesh.positions.emplace_back(p.x, p.y, 0.0F);
        mesh.normals.emplace_back(0.0F, 0.0F, 1.0F);
    }
    for (std::uint32_t k = 2; k < points.size(); ++k) {
        mesh.indices.insert(mesh.indices.end(), {0, k - 1, k});
    }
    auto entity = platform::ModelEntity::make(platform::MeshResource::generate(std::move(mesh)), {flatMaterial(color)});
    entity->components.set(platform::DynamicLightShadowComponent{false});
    return entity;
}

platform::EntityPtr OpeningSequence::bolt(const std::vector<glm::vec2>& points, float width)
{
    platform::EntityPtr group = platform::Entity::make();
    for (std::size_t i = 1; i < points.size(); ++i) {
        const glm::vec2 p0 = points[i - 1];
        const glm::vec2 p1 = points[i];
        const glm::vec2 u = glm::normalize(p1 - p0);
        const glm::vec2 g = glm::vec2(-u.y, u.x) * width;
        group->addChild(polygon({p0 + g, p0 - g, p1 - g, p1 + g}, boltColor));
    }
    return group;
}

float OpeningSequence::flash(double t, double start, float peak)
{
    const double age = t - start;
    if (age < 0.0 || age >= flashLength) {
        return 0.0F;
    }
    return peak * static_cast<float>(std::exp(-15.0 * age));
}

void OpeningSequence::forgetAtmosphereMaterial()
{
    AtmosphereTemplates& templates = atmosphereTemplates();
    std::lock_guard lock(templates.mutex);
    templates.built.reset();
}

OpeningSequence::OpeningSequence(const std::shared_ptr<platform::PerspectiveCamera>& camera,
                                 const std::filesystem::path& resources)
    : root_(platform::Entity::make("OpeningSequence"))
    , witch_(platform::Entity::make("OpeningWitch"))
    , titleBolts_(platform::Entity::make("OpeningTitleBolts"))
    , hillBolts_(platform::Entity::make("OpeningHillBolts"))
{
    build(resources);
    camera->addChild(root_);
}

OpeningSequence::~OpeningSequence()
{
    root_->removeFromParent();
}

void OpeningSequence::build(const std::filesystem::path& resources)
{
    // The two pictures are decoded (with their mip levels) on threads of
    // their own while this one loads the witch: the view's first frame waits
    // for all of it. Leaving early by an exception waits for both threads.
    auto panoramaJob =
        std::async(std::launch::async, [&resources] { return loadTexture(resources, resources::openingPanorama); });
    auto titleJob =
        std::async(std::launch::async, [&resources] { return loadTexture(resources, resources::openingTitle); });

    // The witch, 0.36 wide and centred on her own origin.
    const platform::Material silhouette = flatMaterial(silhouetteColor);
    platform::EntityPtr witchModel =
        platform::ModelLoader::loadNow(resources / std::string(resources::witchModel), "OpeningWitchModel");
    const WitchSilhouette styled = WitchSilhouette::style(*witchModel, silhouette);
    cape_ = styled.cape;
    capeRest_ = styled.capeRest;
    const platform::BoundingBox bounds = witchModel->visualBounds(true, nullptr);
    const float factor = witchWidth / std::max(bounds.extents().x, 0.001F);
    witchModel->setScale(witchModel->scale() * factor);
    witchModel->setPosition(witchModel->position() - factor * bounds.center());

    // The panorama is decoded once for its two layers.
    const platform::TexturePtr panorama = panoramaJob.get();
    const std::string panoramaName(resources::openingPanorama);
    background_ = plane(1.0F, 1.0F, panorama, panoramaName);
    atmosphere_ = plane(1.0F, 1.0F, panorama, panoramaName);
    background_->setName("OpeningPanorama");
    atmosphere_->setName("OpeningAtmosphere");
    {
        platform::ModelComponent& model = atmosphere_->model();
        const platform::UnlitMaterial* base =
            model.materials.empty() ? nullptr : platform::asUnlit(model.materials.front());
        if (base == nullptr) {
            throw gpu::GpuError(atmosphereErrorDomain, 1, "The atmosphere plane has no material to start from.");
        }
        model.materials = {atmosphereMaterial(resources / std::string(resources::openingAtmosphereLibrary), *base)};
    }

    title_ = plane(titleWidth, titleHeight, titleJob.get(), std::string(resources::openingTitle));
    title_->setName("OpeningTitle");

    root_->setEnabled(false);
    root_->addChild(background_);
    root_->addChild(atmosphere_);
    root_->addChild(title_);
    title_->setPosition(glm::vec3(0.0F, 0.0F, titleDepth));

    // Bats: every bat shares the meshes of the first one's parts.
    const auto leftWing = [] {
        Points mirrored = batWing;
        for (glm::vec2& p : mirrored) {
            p.x = -p.x;
        }
        return polygon(mirrored, silhouetteColor);
    }();
    const auto rightWing = polygon(batWing, silhouetteColor);
    const auto leftEar = polygon(batLeftEar, silhouetteColor);
    const auto rightEar = polygon(batRightEar, silhouetteColor);
    const platform::MeshPtr bodyMesh = platform::MeshResource::generateSphere(batBodyRadius);
    const auto copyOf = [](const std::shared_ptr<platform::ModelEntity>& part, const std::string& name) {
        const platform::ModelComponent& model = part->model();
        auto copy = platform::ModelEntity::make(model.mesh, model.materials, name);
        copy->components.set(platform::DynamicLightShadowComponent{false});
        return copy;
    };
    bats_.reserve(batCount);
    for (int i = 0; i < batCount; ++i) {
        platform::EntityPtr bat = platform::Entity::make("OpeningBat" + std::to_string(i));
        auto left = copyOf(leftWing, "LeftWing");
        auto right = copyOf(rightWing, "RightWing");
        auto body = platform::ModelEntity::make(bodyMesh, {silhouette}, "Body");
        body->components.set(platform::DynamicLightShadowComponent{false});
        body->setScale(batBodyScale);
        bat->addChild(left);
        bat->addChild(right);
        bat->addChild(body);
        bat->addChild(copyOf(leftEar, "LeftEar"));
        bat->addChild(copyOf(rightEar, "RightEar"));
        bat->setEnabled(false);
        root_->addChild(bat);
        bats_.push_back({bat, left, right});
    }

    witch_->addChild(witchModel);
    witch_->setEnabled(false);
    root_->addChild(witch_);

    titleBolts_->addChild(bolt(titleTrunk, titleTrunkWidth));
    titleBolts_->addChild(bolt(titleBranch, titleBranchWidth));
    hillBolts_->addChild(bolt(hillBolt, hillBoltWidth));
    titleBolts_->setPosition(glm::vec3(0.0F, 0.0F, boltDepth));
    hillBolts_->setPosition(glm::vec3(0.0F, 0.0F, boltDepth));
    titleBolts_->setEnabled(false);
    hillBolts_->setEnabled(false);
    root_->addChild(titleBolts_);
    root_->addChild(hillBolts_);

    // Every opacity the poses change exists from the start, so that posing
    // allocates nothing.
    for (platform::Entity* entity :
         {root_.get(), static_cast<platform::Entity*>(title_.get()), titleBolts_.get(), hillBolts_.get()}) {
        setOpacity(*entity, 1.0F);
    }
}

void OpeningSequence::layout(float aspect, float fieldOfView)
{
    aspect_ = aspect;
    const float t = std::tan(fieldOfView * std::numbers::pi_v<float> / 360.0F);
    root_->setPosition(glm::vec3(0.0F, 0.0F, -1.0F));
    root_->setScale(glm::vec3(t));
    backdropWidth_ = std::max(backdropPerAspect * aspect, minimumBackdropWidth);
    hillShift_ = std::min(0.95F * aspect - houseRight, 0.0F);
    const bool enabled = root_->isEnabled();
    seek(clock_.time);
    root_->setEnabled(enabled);
}

void OpeningSequence::start()
{
    clock_.start();
    root_->setEnabled(true);
    seek(0.0);
}

void OpeningSequence::skip()
{
    clock_.skip();
    root_->setEnabled(false);
}

bool OpeningSequence::advance(double step)
{
    clock_.advance(step);
    seek(clock_.time);
    return clock_.playing;
}

void OpeningSequence::seek(double t)
{
    root_->setEnabled(t < OpeningTiming::duration);
    if (!root_->isEnabled()) {
        return;
    }

    // The panorama zooms in slightly, then pans up to the hill.
    const float s = (1.0F + zoomShare * static_cast<float>(std::min(t, zoomEnd) / zoomEnd)) * backdropWidth_;
    const float pan = OpeningTiming::pan(t);
    const glm::vec3 scale(s, s, 1.0F);
    const glm::vec3 position(hillShift_ * pan, (restingTop + panShare * pan - 0.5F) * s, 0.0F);
    background_->setScale(scale);
    background_->setPosition(position);
    atmosphere_->setScale(scale);
    atmosphere_->setPosition(glm::vec3(position.x, position.y, atmosphereDepth));
    if (auto* model = atmosphere_->components.get<platform::ModelComponent>(); model && !model->materials.empty()) {
        if (auto* custom = platform::asCustom(model->materials.front())) {
            custom->custom.value.x = static_cast<float>(t);
        }
    }

    setOpacity(*root_, 1.0F - OpeningTiming::dissolve(t));
    poseTitle(t);
    poseBats(t);
    poseWitch(t);

    const float titleLevel = std::max(flash(t, 2.15, 1.0F), flash(t, 2.31, 0.55F));
    titleBolts_->setEnabled(titleLevel > 0.0F);
    setOpacity(*titleBolts_, titleLevel);
    hillBolts_->setPosition(glm::vec3(hillShift_ * pan, 0.0F, boltDepth));
    const float hillLevel = std::max(flash(t, 13.1, 1.0F), flash(t, 13.25, 0.45F));
    hillBolts_->setEnabled(hillLevel > 0.0F);
    setOpacity(*hillBolts_, hillLevel);
}

void OpeningSequence::poseTitle(double t)
{
    // Narrow views get a narrower card, so the whole title stays in view.
    const float fit = std::min(1.0F, aspect_ / titleFitAspect);
    title_->setScale(glm::vec3((1.0F + 1.4F * (1.0F - OpeningTiming::ease(t / titleShrink))) * fit));
    title_->setPosition(glm::vec3(0.0F, -0.04F, titleDepth));
    title_->setEnabled(t < titleGone);
    setOpacity(*title_, OpeningTiming::titleOpacity(t));
}

void OpeningSequence::poseBats(double t)
{
    for (std::size_t i = 0; i < bats_.size(); ++i) {
        const Bat& entry = bats_[i];
        const auto n = static_cast<int>(i);
        const auto w = static_cast<float>(t - batsStart - 0.055 * (n % 6));
        const bool flying = w >= 0.0F && w < static_cast<float>(batFlight);
        entry.bat->setEnabled(flying);
        if (!flying) {
            continue;
        }
        const float a = static_cast<float>(n) * 2.39996F;
        const float r = w * (0.65F + 0.1F * static_cast<float>(n % 5)) + 0.12F;
        entry.bat->setPosition(glm::vec3(std::sin(a) * r, 0.18F * w + 0.73F * std::cos(a) * r + 0.1F,
                                         0.09F + 0.015F * static_cast<float>(n % 4)));
        entry.bat->setScale(glm::vec3((0.052F + 0.012F * static_cast<float>(n % 4)) * (1.0F + 0.16F * w)));
        entry.bat->setOrientation(aboutZ(0.22F * std::sin(a + 2.0F * w)));
        const float f = 0.92F * std::sin(a + w * static_cast<float>((n % 4) + 11));
        entry.leftWing->setOrientation(aboutY(f));
        entry.rightWing->setOrientation(aboutY(-f));
    }
}

void OpeningSequence::poseWitch(double t)
{
    const double v = (t - witchStart) / witchCrossing;
    const bool flying = v >= 0.0 && v <= 1.0;
    witch_->setEnabled(flying);
    if (!flying) {
        return;
    }
    const auto u = static_cast<float>(v);
    witch_->setPosition(glm::vec3((1.0F - 2.0F * u) * (aspect_ + 0.4F),
                                  0.12F * std::sin(std::numbers::pi_v<float> * u) - 0.04F, witchDepth));
    witch_->setOrientation(aboutZ(0.57F + 0.015F * std::sin(18.0F * u)));
    if (cape_) {
        cape_->setTransform(capeRest_);
        cape_->setOrientation(capeRest_.rotation * aboutZ(0.045F * std::sin(8.0F * static_cast<float>(t))));
    }
}

} // namespace gloam
