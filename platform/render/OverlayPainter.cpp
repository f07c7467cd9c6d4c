#include "platform/render/OverlayPainter.h"

#include "platform/gpu/GlProgram.h"
#include "platform/render/SceneShaders.h"

#include <epoxy/gl.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace gloam::render {

namespace {

std::string fontFile(const char* pattern)
{
    std::string file;
    FcPattern* query = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
    if (query == nullptr)
        return file;
    FcConfigSubstitute(nullptr, query, FcMatchPattern);
    FcDefaultSubstitute(query);
    FcResult result = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(nullptr, query, &result)) {
        FcChar8* path = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch)
            file = reinterpret_cast<const char*>(path);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(query);
    return file;
}

std::vector<char32_t> decodeUtf8(const std::string& text)
{
    std::vector<char32_t> out;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        char32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
        if (i + static_cast<size_t>(extra) >= text.size())
            break; // cut short
        for (int k = 1; k <= extra; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + static_cast<size_t>(k)]) & 0x3F);
        out.push_back(cp);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

} // namespace

struct OverlayPainter::Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

OverlayPainter::OverlayPainter()
    : face_(std::make_unique<Face>())
{
    glCreateVertexArrays(1, &vertexArray_);
    if (FT_Init_FreeType(&face_->library) != 0)
        return;
    for (const char* pattern : {"Inter:medium", "DejaVu Sans", "sans-serif"}) {
        const std::string file = fontFile(pattern);
        if (!file.empty() && FT_New_Face(face_->library, file.c_str(), 0, &face_->face) == 0)
            break;
        face_->face = nullptr;
    }
    if (face_->face == nullptr)
        std::fprintf(stderr, "render: no font for labels\n");
}

OverlayPainter::~OverlayPainter()
{
    for (auto& [key, cached] : cache_)
        glDeleteTextures(1, &cached.texture);
    program_.reset();
    glDeleteVertexArrays(1, &vertexArray_);
    if (face_->face != nullptr)
        FT_Done_Face(face_->face);
    if (face_->library != nullptr)
        FT_Done_FreeType(face_->library);
}

OverlayPainter::Picture OverlayPainter::rasterise(const OverlayLabel& label, float devicePixelRatio)
{
    Picture picture;
    FT_Face face = face_->face;
    if (face == nullptr || label.text.empty())
        return picture;
    const int pixelSize = std::max(6, static_cast<int>(std::lround(label.pointSize * devicePixelRatio)));
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize));
    const auto codepoints = decodeUtf8(label.text);

    // Measure, then draw: pen positions in 26.6 fixed point.
    struct Glyph {
        int x, y, width, rows, pitch;
        std::vector<std::uint8_t> coverage;
    };
    struct Line {
        std::vector<Glyph> glyphs;
        int width = 0;
    };
    const bool kerning = FT_HAS_KERNING(face);
    const auto layOut = [&](std::size_t first, std::size_t last) {
        Line line;
        long pen = 0;
        FT_UInt previous = 0;
        for (std::size_t i = first; i < last; ++i) {
            const FT_UInt index = FT_Get_Char_Index(face, codepoints[i]);
            if (kerning && previous != 0 && index != 0) {
                FT_Vector delta;
                FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &delta);
                pen += delta.x;
            }
            if (FT_Load_Glyph(face, index, FT_LOAD_RENDER) != 0)
                continue;
            const FT_GlyphSlot slot = face->glyph;
            Glyph g{static_cast<int>(pen >> 6) + slot->bitmap_left,
                    slot->bitmap_top,
                    static_cast<int>(slot->bitmap.width),
                    static_cast<int>(slot->bitmap.rows),
                    slot->bitmap.pitch,
                    {}};
            g.coverage.assign(slot->bitmap.buffer, slot->bitmap.buffer + std::abs(g.pitch) * g.rows);
            line.glyphs.push_back(std::move(g));
            pen += slot->advance.x;
            previous = index;
        }
        line.width = static_cast<int>(pen >> 6);
        return line;
    };

    const int padX = label.plate ? static_cast<int>(std::lround(pixelSize * 0.9f)) : 2;
    const int padY = label.plate ? static_cast<int>(std::lround(pixelSize * 0.45f)) : 2;
    const int boxWidth = static_cast<int>(std::lround(label.size.x * devicePixelRatio));
    const int boxHeight = static_cast<int>(std::lround(label.size.y * devicePixelRatio));

    // Lines: the whole text, or (in a box) as many words as fit each line.
    std::vector<Line> lines;
    if (boxWidth <= 0) {
        lines.push_back(layOut(0, codepoints.size()));
    } else {
        const int room = std::max(boxWidth - 2 * padX, 1);
        std::size_t start = 0;
        while (start < codepoints.size()) {
            std::size_t end = start;
            Line fitted;
            while (end < codepoints.size()) {
                std::size_t next = end;
                while (next < codepoints.size() && codepoints[next] == U' ')
                    ++next;
                while (next < codepoints.size() && codepoints[next] != U' ')
                    ++next;
                Line candidate = layOut(start, next);
                if (candidate.width > room && end > start)
                    break; // the line is full; a single long word stands alone
                fitted = std::move(candidate);
                end = next;
            }
            lines.push_back(std::move(fitted));
            start = end;
            while (start < codepoints.size() && codepoints[start] == U' ')
                ++start;
        }
    }

    const int ascender = static_cast<int>(face->size->metrics.ascender >> 6);
    const int descender = static_cast<int>(-(face->size->metrics.descender >> 6));
    const int lineHeight = ascender + descender;
    int textWidth = 0;
    for (const Line& line : lines)
        textWidth = std::max(textWidth, line.width);
    const int textHeight = lineHeight * static_cast<int>(lines.size());
    picture.width = boxWidth > 0 ? boxWidth : textWidth + 2 * padX;
    picture.height = std::max(boxHeight, textHeight + 2 * padY);
    picture.rgba.assign(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * 4, 0);

    if (label.plate) {
        // A rounded rectangle of translucent black, with antialiased corners.
        const float radius = std::min(static_cast<float>(picture.height) * 0.5f, label.cornerRadius * devicePixelRatio);
        const float alpha = std::clamp(label.plateAlpha, 0.0f, 1.0f);
        const float w = static_cast<float>(picture.width), h = static_cast<float>(picture.height);
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                const float px = static_cast<float>(x) + 0.5f, py = static_cast<float>(y) + 0.5f;
                const float dx = std::max({radius - px, px - (w - radius), 0.0f});
                const float dy = std::max({radius - py, py - (h - radius), 0.0f});
                const float inside = std::clamp(radius - std::sqrt(dx * dx + dy * dy) + 0.5f, 0.0f, 1.0f);
                picture
                    .rgba[(static_cast<size_t>(y) * static_cast<size_t>(picture.width) + static_cast<size_t>(x)) * 4 +
                          3] = static_cast<std::uint8_t>(std::lround(inside * alpha * 255.0f));
            }
        }
    }
    // The block of lines centred in the picture, each line centred in it.
    const int top = (picture.height - textHeight) / 2;
    for (std::size_t l = 0; l < lines.size(); ++l) {
        const int left = (picture.width - lines[l].width) / 2;
        const int baseline = top + static_cast<int>(l) * lineHeight + ascender;
        for (const Glyph& g : lines[l].glyphs) {
            for (int r = 0; r < g.rows; ++r) {
                for (int c = 0; c < g.width; ++c) {
                    const int x = left + g.x + c, y = baseline - g.y + r;
                    if (x < 0 || y < 0 || x >= picture.width || y >= picture.height)
                        continue;
                    const float a = g.coverage[static_cast<size_t>(r * std::abs(g.pitch) + c)] / 255.0f;
                    auto* p = &picture.rgba[(static_cast<size_t>(y) * static_cast<size_t>(picture.width) +
                                             static_cast<size_t>(x)) *
                                            4];
                    // White text over the plate, premultiplied.
                    for (int k = 0; k < 3; ++k)
                        p[k] = static_cast<std::uint8_t>(std::lround(255.0f * a + p[k] * (1.0f - a)));
                    p[3] = static_cast<std::uint8_t>(std::lround(255.0f * a + p[3] * (1.0f - a)));
                }
            }
        }
    }
    return picture;
}

