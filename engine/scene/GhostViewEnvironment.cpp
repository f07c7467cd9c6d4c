// The environment's look: its materials are authored generically and set
// at load time by rules keyed on entity names; the normal maps and the
// pumpkin cavity are prepared before the walk; the house gets its click
// collision in the background; the whole scene is lit by a procedural
// study light.
#include "engine/scene/GhostView.h"

#include "platform/assets/EnvironmentResource.h"
#include "platform/assets/TextureResource.h"
#include "platform/async/CancellationError.h"
#include "platform/collision/CollisionComponent.h"
#include "platform/collision/ShapeResource.h"
#include "platform/scene/DynamicLightShadowComponent.h"
#include "platform/scene/ModelComponent.h"
#include "resources/ResourceFiles.h"
#include "resources/SceneNames.h"

#include <glm/geometric.hpp>

#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>
#include <string_view>

namespace gloam {

namespace names = scene_names;

namespace {

bool contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}
bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}
bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool isNormalMapFile(std::string_view file)
{
    return endsWith(file, resources::normalMapSuffix);
}

// The texture files the preparation loads before the tree walk.
bool isPreparedTexture(std::string_view file)
{
    return (startsWith(file, resources::normalMapPrefix) && isNormalMapFile(file)) ||
           file == resources::groundNormalMap || file == resources::pumpkinCavity;
}

platform::TextureCreateOptions textureOptions(bool normal)
{
    return {normal ? platform::TextureSemantic::normal : platform::TextureSemantic::color,
            platform::TextureMipmapsMode::allocateAndGenerateAll};
}

// The normal map an effective name asks for: a key matches the whole name
// after the prefix or its last "_" part; the ground has its own map.
std::optional<std::string> normalMapFor(std::string_view name)
{
    for (std::string_view key : names::normalMapKeys) {
        const std::string exact = std::string(names::envPrefix) + std::string(key);
        const std::string suffix = "_" + std::string(key);
        if (name == exact || endsWith(name, suffix)) {
            return names::normalMapFile(key);
        }
    }
    if (name == names::earth || name == names::earthBankExact) {
        return std::string(resources::groundNormalMap);
    }
    return std::nullopt;
}

template <typename Change>
void forEachPhysicallyBased(std::vector<platform::Material>& materials, Change change)
{
    for (platform::Material& material : materials) {
        if (platform::PhysicallyBasedMaterial* pbr = platform::asPhysicallyBased(material)) {
            change(*pbr);
        }
    }
}

platform::Material flatUnlit(const platform::Material& old, platform::Color color)
{
    platform::UnlitMaterial unlit(color);
    unlit.name = platform::materialName(old);
    return unlit;
}

// Sky clouds and the moon sprite: unlit, showing their own picture.
platform::Material skyConversion(const platform::Material& old, std::string_view name)
{
    const platform::PhysicallyBasedMaterial* pbr = platform::asPhysicallyBased(old);
    if (pbr == nullptr) {
        return old;
    }
    platform::UnlitMaterial unlit(contains(name, names::skyClouds) ? platform::rgb(0.68F, 0.88F, 1.0F)
                                                                   : platform::rgb(1.0F, 1.0F, 1.0F));
    unlit.name = pbr->name;
    unlit.color.texture = pbr->baseColor.texture;
    unlit.faceCulling = platform::FaceCulling::none;
    if (contains(name, names::moonSprite)) {
        unlit.blending = platform::Blending::transparent(0.94F);
    }
    return unlit;
}

// Study-light lobe: a direction, a linear colour and a sharpness.
struct Lobe {
    glm::vec3 direction;
    glm::vec3 color;
    float sharpness;
};

} // namespace

