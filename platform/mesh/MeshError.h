#pragma once

#include <stdexcept>
#include <string>

namespace gloam::platform {

// A mesh that cannot be made from the data given; the text says which mesh
// and what is wrong.
class MeshError : public std::runtime_error {
public:
    explicit MeshError(const std::string& what)
        : std::runtime_error(what)
    {}
};

} // namespace gloam::platform
