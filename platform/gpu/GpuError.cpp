#include "platform/gpu/GpuError.h"

#include <utility>

namespace gloam::gpu {

GpuError::GpuError(std::string domain, int code, const std::string& description)
    : std::runtime_error(description + " (" + domain + " error " + std::to_string(code) + ")")
    , domain_(std::move(domain))
    , code_(code)
{}

} // namespace gloam::gpu