async::Task<std::shared_ptr<const platform::EnvironmentResource>> GhostView::makeStudyLight()
{
    constexpr int width = 512;
    constexpr int height = 256;
    constexpr float pi = 3.1415925F;
    const Lobe lobes[] = {
        {glm::normalize(glm::vec3(-3.0F, 6.0F, 4.0F)), {6.0F, 7.0F, 8.0F}, 4.0F},
        {glm::normalize(glm::vec3(1.0F, 1.2F, -3.0F)), {0.0F, 5.0F, 9.0F}, 15.0F},
        {glm::normalize(glm::vec3(-2.0F, 0.1F, 2.0F)), {0.0F, 1.5F, 3.0F}, 18.0F},
    };
    const glm::vec3 base{0.035F, 0.05F, 0.08F};

    // Rows top to bottom: row 0 looks straight up, column 0 towards -z.
    std::vector<float> pixels(static_cast<std::size_t>(width) * height * 4);
    for (int i = 0; i < height; ++i) {
        const float theta = pi * static_cast<float>(i) / static_cast<float>(height);
        for (int j = 0; j < width; ++j) {
            const float phi = 2.0F * pi * static_cast<float>(j) / static_cast<float>(width);
            const glm::vec3 d{std::sin(theta) * std::sin(phi), std::cos(theta), -std::sin(theta) * std::cos(phi)};
            glm::vec3 color = base;
            for (const Lobe& lobe : lobes) {
                color += lobe.color * std::exp(lobe.sharpness * (glm::dot(d, lobe.direction) - 1.0F));
            }
            float* pixel = &pixels[(static_cast<std::size_t>(i) * width + static_cast<std::size_t>(j)) * 4];
            pixel[0] = color.r;
            pixel[1] = color.g;
            pixel[2] = color.b;
            pixel[3] = 1.0F;
        }
    }

    platform::TexturePtr image;
    try {
        image = platform::TextureResource::fromFloatPixels(width, height, pixels);
    } catch (const std::exception&) {
        co_return nullptr;
    }

    std::shared_ptr<const platform::EnvironmentResource> light;
    std::string failure;
    try {
        light = co_await platform::EnvironmentResource::make(image);
    } catch (const async::CancellationError&) {
        // The load was called off; it notices at its next checkpoint.
    } catch (const std::exception& error) {
        failure = error.what();
        log("E4 IBL FAILED " + failure, false);
    }
    co_return light;
}

async::Task<void> GhostView::prepareEnvironmentTextures()
{
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(resources_)) {
        files.push_back(entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());

    for (const std::string& file : files) {
        if (!isPreparedTexture(file)) {
            continue;
        }
        co_await async::checkCancellation();
        platform::TexturePtr texture =
            co_await platform::TextureResource::loadAsync(resources_ / file, {}, textureOptions(isNormalMapFile(file)));
        co_await async::checkCancellation();
        if (stopped_) {
            throw async::CancellationError();
        }
        materialTextures_[file] = std::move(texture);
    }
}

platform::TexturePtr GhostView::materialTexture(const std::string& file, bool normal)
{
    if (const auto found = materialTextures_.find(file); found != materialTextures_.end()) {
        return found->second;
    }
    platform::TexturePtr texture = platform::TextureResource::load(resources_ / file, {}, textureOptions(normal));
    materialTextures_[file] = texture;
    return texture;
}

