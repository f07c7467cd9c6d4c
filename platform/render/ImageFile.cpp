#include "platform/render/ImageFile.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <memory>
#include <stdexcept>

namespace gloam::render {

void ImageFile::writePng(const std::filesystem::path& file, int width, int height,
                         const std::vector<std::uint8_t>& rgba)
{
    if (width <= 0 || height <= 0 || rgba.size() < static_cast<size_t>(width) * static_cast<size_t>(height) * 4 ||
        !stbi_write_png(file.c_str(), width, height, 4, rgba.data(), width * 4)) {
        throw std::runtime_error("The picture “" + file.string() + "” could not be written.");
    }
}

ImagePtr ImageFile::read(const std::filesystem::path& file, ImageData::Encoding encoding)
{
    auto image = std::make_shared<ImageData>();
    image->id = ImageData::nextId();
    image->encoding = encoding;
    int channels = 0;
    if (encoding == ImageData::Encoding::float32) {
        std::unique_ptr<float, void (*)(void*)> pixels(
            stbi_loadf(file.c_str(), &image->width, &image->height, &channels, 4), stbi_image_free);
        if (!pixels)
            throw std::runtime_error("The picture “" + file.string() + "” could not be read.");
        image->floats.assign(pixels.get(), pixels.get() + static_cast<size_t>(image->width) * image->height * 4);
    } else {
        std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
            stbi_load(file.c_str(), &image->width, &image->height, &channels, 4), stbi_image_free);
        if (!pixels)
            throw std::runtime_error("The picture “" + file.string() + "” could not be read.");
        image->bytes.assign(pixels.get(), pixels.get() + static_cast<size_t>(image->width) * image->height * 4);
    }
    return image;
}

} // namespace gloam::render
