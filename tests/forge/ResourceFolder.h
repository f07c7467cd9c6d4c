#pragma once

#include <filesystem>

namespace gloam::forge::testing {

// The resource folder the build's forge step wrote.
inline std::filesystem::path resourceFolder()
{
    return GLOAMYARD_RESOURCE_DIR;
}

} // namespace gloam::forge::testing
