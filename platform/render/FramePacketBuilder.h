#pragma once

#include "platform/render/FramePacket.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <unordered_map>

namespace gloam::platform {
class MeshResource;
class TextureResource;
class View3D;
} // namespace gloam::platform

namespace gloam::render {

// Turns what a 3D view shows into an immutable frame packet, on the main
// thread after the frame update: every model part of every entity enabled
// in the hierarchy (with its world transform, inherited opacity, shadow
// flag, material values and joint matrices), every light (all the
// directional ones too, in scene order), the camera, the
// environment and the view's post-process slot.
//
// Meshes and pictures are converted once and shared by later packets for
// as long as the scene keeps their sources.
class FramePacketBuilder {
public:
    FramePacket build(const platform::View3D& view, double time);

    // The converted meshes, pictures and shader libraries held now.
    struct Stats {
        std::size_t meshes = 0;
        std::size_t images = 0;
        std::size_t libraries = 0;
    };
    Stats stats() const { return {meshes_.size(), images_.size(), libraries_.size()}; }

private:
    MeshPtr meshPart(const std::shared_ptr<const platform::MeshResource>& mesh, std::size_t part);
    ImagePtr image(const std::shared_ptr<const platform::TextureResource>& texture);

    struct MeshEntry {
        std::weak_ptr<const platform::MeshResource> source;
        std::vector<MeshPtr> parts;
    };
    struct ImageEntry {
        std::weak_ptr<const platform::TextureResource> source;
        ImagePtr image;
    };
    std::unordered_map<std::uint64_t, MeshEntry> meshes_;
    std::unordered_map<std::uint64_t, ImageEntry> images_;
    // Keyed by the library text, which each entry keeps alive.
    std::map<const void*, std::pair<std::shared_ptr<const std::string>, std::shared_ptr<const gpu::ShaderLibrary>>>
        libraries_;
};

} // namespace gloam::render
