#include "platform/assets/TextureResource.h"

#include "platform/async/Suspensions.h"

#include <stb_image.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <vector>

namespace gloam::platform {

namespace {

std::uint64_t nextTextureId()
{
    static std::atomic<std::uint64_t> counter{0};
    return ++counter;
}

std::atomic<long> liveTextures{0};

float srgbToLinear(float c)
{
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}

const std::array<float, 256>& srgbTable()
{
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int i = 0; i < 256; ++i) {
            t[static_cast<std::size_t>(i)] = srgbToLinear(static_cast<float>(i) / 255.0f);
        }
        return t;
    }();
    return table;
}

std::uint8_t toByte(float v)
{
    return static_cast<std::uint8_t>(std::clamp(std::lround(v * 255.0f), 0L, 255L));
}

// The sRGB byte nearest to a linear value 0...1: byte k covers the linear
// values between the decodings of k - 0.5 and k + 0.5. The answer is looked
// up for the value rounded to 16 bits (closer than half a byte's step even
// next to black), without a power per pixel: mip levels of large pictures
// otherwise spend most of their time here.
std::uint8_t linearToSrgbByte(float v)
{
    static const std::vector<std::uint8_t> bytes = [] {
        std::array<float, 255> bounds{};
        for (int k = 0; k < 255; ++k) {
            bounds[static_cast<std::size_t>(k)] = srgbToLinear((static_cast<float>(k) + 0.5f) / 255.0f);
        }
        std::vector<std::uint8_t> table(65536);
        for (std::size_t i = 0; i < table.size(); ++i) {
            const float linear = static_cast<float>(i) / 65535.0f;
            table[i] =
                static_cast<std::uint8_t>(std::upper_bound(bounds.begin(), bounds.end(), linear) - bounds.begin());
        }
        return table;
    }();
    const float c = v > 0.0f ? std::min(v, 1.0f) : 0.0f; // not a number: black
    return bytes[static_cast<std::size_t>(c * 65535.0f + 0.5f)];
}

// The next level down: each pixel the mean of the 2 × 2 pixels above it (the
// last row or column repeated where the size is odd). Colour is averaged in
// linear light; normals are renormalised; alpha and raw data are averaged
// as they are. The rows and columns are worked out once per row and pixel,
// not per tap: large pictures spend most of their loading time here.
TextureResource::Level halve8(const TextureResource::Level& src, TextureResource::Semantic semantic)
{
    TextureResource::Level dst;
    dst.width = std::max(1, src.width / 2);
    dst.height = std::max(1, src.height / 2);
    dst.bytes.resize(static_cast<std::size_t>(dst.width) * static_cast<std::size_t>(dst.height) * 4);
    const auto& table = srgbTable();
    const auto rowStride = static_cast<std::size_t>(src.width) * 4;
    for (int y = 0; y < dst.height; ++y) {
        const std::uint8_t* row0 = &src.bytes[static_cast<std::size_t>(std::min(src.height - 1, y * 2)) * rowStride];
        const std::uint8_t* row1 =
            &src.bytes[static_cast<std::size_t>(std::min(src.height - 1, y * 2 + 1)) * rowStride];
        std::uint8_t* out = &dst.bytes[static_cast<std::size_t>(y) * static_cast<std::size_t>(dst.width) * 4];
        for (int x = 0; x < dst.width; ++x, out += 4) {
            const auto x0 = static_cast<std::size_t>(std::min(src.width - 1, x * 2)) * 4;
            const auto x1 = static_cast<std::size_t>(std::min(src.width - 1, x * 2 + 1)) * 4;
            const std::uint8_t* p[4] = {row0 + x0, row0 + x1, row1 + x0, row1 + x1};
            const auto byteMean = [&p](int c) {
                const int sum = p[0][c] + p[1][c] + p[2][c] + p[3][c];
                return static_cast<std::uint8_t>((sum + 2) / 4);
            };
            switch (semantic) {
            case TextureResource::Semantic::color:
                for (int c = 0; c < 3; ++c) {
                    const float mean = (table[p[0][c]] + table[p[1][c]] + table[p[2][c]] + table[p[3][c]]) * 0.25f;
                    out[c] = linearToSrgbByte(mean);
                }
                out[3] = byteMean(3);
                break;
            case TextureResource::Semantic::normal: {
                float v[3];
                for (int c = 0; c < 3; ++c) {
                    v[c] = static_cast<float>(p[0][c] + p[1][c] + p[2][c] + p[3][c]) / (4.0f * 255.0f);
                }
                float nx = v[0] * 2 - 1, ny = v[1] * 2 - 1, nz = v[2] * 2 - 1;
                const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
                if (len > 1e-6f) {
                    nx /= len;
                    ny /= len;
                    nz /= len;
                }
                out[0] = toByte(nx * 0.5f + 0.5f);
                out[1] = toByte(ny * 0.5f + 0.5f);
                out[2] = toByte(nz * 0.5f + 0.5f);
                out[3] = byteMean(3);
                break;
            }
            default:
                for (int c = 0; c < 4; ++c) {
                    out[c] = byteMean(c);
                }
                break;
            }
        }
    }
    return dst;
}

