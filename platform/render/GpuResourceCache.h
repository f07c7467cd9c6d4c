#pragma once

#include "platform/render/ImageData.h"
#include "platform/render/MeshChunks.h"
#include "platform/render/MeshData.h"

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>

namespace gloam::render {

// The GL copies of the meshes and pictures that frame packets refer to,
// made the first time a packet shows them and released once nothing
// refers to the source any more. Render thread only.
class GpuResourceCache {
public:
    // One triangle list of a mesh in its index buffer. A large unskinned
    // mesh also holds the same triangles part by part; each part's
    // firstIndex is into the whole index buffer.
    struct Triangles {
        int firstIndex = 0;
        int indexCount = 0;
        std::vector<MeshChunks::Chunk> chunks;
    };

    struct Mesh {
        unsigned vertexArray = 0;
        std::array<unsigned, 7> buffers{};
        Triangles full;
        // Made only while lighter meshes are asked for; the same range as
        // `full` for a mesh too small to make lighter.
        Triangles lighter;
        bool hasLighter = false;
        bool skinned = false;
        bool hasTangents = false;
        std::size_t bytes = 0; // of its buffers
        std::weak_ptr<const MeshData> source;

        const Triangles& triangles(bool lighterWanted) const { return lighterWanted && hasLighter ? lighter : full; }
    };

    // What the cache holds now: its entries and the bytes of their buffers
    // and texture levels (the two fallback pixels not counted).
    struct Stats {
        std::size_t meshes = 0;
        std::size_t textures = 0;
        std::size_t bytes = 0;
        std::size_t entries() const { return meshes + textures; }
    };

    enum class Fallback { white, flatNormal };
    // Meshes of more triangles than this are also split into parts of at
    // most `chunkTriangles`.
    static constexpr int chunkedAbove = 8192;
    static constexpr int chunkTriangles = 2048;

    GpuResourceCache();
    ~GpuResourceCache();
    GpuResourceCache(const GpuResourceCache&) = delete;
    GpuResourceCache& operator=(const GpuResourceCache&) = delete;

    const Mesh& mesh(const MeshPtr& data);
    // Meshes made from now on also get a lighter triangle list (see
    // LighterMesh); those made before get one when next asked for.
    void setLighterMeshes(bool wanted) { lighterMeshes_ = wanted; }
    // The texture of `image`, or the fallback's 1 × 1 texture without one.
    unsigned texture(const ImagePtr& image, Fallback fallback = Fallback::white);
    int mipLevels(const ImagePtr& image);

    // Releases what no packet refers to any more.
    void collect();
    Stats stats() const;

    // The most anisotropic filtering a texture gets (1: none); applies to
    // the textures made so far too.
    void setMaxAnisotropy(float maximum);
    float maxAnisotropy() const { return maxAnisotropy_; }

private:
    struct Texture {
        unsigned name = 0;
        int levels = 1;
        std::size_t bytes = 0; // every level
        std::weak_ptr<const ImageData> source;
    };
    Texture& upload(const ImagePtr& image);
    void applyAnisotropy(unsigned name) const;

    std::unordered_map<std::uint64_t, Mesh> meshes_;
    std::unordered_map<std::uint64_t, Texture> textures_;
    bool lighterMeshes_ = false;
    unsigned white_ = 0;
    unsigned flatNormal_ = 0;
    float maxAnisotropy_ = 4.0f;
};

} // namespace gloam::render