void GhostView::configureEnvironment(const platform::EntityPtr& entity, const std::string& inherited, bool includeHand)
{
    const std::string name = startsWith(entity->name(), names::envPrefix) ? entity->name() : inherited;

    if (!includeHand && (contains(name, names::bones) || startsWith(name, names::sleevePrefix))) {
        entity->setEnabled(false);
        return;
    }

    if (const platform::ModelComponent* found = entity->components.get<platform::ModelComponent>()) {
        platform::ModelComponent model = *found;
        std::vector<platform::Material>& materials = model.materials;

        entity->components.set(
            platform::DynamicLightShadowComponent{contains(name, names::pumpkinSkin) || contains(name, names::stone)});

        if (contains(name, names::backdrop) || contains(name, names::treeMist)) {
            ringEntities_.push_back({entity, entity->visualBounds(true, nullptr, false).center()});
        }

        // Material family: the first rule that matches.
        if (contains(name, names::skyClouds) || contains(name, names::moonSprite)) {
            for (platform::Material& material : materials) {
                material = skyConversion(material, name);
            }
        } else if (contains(name, names::earthBank)) {
            forEachPhysicallyBased(materials, [](platform::PhysicallyBasedMaterial& pbr) {
                pbr.baseColor.tint = platform::rgb(0.9F, 0.78F, 0.73F);
                pbr.roughness = 0.96F;
                pbr.faceCulling = platform::FaceCulling::none;
            });
        } else if (contains(name, names::houseTimber) || contains(name, names::houseEdge) ||
                   contains(name, names::houseSlate)) {
            const platform::Color color = contains(name, names::houseEdge) ? platform::rgb(0.1F, 0.115F, 0.13F)
                                                                           : platform::rgb(0.065F, 0.08F, 0.095F);
            for (platform::Material& material : materials) {
                material = flatUnlit(material, color);
            }
        } else if (contains(name, names::treeBlack) || contains(name, names::treeMist) ||
                   contains(name, names::houseBlack) || contains(name, names::roofBlack)) {
            const platform::Color color = contains(name, names::treeMist) ? platform::rgb(0.09F, 0.17F, 0.21F)
                                                                          : platform::rgb(0.025F, 0.033F, 0.045F);
            for (platform::Material& material : materials) {
                material = flatUnlit(material, color);
            }
        } else if (contains(name, names::windowGlow) || contains(name, names::pumpkinFlame) ||
                   contains(name, names::pumpkinGlow)) {
            const bool window = contains(name, names::windowGlow);
            const bool pumpkin = contains(name, names::pumpkinFlame) || contains(name, names::pumpkinGlow);
            platform::TexturePtr cavity;
            if (pumpkin) {
                try {
                    cavity = materialTexture(std::string(resources::pumpkinCavity), false);
                } catch (const std::exception&) {
                    // Without the cavity picture the flame glows in its own colour.
                }
            }
            forEachPhysicallyBased(materials, [&](platform::PhysicallyBasedMaterial& pbr) {
                pbr.emissiveColor = {{1.0F, window ? 0.34F : 0.16F, 0.006F}, nullptr};
                if (pumpkin && pbr.baseColor.texture) {
                    pbr.emissiveColor = {glm::vec3(1.0F), pbr.baseColor.texture};
                }
                if (cavity) {
                    // The cavity picture is the glow's colour as it is: the
                    // renderer multiplies the emissive colour with its
                    // texture, so the colour is white, not black.
                    pbr.emissiveColor = {glm::vec3(1.0F), cavity};
                }
                pbr.emissiveIntensity = window ? 3.0F : 1.8F;
                pbr.baseColor = {platform::rgb(0.6F, 0.1F, 0.004F), nullptr};
                if (pumpkin) {
                    pbr.faceCulling = platform::FaceCulling::none;
                    pbr.baseColor = {platform::rgb(0.0F, 0.0F, 0.0F), nullptr};
                    pbr.specular = 0.0F;
                    pbr.roughness = 1.0F;
                }
            });
        }

        if (const std::optional<std::string> file = normalMapFor(name)) {
            try {
                platform::TexturePtr normal = materialTexture(*file, true);
                forEachPhysicallyBased(materials, [&](platform::PhysicallyBasedMaterial& pbr) { pbr.normal = normal; });
            } catch (const std::exception&) {
                // A missing normal map leaves the surface smooth.
            }
        }

        if (contains(name, names::pumpkinCarvedWall)) {
            forEachPhysicallyBased(materials, [](platform::PhysicallyBasedMaterial& pbr) {
                pbr.faceCulling = platform::FaceCulling::none;
            });
        }
        if (name == names::earth) {
            forEachPhysicallyBased(materials, [](platform::PhysicallyBasedMaterial& pbr) {
                pbr.baseColor.tint = platform::rgb(0.9F, 0.78F, 0.73F);
                pbr.roughness = 0.96F;
            });
        }
        if (contains(name, names::stone) && !contains(name, names::stoneRecess) && !contains(name, names::moss)) {
            forEachPhysicallyBased(materials, [](platform::PhysicallyBasedMaterial& pbr) {
                pbr.baseColor.tint = platform::rgb(0.8F, 0.65F, 0.49F);
            });
        }
        if (contains(name, names::stoneInset)) {
            forEachPhysicallyBased(materials, [](platform::PhysicallyBasedMaterial& pbr) {
                pbr.baseColor.tint = platform::rgb(0.64F, 0.47F, 0.33F);
            });
        }

        entity->components.set(model);

        if (contains(name, names::pumpkinFlame) || contains(name, names::pumpkinGlow) ||
            contains(name, names::pumpkinSkin)) {
            pumpkinMaterials_.push_back(
                {entity, model.materials, contains(name, names::pumpkinFlame) || contains(name, names::pumpkinGlow)});
        }

        if (interactive_ && (contains(name, names::houseBlack) || contains(name, names::roofBlack))) {
            entity->setName(std::string(names::lightningHouse));
            collisionTasks_.push_back(async::spawn(buildHouseCollision(weak_from_this(), entity, model.mesh)));
        }
    }

    const std::vector<platform::EntityPtr> children = entity->children();
    for (const platform::EntityPtr& child : children) {
        configureEnvironment(child, name, includeHand);
    }
}

async::Task<void> GhostView::buildHouseCollision(std::weak_ptr<GhostView> owner, std::weak_ptr<platform::Entity> target,
                                                 std::shared_ptr<const platform::MeshResource> mesh)
{
    std::optional<platform::ShapeResource> shape;
    std::string failure;
    try {
        shape = co_await platform::ShapeResource::generateStaticMesh(mesh);
    } catch (const async::CancellationError&) {
        co_return;
    } catch (const std::exception& error) {
        failure = error.what();
    }
    const std::shared_ptr<GhostView> view = owner.lock();
    if (!shape) {
        if (view) {
            view->log("E4 HOUSE COLLISION FAILED " + failure, false);
        }
        co_return;
    }
    if (!view || view->stopped_ || co_await async::isCancelled()) {
        co_return;
    }
    const platform::EntityPtr entity = target.lock();
    if (!entity) {
        co_return;
    }
    entity->components.set(platform::CollisionComponent({*shape}));
    view->log("E4 house triangle collision ready", false);
}

} // namespace gloam