TextureResource::Level halveFloat(const TextureResource::Level& src)
{
    TextureResource::Level dst;
    dst.width = std::max(1, src.width / 2);
    dst.height = std::max(1, src.height / 2);
    dst.bytes.resize(static_cast<std::size_t>(dst.width) * static_cast<std::size_t>(dst.height) * 16);
    auto at = [](const TextureResource::Level& l, int x, int y) {
        float px[4];
        std::memcpy(
            px,
            &l.bytes[(static_cast<std::size_t>(y) * static_cast<std::size_t>(l.width) + static_cast<std::size_t>(x)) *
                     16],
            16);
        return std::array<float, 4>{px[0], px[1], px[2], px[3]};
    };
    for (int y = 0; y < dst.height; ++y) {
        for (int x = 0; x < dst.width; ++x) {
            float sum[4] = {0, 0, 0, 0};
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx) {
                    const auto p = at(src, std::min(src.width - 1, x * 2 + dx), std::min(src.height - 1, y * 2 + dy));
                    for (int c = 0; c < 4; ++c) {
                        sum[c] += p[static_cast<std::size_t>(c)] * 0.25f;
                    }
                }
            }
            std::memcpy(&dst.bytes[(static_cast<std::size_t>(y) * static_cast<std::size_t>(dst.width) +
                                    static_cast<std::size_t>(x)) *
                                   16],
                        sum, 16);
        }
    }
    return dst;
}

std::vector<std::uint8_t> readFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw std::runtime_error("texture " + file.string() + " cannot be read: no such file or no permission");
    }
    std::error_code ignored;
    if (std::filesystem::is_directory(file, ignored)) {
        throw std::runtime_error("texture " + file.string() + " cannot be read: it is a folder");
    }
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) { // a folder, an I/O error
        throw std::runtime_error("texture " + file.string() + " cannot be read");
    }
    return bytes;
}

// stb keeps its last failure in a global that a successful call does not
// set, and that is null before any failure.
std::string decodeFailure()
{
    const char* reason = stbi_failure_reason();
    return reason ? reason : "unknown image format";
}

} // namespace

TextureResource::TextureResource(std::string name, Semantic semantic, PixelFormat format, Level base, bool mipmaps)
    : id_(nextTextureId())
    , name_(std::move(name))
    , semantic_(semantic)
    , format_(format)
{
    if (mipmaps) {
        for (int w = base.width, h = base.height; w > 1 || h > 1; w = std::max(w / 2, 1), h = std::max(h / 2, 1))
            ++levelCount_;
    }
    levels_.reserve(levelCount_);
    levels_.push_back(std::move(base));
    base_ = &levels_.front();
    liveTextures.fetch_add(1, std::memory_order_relaxed);
}

const std::vector<TextureResource::Level>& TextureResource::levels() const
{
    std::call_once(lowerLevelsMade_, [this] {
        while (levels_.size() < levelCount_) {
            levels_.push_back(format_ == PixelFormat::rgba8 ? halve8(levels_.back(), semantic_)
                                                            : halveFloat(levels_.back()));
        }
    });
    return levels_;
}

TextureResource::~TextureResource()
{
    liveTextures.fetch_sub(1, std::memory_order_relaxed);
}

long TextureResource::liveCount()
{
    return liveTextures.load(std::memory_order_relaxed);
}

