#pragma once

#include "platform/assets/TextureResource.h"
#include "platform/async/Task.h"

#include <cstdint>
#include <memory>
#include <string>

namespace gloam::platform {

// Image-based light: an equirectangular picture of the surroundings
// (linear floating-point RGBA, longitude along x from −z through +x,
// latitude along y from +y at the top row). The renderer prefilters it.
class EnvironmentResource {
public:
    // Made on the worker pool: converts an 8-bit (sRGB) or float texture to
    // linear float. Throws std::invalid_argument for an image that is not
    // 2:1 or has no pixels.
    static async::Task<std::shared_ptr<const EnvironmentResource>> make(TexturePtr equirectangular,
                                                                        std::string name = {});
    static std::shared_ptr<const EnvironmentResource> makeNow(const TexturePtr& equirectangular, std::string name = {});

    std::uint64_t id() const { return id_; }
    const std::string& name() const { return name_; }
    // The linear float picture (one level).
    const TexturePtr& equirectangular() const { return image_; }

private:
    EnvironmentResource(std::string name, TexturePtr image);

    std::uint64_t id_;
    std::string name_;
    TexturePtr image_;
};

} // namespace gloam::platform
