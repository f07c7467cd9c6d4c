#pragma once

#include "platform/mesh/BoundingBox.h"
#include "platform/mesh/MeshDescriptor.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace gloam::platform {

class MeshResource;
using MeshPtr = std::shared_ptr<const MeshResource>;

// An immutable mesh made of one or more parts. Every part carries positions,
// normals, texture coordinates and tangents (made when the descriptor has
// none: smooth area-weighted normals, zero texture coordinates, tangents from the
// texture coordinates), 32-bit triangle indices and, for skinned meshes,
// joints and weights. `id()` is unique in the process and never reused.
class MeshResource {
public:
    // Checks and completes the descriptors; throws MeshError on empty
    // input, per-vertex arrays of the wrong length, an index count that is
    // not a multiple of three, an index out of range or a non-finite position.
    static MeshPtr generate(std::vector<MeshDescriptor> descriptors, std::string name = {});
    static MeshPtr generate(MeshDescriptor descriptor);

    // Generators. Sizes in metres; every generated mesh is centred on the
    // origin with outward normals and counter-clockwise front faces.
    // A box; corners and edges rounded with `cornerRadius` (clamped to half
    // the smallest side).
    static MeshPtr generateBox(float size, float cornerRadius = 0.0f);
    static MeshPtr generateBox(glm::vec3 size, float cornerRadius = 0.0f);
    // A floor plane in x-z facing +y, with rounded corners (`width:depth:cornerRadius:`).
    static MeshPtr generatePlane(float width, float depth, float cornerRadius);
    // An upright plane in x-y facing +z (`width:height:`).
    static MeshPtr generatePlane(float width, float height);
    static MeshPtr generateSphere(float radius);
    // Height along +y, centred on the origin, with caps.
    static MeshPtr generateCylinder(float height, float radius);

    // Extruded text: the glyph outlines of a system font (fontconfig family
    // and weight) laid out with HarfBuzz, left aligned, first baseline at
    // y = 0, front face at z = extrusionDepth / 2. `fontSize` is the em size
    // in metres. Throws MeshError when no font can be found.
    enum class FontWeight { regular, medium, semibold, bold };
    struct Font {
        std::string family = "Inter";
        float size = 0.1f;
        FontWeight weight = FontWeight::regular;
        static Font system(float size, FontWeight weight = FontWeight::regular) { return {"Inter", size, weight}; }
    };
    static MeshPtr generateText(const std::string& text, float extrusionDepth = 0.25f, Font font = Font::system(0.1f));

    struct Part {
        std::string name;
        std::uint32_t materialIndex = 0;
        std::vector<glm::vec3> positions;
        std::vector<glm::vec3> normals;
        std::vector<glm::vec2> textureCoordinates;
        std::vector<glm::vec4> tangents;
        std::vector<std::uint32_t> indices;
        std::vector<glm::u16vec4> jointIndices;
        std::vector<glm::vec4> jointWeights;
        BoundingBox bounds;

        bool isSkinned() const { return !jointIndices.empty(); }
        std::size_t triangleCount() const { return indices.size() / 3; }
    };

    ~MeshResource();
    MeshResource(const MeshResource&) = delete;
    MeshResource& operator=(const MeshResource&) = delete;

    // Meshes alive in the process now (memory soaks watch it stay flat).
    static long liveCount();

    std::uint64_t id() const { return id_; }
    const std::string& name() const { return name_; }
    const std::vector<Part>& parts() const { return parts_; }
    const BoundingBox& bounds() const { return bounds_; }
    std::size_t triangleCount() const;

private:
    MeshResource(std::string name, std::vector<Part> parts);

    std::uint64_t id_;
    std::string name_;
    std::vector<Part> parts_;
    BoundingBox bounds_;
};

} // namespace gloam::platform