void OverlayPainter::draw(const std::vector<OverlayLabel>& labels, unsigned framebuffer, int width, int height,
                          float devicePixelRatio)
{
    ++frame_;
    if (!labels.empty()) {
        if (!program_) {
            program_ = std::make_unique<gpu::GlProgram>(
                "overlay", std::vector<gpu::GlProgram::Stage>{{GL_VERTEX_SHADER, SceneShaders::overlayVertex()},
                                                              {GL_FRAGMENT_SHADER, SceneShaders::overlayFragment()}});
        }
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glViewport(0, 0, width, height);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        glUseProgram(program_->id());
        glBindVertexArray(vertexArray_);
        for (const OverlayLabel& label : labels) {
            const auto key =
                std::make_tuple(label.text, static_cast<int>(std::lround(label.pointSize * devicePixelRatio * 4)),
                                label.plate, static_cast<int>(std::lround(label.size.x * devicePixelRatio)),
                                static_cast<int>(std::lround(label.size.y * devicePixelRatio)),
                                static_cast<int>(std::lround(label.plateAlpha * 255.0f)),
                                static_cast<int>(std::lround(label.cornerRadius * devicePixelRatio)));
            auto found = cache_.find(key);
            if (found == cache_.end()) {
                const Picture picture = rasterise(label, devicePixelRatio);
                Cached cached;
                cached.width = picture.width;
                cached.height = picture.height;
                if (picture.width > 0 && picture.height > 0) {
                    glCreateTextures(GL_TEXTURE_2D, 1, &cached.texture);
                    glTextureStorage2D(cached.texture, 1, GL_RGBA8, picture.width, picture.height);
                    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
                    glTextureSubImage2D(cached.texture, 0, 0, 0, picture.width, picture.height, GL_RGBA,
                                        GL_UNSIGNED_BYTE, picture.rgba.data());
                    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
                    glTextureParameteri(cached.texture, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
                    glTextureParameteri(cached.texture, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
                }
                found = cache_.emplace(key, cached).first;
            }
            Cached& cached = found->second;
            cached.lastFrame = frame_;
            if (cached.texture == 0)
                continue;
            // Whole pixels, so the text stays crisp.
            const float cx = std::round(label.position.x * static_cast<float>(width) - cached.width * 0.5f);
            const float cy = std::round((1.0f - label.position.y) * static_cast<float>(height) - cached.height * 0.5f);
            const float x0 = cx / width * 2.0f - 1.0f, y0 = cy / height * 2.0f - 1.0f;
            const float x1 = (cx + cached.width) / width * 2.0f - 1.0f,
                        y1 = (cy + cached.height) / height * 2.0f - 1.0f;
            glUniform4f(0, x0, y0, x1, y1);
            glBindTextureUnit(0, cached.texture);
            glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        }
        glBindVertexArray(0);
        glUseProgram(0);
        glDisable(GL_BLEND);
    }
    // Labels gone for a while give their textures back.
    for (auto it = cache_.begin(); it != cache_.end();) {
        if (frame_ - it->second.lastFrame > 120) {
            glDeleteTextures(1, &it->second.texture);
            it = cache_.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace gloam::render
