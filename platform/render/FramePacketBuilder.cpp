#include "platform/render/FramePacketBuilder.h"

#include "platform/assets/EnvironmentResource.h"
#include "platform/assets/JointMatrices.h"
#include "platform/assets/TextureResource.h"
#include "platform/gpu/CommandBuffer.h"
#include "platform/gpu/GpuTexture.h"
#include "platform/gpu/ShaderLibrary.h"
#include "platform/material/Material.h"
#include "platform/mesh/MeshResource.h"
#include "platform/scene/DirectionalLightComponent.h"
#include "platform/scene/DynamicLightShadowComponent.h"
#include "platform/scene/ModelComponent.h"
#include "platform/scene/PerspectiveCameraComponent.h"
#include "platform/scene/PointLightComponent.h"
#include "platform/scene/View3D.h"

#include <glm/gtc/matrix_transform.hpp>

namespace gloam::render {

namespace {

FaceCulling culling(platform::FaceCulling value)
{
    switch (value) {
    case platform::FaceCulling::none:
        return FaceCulling::none;
    case platform::FaceCulling::front:
        return FaceCulling::front;
    case platform::FaceCulling::back:
        return FaceCulling::back;
    }
    return FaceCulling::back;
}

} // namespace

MeshPtr FramePacketBuilder::meshPart(const std::shared_ptr<const platform::MeshResource>& mesh, std::size_t part)
{
    auto& entry = meshes_[mesh->id()];
    if (entry.source.expired() || entry.parts.size() != mesh->parts().size()) {
        entry.source = mesh;
        entry.parts.clear();
        for (const auto& source : mesh->parts()) {
            auto data = std::make_shared<MeshData>();
            data->positions = source.positions;
            data->normals = source.normals;
            data->textureCoordinates = source.textureCoordinates;
            data->tangents = source.tangents;
            data->indices = source.indices;
            data->jointIndices = source.jointIndices;
            data->jointWeights = source.jointWeights;
            data->finish();
            entry.parts.push_back(std::move(data));
        }
    }
    return entry.parts[part];
}

ImagePtr FramePacketBuilder::image(const std::shared_ptr<const platform::TextureResource>& texture)
{
    if (!texture)
        return nullptr;
    auto& entry = images_[texture->id()];
    if (entry.image && !entry.source.expired())
        return entry.image;
    using Semantic = platform::TextureResource::Semantic;
    auto data = std::make_shared<ImageData>();
    data->id = ImageData::nextId();
    data->width = texture->width();
    data->height = texture->height();
    // The picture borrows the texture's pixels instead of copying them: the
    // texture lives on while the picture does (see `build`).
    const auto& bytes = texture->base().bytes;
    if (texture->format() == platform::TextureResource::PixelFormat::rgba32f) {
        data->encoding = ImageData::Encoding::float32;
        data->floats = SharedPixels<float>::borrowed(texture, reinterpret_cast<const float*>(bytes.data()),
                                                     bytes.size() / sizeof(float));
    } else {
        data->encoding =
            texture->semantic() == Semantic::color ? ImageData::Encoding::srgb8 : ImageData::Encoding::linear8;
        data->bytes = SharedPixels<std::uint8_t>::borrowed(texture, bytes.data(), bytes.size());
    }
    data->mipmaps = texture->hasMipmaps() || texture->semantic() != Semantic::hdrColor;
    entry = {texture, data};
    return data;
}

FramePacket FramePacketBuilder::build(const platform::View3D& view, double time)
{
    FramePacket packet;
    packet.time = time;

    if (auto camera = view.camera()) {
        const auto* lens = camera->components.get<platform::PerspectiveCameraComponent>();
        glm::mat4 world = camera->worldMatrix();
        // The camera's scale does not change what it sees.
        for (int axis = 0; axis < 3; ++axis)
            world[axis] = glm::vec4(glm::normalize(glm::vec3(world[axis])), 0.0f);
        packet.camera.world = world;
        if (lens) {
            packet.camera.verticalFieldOfView = glm::radians(lens->fieldOfViewInDegrees);
            packet.camera.nearPlane = lens->near;
            packet.camera.farPlane = lens->far;
        }
    }

    const auto& environment = view.environment();
    packet.environment.background = environment.background;
    if (environment.lighting.resource) {
        packet.environment.image = image(environment.lighting.resource->equirectangular());
        packet.environment.intensityExponent = environment.lighting.intensityExponent;
    }

    view.scene().forEachEnabled([&](platform::Entity& entity, const glm::mat4& world, float opacity) {
        if (const auto* light = entity.components.get<platform::PointLightComponent>()) {
            packet.pointLights.push_back(
                {glm::vec3(world[3]), glm::vec3(light->color), light->intensity, light->attenuationRadius});
        }
        if (const auto* light = entity.components.get<platform::DirectionalLightComponent>()) {
            DirectionalLightRecord record;
            record.direction = -glm::normalize(glm::vec3(world[2]));
            record.color = glm::vec3(light->color);
            record.intensity = light->intensity;
            const auto* shadow = entity.components.get<platform::DirectionalLightShadowComponent>();
            record.castsShadow = shadow != nullptr;
            if (shadow) {
                record.shadowMaximumDistance = shadow->maximumDistance;
                record.shadowDepthBias = shadow->depthBias;
            }
            packet.directionalLights.push_back(record);
        }
        const auto* model = entity.components.get<platform::ModelComponent>();
        if (!model || !model->mesh || opacity <= 0.0f)
            return;
        const auto* shadowFlag = entity.components.get<platform::DynamicLightShadowComponent>();
        const bool casts = !shadowFlag || shadowFlag->castsShadow;
        const std::vector<glm::mat4> joints = platform::jointMatrices(entity);
        const auto& parts = model->mesh->parts();
        for (std::size_t p = 0; p < parts.size(); ++p) {
            const platform::Material* material = model->materialFor(parts[p]);
            DrawItem item;
            item.mesh = meshPart(model->mesh, p);
            item.world = world;
            item.opacity = opacity;
            item.castsShadow = casts;
            item.jointMatrices = joints;
            MaterialValues& m = item.material;
            if (material == nullptr) {
                m.baseColor = {1, 1, 1, 1};
            } else if (const auto* pbr = platform::asPhysicallyBased(*material)) {
                m.baseColor = pbr->baseColor.tint;
                m.baseColorTexture = image(pbr->baseColor.texture);
                m.roughness = pbr->roughness;
                m.metallic = pbr->metallic;
                m.specular = pbr->specular;
                m.normalTexture = image(pbr->normal);
                m.roughnessMetallicTexture = image(pbr->roughnessTexture);
                m.occlusionTexture = image(pbr->occlusion);
                m.emissiveColor = pbr->emissiveColor.color;
                m.emissiveTexture = image(pbr->emissiveColor.texture);
                m.emissiveIntensity = pbr->emissiveIntensity;
                m.faceCulling = culling(pbr->faceCulling);
                m.transparent = pbr->blending.isTransparent();
                m.opacity = pbr->blending.opacity;
            } else if (const auto* unlit = platform::asUnlit(*material)) {
                m.model = MaterialValues::Model::unlit;
                m.baseColor = unlit->color.tint;
                m.baseColorTexture = image(unlit->color.texture);
                m.faceCulling = culling(unlit->faceCulling);
                m.transparent = unlit->blending.isTransparent();
                m.opacity = unlit->blending.opacity;
                m.toneMapped = unlit->toneMapped;
                m.writesDepth = unlit->writesDepth;
            } else if (const auto* custom = platform::asCustom(*material)) {
                m.model = MaterialValues::Model::custom;
                m.customLit = custom->lightingModel == platform::CustomMaterial::LightingModel::lit;
                m.baseColor = custom->baseColor.tint;
                m.baseColorTexture = image(custom->baseColor.texture);
                m.roughness = custom->roughness;
                m.metallic = custom->metallic;
                m.specular = custom->specular;
                m.normalTexture = image(custom->normal);
                m.emissiveColor = custom->emissiveColor.color;
                m.emissiveTexture = image(custom->emissiveColor.texture);
                m.emissiveIntensity = custom->emissiveIntensity;
                m.customValue = custom->custom.value;
                m.customTexture = image(custom->custom.texture);
                m.faceCulling = culling(custom->faceCulling);
                m.transparent = custom->blending.isTransparent();
                m.opacity = custom->blending.opacity;
                m.writesDepth = custom->writesDepth;
                m.toneMapped = custom->toneMapped;
                const auto& shader = custom->surfaceShader;
                if (shader.librarySource) {
                    auto& entry = libraries_[shader.librarySource.get()];
                    if (!entry.second) {
                        entry.first = shader.librarySource;
                        entry.second = std::make_shared<gpu::ShaderLibrary>(gpu::ShaderLibrary::fromSource(
                            shader.libraryFile.filename().string(), *shader.librarySource));
                    }
                    m.surfaceLibrary = entry.second;
                    m.surfaceFunction = shader.functionName;
                }
            }
            packet.draws.push_back(std::move(item));
        }
    });

    // The view's post-process slot as it is now.
    if (auto slot = view.postProcess()) {
        packet.postProcess = [slot](const PostProcessContext& context) { (*slot)(context); };
    }

    // Forget sources the scene has let go of, at once: a mesh replaced every
    // frame (the rising ghost's cloth) would otherwise leave a train of
    // large copies behind, freed in batches, which scatters the heap.
    std::erase_if(meshes_, [](const auto& entry) { return entry.second.source.expired(); });
    // A picture holds its texture (it borrows the pixels): the scene has let
    // go of the texture when the picture's is the last hold on it.
    std::erase_if(images_, [](const auto& entry) { return entry.second.source.use_count() <= 1; });
    return packet;
}

} // namespace gloam::render
