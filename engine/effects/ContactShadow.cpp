#include "engine/effects/ContactShadow.h"

#include "platform/assets/TextureResource.h"
#include "platform/material/UnlitMaterial.h"
#include "platform/mesh/MeshResource.h"

#include <cmath>
#include <exception>

namespace gloam {

std::vector<std::uint8_t> ContactShadow::image()
{
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(imageWidth) * imageHeight * 4, 0);
    for (int i = 0; i < imageHeight; ++i) {
        const double u = (static_cast<double>(i) / imageHeight - 0.5) / 0.37;
        for (int j = 0; j < imageWidth; ++j) {
            const double w = (static_cast<double>(j) / imageWidth - 0.5) / 0.4;
            const double alpha = 242.0 * std::exp(-1.6 * (std::pow(u, 6.0) + std::pow(w, 6.0)));
            rgba[(static_cast<std::size_t>(i) * imageWidth + static_cast<std::size_t>(j)) * 4 + 3] =
                static_cast<std::uint8_t>(alpha);
        }
    }
    return rgba;
}

std::shared_ptr<platform::ModelEntity> ContactShadow::make(glm::vec2 footprint)
{
    platform::TexturePtr texture;
    try {
        // Black everywhere, so straight and premultiplied alpha agree.
        texture = platform::TextureResource::fromPixels(
            imageWidth, imageHeight, image(), "ContactShadow",
            {platform::TextureSemantic::color, platform::TextureMipmapsMode::allocateAndGenerateAll});
    } catch (const std::exception&) {
        return nullptr;
    }
    platform::UnlitMaterial material(platform::rgb(1.0F, 1.0F, 1.0F));
    material.color.texture = texture;
    material.blending = platform::Blending::transparent(1.0F);
    auto shadow =
        platform::ModelEntity::make(platform::MeshResource::generatePlane(footprint.x, footprint.y, 0.0F), {material});
    shadow->setPosition({0.0F, height, 0.0F});
    return shadow;
}

} // namespace gloam
