#include "platform/render/GpuResourceCache.h"

#include "platform/render/LighterMesh.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>

namespace gloam::render {

namespace {

unsigned onePixel(const std::uint8_t rgba[4])
{
    unsigned name = 0;
    glCreateTextures(GL_TEXTURE_2D, 1, &name);
    glTextureStorage2D(name, 1, GL_RGBA8, 1, 1);
    glTextureSubImage2D(name, 0, 0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return name;
}

template <typename T>
unsigned makeBuffer(const std::vector<T>& values, std::size_t& bytes)
{
    unsigned name = 0;
    const std::size_t size = std::max<size_t>(values.size(), 1) * sizeof(T);
    glCreateBuffers(1, &name);
    glNamedBufferStorage(name, static_cast<GLsizeiptr>(size), values.empty() ? nullptr : values.data(), 0);
    bytes += size;
    return name;
}

// The bytes of a texture's levels: each level a quarter of the one above.
std::size_t textureBytes(int width, int height, int levels, std::size_t pixelBytes)
{
    std::size_t total = 0;
    for (int level = 0; level < levels; ++level) {
        total += static_cast<std::size_t>(std::max(width >> level, 1)) *
                 static_cast<std::size_t>(std::max(height >> level, 1)) * pixelBytes;
    }
    return total;
}

void deleteMesh(GpuResourceCache::Mesh& mesh)
{
    glDeleteVertexArrays(1, &mesh.vertexArray);
    for (unsigned& b : mesh.buffers) {
        if (b != 0)
            glDeleteBuffers(1, &b);
    }
}

} // namespace

GpuResourceCache::GpuResourceCache()
{
    const std::uint8_t white[4] = {255, 255, 255, 255};
    const std::uint8_t flat[4] = {128, 128, 255, 255};
    white_ = onePixel(white);
    flatNormal_ = onePixel(flat);
}

GpuResourceCache::~GpuResourceCache()
{
    for (auto& [id, mesh] : meshes_)
        deleteMesh(mesh);
    for (auto& [id, texture] : textures_)
        glDeleteTextures(1, &texture.name);
    glDeleteTextures(1, &white_);
    glDeleteTextures(1, &flatNormal_);
}

const GpuResourceCache::Mesh& GpuResourceCache::mesh(const MeshPtr& data)
{
    auto found = meshes_.find(data->id);
    if (found != meshes_.end() && !found->second.source.expired() && (!lighterMeshes_ || found->second.hasLighter))
        return found->second;
    if (found != meshes_.end()) {
        deleteMesh(found->second);
        meshes_.erase(found);
    }
    Mesh mesh;
    mesh.source = data;
    const size_t count = data->positions.size();
    glCreateVertexArrays(1, &mesh.vertexArray);
    const unsigned vao = mesh.vertexArray;
    auto attach = [&](unsigned index, unsigned buffer, GLsizei stride) {
        mesh.buffers[index] = buffer;
        glVertexArrayVertexBuffer(vao, index, buffer, 0, stride);
        glVertexArrayAttribBinding(vao, index, index);
        glEnableVertexArrayAttrib(vao, index);
    };
    attach(0, makeBuffer(data->positions, mesh.bytes), sizeof(glm::vec3));
    glVertexArrayAttribFormat(vao, 0, 3, GL_FLOAT, GL_FALSE, 0);
    if (data->normals.size() == count) {
        attach(1, makeBuffer(data->normals, mesh.bytes), sizeof(glm::vec3));
        glVertexArrayAttribFormat(vao, 1, 3, GL_FLOAT, GL_FALSE, 0);
    }
    if (data->textureCoordinates.size() == count) {
        attach(2, makeBuffer(data->textureCoordinates, mesh.bytes), sizeof(glm::vec2));
        glVertexArrayAttribFormat(vao, 2, 2, GL_FLOAT, GL_FALSE, 0);
    }
    if (data->tangents.size() == count && count > 0) {
        attach(3, makeBuffer(data->tangents, mesh.bytes), sizeof(glm::vec4));
        glVertexArrayAttribFormat(vao, 3, 4, GL_FLOAT, GL_FALSE, 0);
        mesh.hasTangents = true;
    }
    if (data->isSkinned() && data->jointIndices.size() == count) {
        attach(4, makeBuffer(data->jointIndices, mesh.bytes), sizeof(glm::u16vec4));
        glVertexArrayAttribIFormat(vao, 4, 4, GL_UNSIGNED_SHORT, 0);
        attach(5, makeBuffer(data->jointWeights, mesh.bytes), sizeof(glm::vec4));
        glVertexArrayAttribFormat(vao, 5, 4, GL_FLOAT, GL_FALSE, 0);
        mesh.skinned = true;
    }
    std::vector<std::uint32_t> indices = data->indices;
    if (indices.empty()) {
        indices.resize(count);
        for (size_t i = 0; i < count; ++i)
            indices[i] = static_cast<std::uint32_t>(i);
    }
    // A triangle with an index beyond the vertices would read outside the
    // buffers: drop that whole triangle, so the ones after it keep their corners.
    indices.resize(indices.size() / 3 * 3);
    size_t kept = 0;
    for (size_t t = 0; t < indices.size(); t += 3) {
        if (indices[t] < count && indices[t + 1] < count && indices[t + 2] < count) {
            std::copy_n(indices.begin() + static_cast<std::ptrdiff_t>(t), 3,
                        indices.begin() + static_cast<std::ptrdiff_t>(kept));
            kept += 3;
        }
    }
    indices.resize(kept);
    // The lists go one after the other into one buffer: the mesh's own
    // order, then the lighter one, then each one's parts.
    mesh.full.indexCount = static_cast<int>(indices.size());
    std::vector<std::uint32_t> lighter;
    if (lighterMeshes_) {
        mesh.hasLighter = true;
        lighter = LighterMesh::indicesFor(data->positions, indices);
        // A mesh that cannot be made lighter is drawn from its own list
        // (set below, with its parts), not from a copy of it.
        if (lighter.size() == indices.size()) {
            lighter.clear();
        } else {
            mesh.lighter.firstIndex = static_cast<int>(indices.size());
            mesh.lighter.indexCount = static_cast<int>(lighter.size());
            indices.insert(indices.end(), lighter.begin(), lighter.end());
        }
    }
    // A lighter list of a large mesh goes into as many parts as its own.
    const bool inParts = !mesh.skinned && mesh.full.indexCount / 3 > chunkedAbove;
    auto addParts = [&](Triangles& triangles, const std::vector<std::uint32_t>& list) {
        if (!inParts)
            return;
        const auto perPart = static_cast<int>(static_cast<std::size_t>(chunkTriangles) * list.size() /
                                              static_cast<std::size_t>(mesh.full.indexCount));
        MeshChunks parts = MeshChunks::split(data->positions, list, perPart);
        const int offset = static_cast<int>(indices.size());
        for (auto& chunk : parts.chunks)
            chunk.firstIndex += offset;
        triangles.chunks = std::move(parts.chunks);
        indices.insert(indices.end(), parts.indices.begin(), parts.indices.end());
    };
    addParts(mesh.full, std::vector<std::uint32_t>(indices.begin(), indices.begin() + mesh.full.indexCount));
    if (!lighter.empty())
        addParts(mesh.lighter, lighter);
    else if (mesh.hasLighter)
        mesh.lighter = mesh.full;
    mesh.buffers[6] = makeBuffer(indices, mesh.bytes);
    glVertexArrayElementBuffer(vao, mesh.buffers[6]);
    return meshes_[data->id] = mesh;
}

GpuResourceCache::Texture& GpuResourceCache::upload(const ImagePtr& image)
{
    auto found = textures_.find(image->id);
    if (found != textures_.end() && !found->second.source.expired())
        return found->second;
    if (found != textures_.end()) {
        glDeleteTextures(1, &found->second.name);
        textures_.erase(found);
    }
    Texture texture;
    texture.source = image;
    const int w = std::max(image->width, 1);
    const int h = std::max(image->height, 1);
    texture.levels = image->mipmaps ? 1 + static_cast<int>(std::floor(std::log2(std::max(w, h)))) : 1;
    GLenum internal = GL_SRGB8_ALPHA8;
    if (image->encoding == ImageData::Encoding::linear8)
        internal = GL_RGBA8;
    if (image->encoding == ImageData::Encoding::float32)
        internal = GL_RGBA16F;
    glCreateTextures(GL_TEXTURE_2D, 1, &texture.name);
    glTextureStorage2D(texture.name, texture.levels, internal, w, h);
    texture.bytes = textureBytes(w, h, texture.levels, internal == GL_RGBA16F ? 8 : 4);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const size_t pixels = static_cast<size_t>(w) * static_cast<size_t>(h);
    if (image->encoding == ImageData::Encoding::float32 && image->floats.size() >= pixels * 4) {
        glTextureSubImage2D(texture.name, 0, 0, 0, w, h, GL_RGBA, GL_FLOAT, image->floats.data());
    } else if (image->encoding != ImageData::Encoding::float32 && image->bytes.size() >= pixels * 4) {
        glTextureSubImage2D(texture.name, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, image->bytes.data());
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    if (texture.levels > 1)
        glGenerateTextureMipmap(texture.name);
    glTextureParameteri(texture.name, GL_TEXTURE_MIN_FILTER, texture.levels > 1 ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    glTextureParameteri(texture.name, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTextureParameteri(texture.name, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTextureParameteri(texture.name, GL_TEXTURE_WRAP_T, GL_REPEAT);
    applyAnisotropy(texture.name);
    return textures_[image->id] = texture;
}

void GpuResourceCache::applyAnisotropy(unsigned name) const
{
    if (epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic"))
        glTextureParameterf(name, GL_TEXTURE_MAX_ANISOTROPY_EXT, maxAnisotropy_);
}

void GpuResourceCache::setMaxAnisotropy(float maximum)
{
    maximum = std::max(maximum, 1.0f);
    if (maximum == maxAnisotropy_)
        return;
    maxAnisotropy_ = maximum;
    for (const auto& [id, texture] : textures_)
        applyAnisotropy(texture.name);
}

unsigned GpuResourceCache::texture(const ImagePtr& image, Fallback fallback)
{
    if (!image || image->width <= 0 || image->height <= 0)
        return fallback == Fallback::white ? white_ : flatNormal_;
    return upload(image).name;
}

int GpuResourceCache::mipLevels(const ImagePtr& image)
{
    if (!image || image->width <= 0 || image->height <= 0)
        return 1;
    return upload(image).levels;
}

GpuResourceCache::Stats GpuResourceCache::stats() const
{
    Stats stats;
    stats.meshes = meshes_.size();
    stats.textures = textures_.size();
    for (const auto& [id, mesh] : meshes_)
        stats.bytes += mesh.bytes;
    for (const auto& [id, texture] : textures_)
        stats.bytes += texture.bytes;
    return stats;
}

void GpuResourceCache::collect()
{
    for (auto it = meshes_.begin(); it != meshes_.end();) {
        if (it->second.source.expired()) {
            deleteMesh(it->second);
            it = meshes_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = textures_.begin(); it != textures_.end();) {
        if (it->second.source.expired()) {
            glDeleteTextures(1, &it->second.name);
            it = textures_.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace gloam::render
