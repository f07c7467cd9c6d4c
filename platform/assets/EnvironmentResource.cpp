#include "platform/assets/EnvironmentResource.h"

#include "platform/async/Suspensions.h"

#include <atomic>
#include <cmath>
#include <stdexcept>

namespace gloam::platform {

namespace {

std::uint64_t nextEnvironmentId()
{
    static std::atomic<std::uint64_t> counter{0};
    return ++counter;
}

float srgbToLinear(float c)
{
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}

} // namespace

EnvironmentResource::EnvironmentResource(std::string name, TexturePtr image)
    : id_(nextEnvironmentId())
    , name_(std::move(name))
    , image_(std::move(image))
{}

std::shared_ptr<const EnvironmentResource> EnvironmentResource::makeNow(const TexturePtr& source, std::string name)
{
    if (!source) {
        throw std::invalid_argument("environment \"" + name + "\": no image");
    }
    const int w = source->width();
    const int h = source->height();
    if (w != 2 * h) {
        throw std::invalid_argument("environment \"" + name +
                                    "\": an equirectangular image is twice as wide as high, not " + std::to_string(w) +
                                    " × " + std::to_string(h));
    }
    TexturePtr linear = source;
    if (source->format() == TextureResource::PixelFormat::rgba8) {
        std::vector<float> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
        const auto& bytes = source->base().bytes;
        const bool srgb = source->semantic() == TextureResource::Semantic::color;
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            const float v = static_cast<float>(bytes[i]) / 255.0f;
            pixels[i] = (srgb && i % 4 != 3) ? srgbToLinear(v) : v;
        }
        linear = TextureResource::fromFloatPixels(w, h, pixels, name);
    }
    return std::shared_ptr<const EnvironmentResource>(new EnvironmentResource(std::move(name), std::move(linear)));
}

async::Task<std::shared_ptr<const EnvironmentResource>> EnvironmentResource::make(TexturePtr equirectangular,
                                                                                  std::string name)
{
    // A named job, not a temporary in the co_await operand: GCC 12 copies
    // such a temporary wrongly (its captures then point into the frame).
    auto work = [equirectangular, name] { return makeNow(equirectangular, name); };
    auto environment = co_await async::onWorker(std::move(work));
    co_return environment;
}

} // namespace gloam::platform
