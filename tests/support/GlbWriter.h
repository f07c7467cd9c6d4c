#pragma once

// Writes small glTF binary files for tests and benchmarks: accessors,
// meshes, materials, nodes, skins and animations go into one JSON document
// and one binary chunk.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace gloam::testing {

class GlbWriter {
public:
    using json = nlohmann::json;

    GlbWriter()
    {
        doc_["asset"] = {{"version", "2.0"}, {"generator", "gloam tests"}};
        for (const char* key : {"accessors", "bufferViews", "meshes", "materials", "nodes", "skins", "animations",
                                "images", "textures"}) {
            doc_[key] = json::array();
        }
    }

    // type: "SCALAR", "VEC2", "VEC3", "VEC4", "MAT4".
    int floats(const std::vector<float>& values, const std::string& type, bool withBounds = false)
    {
        const int view = bytes(values.data(), values.size() * sizeof(float));
        const std::size_t width = componentsOf(type);
        json accessor = {
            {"bufferView", view}, {"componentType", 5126}, {"count", values.size() / width}, {"type", type}};
        if (withBounds) {
            std::vector<float> lo(width, 1e30f), hi(width, -1e30f);
            for (std::size_t i = 0; i < values.size(); ++i) {
                lo[i % width] = std::min(lo[i % width], values[i]);
                hi[i % width] = std::max(hi[i % width], values[i]);
            }
            accessor["min"] = lo;
            accessor["max"] = hi;
        }
        doc_["accessors"].push_back(accessor);
        return static_cast<int>(doc_["accessors"].size()) - 1;
    }

    int indices(const std::vector<std::uint32_t>& values)
    {
        const int view = bytes(values.data(), values.size() * sizeof(std::uint32_t));
        doc_["accessors"].push_back(
            {{"bufferView", view}, {"componentType", 5125}, {"count", values.size()}, {"type", "SCALAR"}});
        return static_cast<int>(doc_["accessors"].size()) - 1;
    }

    int joints(const std::vector<std::uint16_t>& values)
    {
        const int view = bytes(values.data(), values.size() * sizeof(std::uint16_t));
        doc_["accessors"].push_back(
            {{"bufferView", view}, {"componentType", 5123}, {"count", values.size() / 4}, {"type", "VEC4"}});
        return static_cast<int>(doc_["accessors"].size()) - 1;
    }

    // An embedded PNG image and a texture reading it.
    int pngTexture(const std::vector<std::uint8_t>& png, const std::string& name)
    {
        const int view = bytes(png.data(), png.size());
        doc_["images"].push_back({{"bufferView", view}, {"mimeType", "image/png"}, {"name", name}});
        doc_["textures"].push_back({{"source", static_cast<int>(doc_["images"].size()) - 1}});
        return static_cast<int>(doc_["textures"].size()) - 1;
    }

    int material(json m)
    {
        doc_["materials"].push_back(std::move(m));
        return static_cast<int>(doc_["materials"].size()) - 1;
    }

    // primitives: {"attributes": {...}, "indices": i, "material": m}
    int mesh(const std::string& name, json primitives)
    {
        doc_["meshes"].push_back({{"name", name}, {"primitives", std::move(primitives)}});
        return static_cast<int>(doc_["meshes"].size()) - 1;
    }

    int node(json n)
    {
        doc_["nodes"].push_back(std::move(n));
        return static_cast<int>(doc_["nodes"].size()) - 1;
    }
    json& nodeAt(int index) { return doc_["nodes"][static_cast<std::size_t>(index)]; }
    // For files that break the rules on purpose.
    json& accessorAt(int index) { return doc_["accessors"][static_cast<std::size_t>(index)]; }
    json& bufferViewAt(int index) { return doc_["bufferViews"][static_cast<std::size_t>(index)]; }

    int skin(json s)
    {
        doc_["skins"].push_back(std::move(s));
        return static_cast<int>(doc_["skins"].size()) - 1;
    }

    void animation(json a) { doc_["animations"].push_back(std::move(a)); }

    void scene(std::vector<int> roots)
    {
        doc_["scenes"] = json::array({{{"nodes", roots}}});
        doc_["scene"] = 0;
    }

    std::vector<std::uint8_t> glb() const
    {
        json doc = doc_;
        for (const char* key : {"skins", "animations", "images", "textures", "materials"}) {
            if (doc[key].empty()) {
                doc.erase(key);
            }
        }
        doc["buffers"] = json::array({{{"byteLength", bin_.size()}}});
        std::string text = doc.dump();
        while (text.size() % 4) {
            text.push_back(' ');
        }
        std::vector<std::uint8_t> bin = bin_;
        while (bin.size() % 4) {
            bin.push_back(0);
        }
        std::vector<std::uint8_t> out;
        auto u32 = [&](std::uint32_t v) {
            for (int i = 0; i < 4; ++i) {
                out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
            }
        };
        u32(0x46546C67); // "glTF"
        u32(2);
        u32(static_cast<std::uint32_t>(12 + 8 + text.size() + 8 + bin.size()));
        u32(static_cast<std::uint32_t>(text.size()));
        u32(0x4E4F534A); // "JSON"
        out.insert(out.end(), text.begin(), text.end());
        u32(static_cast<std::uint32_t>(bin.size()));
        u32(0x004E4942); // "BIN\0"
        out.insert(out.end(), bin.begin(), bin.end());
        return out;
    }

    void write(const std::filesystem::path& file) const
    {
        const auto data = glb();
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    }

private:
    static std::size_t componentsOf(const std::string& type)
    {
        if (type == "VEC2")
            return 2;
        if (type == "VEC3")
            return 3;
        if (type == "VEC4")
            return 4;
        if (type == "MAT4")
            return 16;
        return 1;
    }

    int bytes(const void* data, std::size_t size)
    {
        while (bin_.size() % 4) {
            bin_.push_back(0);
        }
        const std::size_t offset = bin_.size();
        bin_.resize(offset + size);
        std::memcpy(bin_.data() + offset, data, size);
        doc_["bufferViews"].push_back({{"buffer", 0}, {"byteOffset", offset}, {"byteLength", size}});
        return static_cast<int>(doc_["bufferViews"].size()) - 1;
    }

    json doc_;
    std::vector<std::uint8_t> bin_;
};

} // namespace gloam::testing
