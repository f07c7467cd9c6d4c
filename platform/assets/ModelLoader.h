#pragma once

#include "platform/async/Task.h"
#include "platform/scene/Entity.h"

#include <filesystem>
#include <stdexcept>
#include <string>

namespace gloam::platform {

// A model file that cannot be loaded; the text names the file and says
// what is wrong with it.
class ModelLoadError : public std::runtime_error {
public:
    explicit ModelLoadError(const std::string& what)
        : std::runtime_error(what)
    {}
};

// Loads glTF 2.0 model files (binary `.glb`, or `.gltf` with its buffers)
// into entity trees: one entity per node, named as the node, under a root
// entity with the given name. A node with a mesh carries a model component
// whose mesh has one part per primitive and whose materials are the
// primitives' materials in order, names kept; embedded images become
// textures; skins become skin components bound to the joint entities; the
// file's animation clips are the root's available animations.
class ModelLoader {
public:
    // Parses and builds on the worker pool; resumes on the main thread.
    static async::Task<EntityPtr> load(std::filesystem::path file, std::string name = {});
    // The same, on the calling thread.
    static EntityPtr loadNow(const std::filesystem::path& file, const std::string& name = {});
};

} // namespace gloam::platform