std::shared_ptr<const TextureResource> TextureResource::decode(const std::vector<std::uint8_t>& encoded,
                                                               const std::string& name, CreateOptions options)
{
    if (encoded.empty() || encoded.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw std::runtime_error("image \"" + name + "\" cannot be decoded: " +
                                 (encoded.empty() ? "the file is empty" : "the file is too large"));
    }
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels =
        stbi_load_from_memory(encoded.data(), static_cast<int>(encoded.size()), &width, &height, &channels, 4);
    if (!pixels) {
        throw std::runtime_error("image \"" + name + "\" cannot be decoded: " + decodeFailure());
    }
    std::vector<std::uint8_t> rgba(pixels,
                                   pixels + static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    stbi_image_free(pixels);
    return fromPixels(width, height, std::move(rgba), name, options);
}

std::shared_ptr<const TextureResource> TextureResource::load(const std::filesystem::path& file, const std::string& name,
                                                             CreateOptions options)
{
    const auto bytes = readFile(file);
    try {
        return decode(bytes, name.empty() ? file.filename().string() : name, options);
    } catch (const std::exception& error) {
        // The reason is the decoder's own message, not stb's global, which
        // says nothing when the pixels were decoded but then refused.
        throw std::runtime_error("texture " + file.string() + " cannot be decoded: " + error.what());
    }
}

async::Task<std::shared_ptr<const TextureResource>> TextureResource::loadAsync(std::filesystem::path file,
                                                                               std::string name, CreateOptions options)
{
    // A named job, not a temporary in the co_await operand: GCC 12 copies
    // such a temporary wrongly (its captures then point into the frame).
    auto work = [file, name, options] { return load(file, name, options); };
    auto texture = co_await async::onWorker(std::move(work));
    co_return texture;
}

std::shared_ptr<const TextureResource> TextureResource::fromPixels(int width, int height,
                                                                   std::vector<std::uint8_t> rgba,
                                                                   const std::string& name, CreateOptions options)
{
    if (width <= 0 || height <= 0) {
        throw std::invalid_argument("texture \"" + name + "\": no pixels");
    }
    if (rgba.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4) {
        throw std::invalid_argument("texture \"" + name + "\": " + std::to_string(rgba.size()) + " bytes for " +
                                    std::to_string(width) + " × " + std::to_string(height) + " RGBA pixels");
    }
    if (options.semantic == Semantic::hdrColor) {
        options.semantic = Semantic::raw; // 8-bit data cannot be HDR
    }
    Level base{width, height, std::move(rgba)};
    return std::shared_ptr<const TextureResource>(
        new TextureResource(name, options.semantic, PixelFormat::rgba8, std::move(base),
                            options.mipmapsMode == MipmapsMode::allocateAndGenerateAll));
}

std::shared_ptr<const TextureResource> TextureResource::fromFloatPixels(int width, int height,
                                                                        const std::vector<float>& rgba,
                                                                        const std::string& name, CreateOptions options)
{
    if (width <= 0 || height <= 0) {
        throw std::invalid_argument("texture \"" + name + "\": no pixels");
    }
    if (rgba.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4) {
        throw std::invalid_argument("texture \"" + name + "\": " + std::to_string(rgba.size()) + " floats for " +
                                    std::to_string(width) + " × " + std::to_string(height) + " RGBA pixels");
    }
    Level base{width, height, std::vector<std::uint8_t>(rgba.size() * sizeof(float))};
    std::memcpy(base.bytes.data(), rgba.data(), base.bytes.size());
    return std::shared_ptr<const TextureResource>(
        new TextureResource(name, Semantic::hdrColor, PixelFormat::rgba32f, std::move(base),
                            options.mipmapsMode == MipmapsMode::allocateAndGenerateAll));
}

std::vector<float> TextureResource::pixel(int x, int y) const
{
    const Level& l = *base_;
    x = std::clamp(x, 0, l.width - 1);
    y = std::clamp(y, 0, l.height - 1);
    const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(l.width) + static_cast<std::size_t>(x);
    std::vector<float> out(4);
    if (format_ == PixelFormat::rgba32f) {
        std::memcpy(out.data(), &l.bytes[i * 16], 16);
    } else {
        for (std::size_t c = 0; c < 4; ++c) {
            out[c] = static_cast<float>(l.bytes[i * 4 + c]) / 255.0f;
        }
    }
    return out;
}

} // namespace gloam::platform
