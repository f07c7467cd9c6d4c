#include "platform/render/ImageData.h"

#include <atomic>

namespace gloam::render {

std::uint64_t ImageData::nextId()
{
    static std::atomic<std::uint64_t> counter{1ull << 40};
    return counter++;
}

} // namespace gloam::render
