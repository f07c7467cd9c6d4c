// MeshResource::generateText: extruded text from a system font's outlines.
//
// fontconfig picks the font file for the family and weight, HarfBuzz lays
// the glyphs out (kerning, ligatures), FreeType gives each glyph's outline,
// and the GLU tessellator fills the outlines with the non-zero winding rule,
// which keeps the counters of letters such as "O", "B" and "8" open
// whatever the font's contour direction.
#include "platform/mesh/MeshError.h"
#include "platform/mesh/MeshResource.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <GL/glu.h>
#include <hb-ft.h>
#include <hb.h>

#include <glm/geometric.hpp>

#include <cmath>
#include <array>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>

namespace gloam::platform {

namespace {

constexpr int curveSteps = 6;

using Contour = std::vector<glm::dvec2>;

// One open font face, shared by every text mesh made with it.
struct FontFace {
    FT_Face face = nullptr;
    hb_font_t* font = nullptr;
};

class FontCache {
public:
    static FontCache& shared()
    {
        static FontCache cache;
        return cache;
    }

    std::mutex lock;

    FontFace& face(const std::string& family, MeshResource::FontWeight weight)
    {
        const auto key = family + "#" + std::to_string(static_cast<int>(weight));
        if (auto it = faces_.find(key); it != faces_.end()) {
            return it->second;
        }
        auto [file, index] = match(family, weight);
        FontFace f;
        if (FT_New_Face(library_, file.c_str(), index, &f.face) != 0) {
            throw MeshError("text: the font file " + file + " cannot be opened");
        }
        if (!FT_IS_SCALABLE(f.face)) {
            FT_Done_Face(f.face);
            throw MeshError("text: the font " + file + " has no outlines");
        }
        hb_face_t* hbFace = hb_ft_face_create_referenced(f.face);
        f.font = hb_font_create(hbFace);
        hb_face_destroy(hbFace);
        const int upem = static_cast<int>(f.face->units_per_EM);
        hb_font_set_scale(f.font, upem, upem); // positions in font units
        return faces_.emplace(key, f).first->second;
    }

    ~FontCache()
    {
        for (auto& [key, f] : faces_) {
            hb_font_destroy(f.font);
            FT_Done_Face(f.face);
        }
        FT_Done_FreeType(library_);
        FcConfigDestroy(config_);
    }
    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;

private:
    FontCache()
    {
        if (FT_Init_FreeType(&library_) != 0) {
            throw MeshError("text: FreeType cannot start");
        }
        // A configuration of our own, released at exit (the process-wide
        // default one is never freed).
        config_ = FcInitLoadConfigAndFonts();
    }

    static int fcWeight(MeshResource::FontWeight weight)
    {
        switch (weight) {
        case MeshResource::FontWeight::regular:
            return FC_WEIGHT_REGULAR;
        case MeshResource::FontWeight::medium:
            return FC_WEIGHT_MEDIUM;
        case MeshResource::FontWeight::semibold:
            return FC_WEIGHT_DEMIBOLD;
        case MeshResource::FontWeight::bold:
            return FC_WEIGHT_BOLD;
        }
        return FC_WEIGHT_REGULAR;
    }

    std::pair<std::string, int> match(const std::string& family, MeshResource::FontWeight weight)
    {
        FcPattern* pattern = FcPatternCreate();
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
        FcPatternAddInteger(pattern, FC_WEIGHT, fcWeight(weight));
        FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
        FcConfigSubstitute(config_, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* found = FcFontMatch(config_, pattern, &result);
        FcPatternDestroy(pattern);
        FcChar8* file = nullptr;
        int index = 0;
        if (!found || FcPatternGetString(found, FC_FILE, 0, &file) != FcResultMatch) {
            if (found) {
                FcPatternDestroy(found);
            }
            throw MeshError("text: no font found for the family \"" + family + "\"");
        }
        FcPatternGetInteger(found, FC_INDEX, 0, &index);
        std::string path(reinterpret_cast<const char*>(file));
        FcPatternDestroy(found);
        return {path, index};
    }

    FT_Library library_ = nullptr;
    FcConfig* config_ = nullptr;
    std::map<std::string, FontFace> faces_;
};

// Outline decomposition into polylines (font units).
struct OutlineSink {
    std::vector<Contour> contours;
    glm::dvec2 offset{0.0};
    glm::dvec2 last{0.0};

    static glm::dvec2 at(const FT_Vector* v) { return {static_cast<double>(v->x), static_cast<double>(v->y)}; }

    static int moveTo(const FT_Vector* to, void* user)
    {
        auto* self = static_cast<OutlineSink*>(user);
        self->contours.emplace_back();
        self->last = at(to);
        self->contours.back().push_back(self->last + self->offset);
        return 0;
    }
    static int lineTo(const FT_Vector* to, void* user)
    {
        auto* self = static_cast<OutlineSink*>(user);
        self->last = at(to);
        self->contours.back().push_back(self->last + self->offset);
        return 0;
    }
    static int conicTo(const FT_Vector* control, const FT_Vector* to, void* user)
    {
        auto* self = static_cast<OutlineSink*>(user);
        const glm::dvec2 p0 = self->last, p1 = at(control), p2 = at(to);
        for (int i = 1; i <= curveSteps; ++i) {
            const double t = static_cast<double>(i) / curveSteps;
            const double u = 1.0 - t;
            self->contours.back().push_back(u * u * p0 + 2.0 * u * t * p1 + t * t * p2 + self->offset);
        }
        self->last = p2;
        return 0;
    }
    static int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user)
    {
        auto* self = static_cast<OutlineSink*>(user);
        const glm::dvec2 p0 = self->last, p1 = at(c1), p2 = at(c2), p3 = at(to);
        for (int i = 1; i <= curveSteps; ++i) {
            const double t = static_cast<double>(i) / curveSteps;
            const double u = 1.0 - t;
            self->contours.back().push_back(u * u * u * p0 + 3.0 * u * u * t * p1 + 3.0 * u * t * t * p2 +
                                            t * t * t * p3 + self->offset);
        }
        self->last = p3;
        return 0;
    }
};

// Fills contours with the non-zero rule; returns triangles as point triples.
class Tessellator {
public:
    std::vector<glm::dvec2> fill(const std::vector<Contour>& contours)
    {
        triangles_.clear();
        extra_.clear();
        GLUtesselator* tess = gluNewTess();
        if (!tess) {
            throw MeshError("text: the tessellator cannot start");
        }
        gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
        gluTessNormal(tess, 0.0, 0.0, 1.0);
        gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(&Tessellator::vertex));
        gluTessCallback(tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(&Tessellator::begin));
        gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<_GLUfuncptr>(&Tessellator::edgeFlag));
        gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(&Tessellator::combine));
        gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<_GLUfuncptr>(&Tessellator::error));
        std::vector<std::vector<GLdouble>> coords;
        gluTessBeginPolygon(tess, this);
        for (const auto& contour : contours) {
            if (contour.size() < 3) {
                continue;
            }
            gluTessBeginContour(tess);
            coords.emplace_back(contour.size() * 3);
            auto& c = coords.back();
            for (std::size_t i = 0; i < contour.size(); ++i) {
                c[i * 3] = contour[i].x;
                c[i * 3 + 1] = contour[i].y;
                c[i * 3 + 2] = 0.0;
                gluTessVertex(tess, &c[i * 3], &c[i * 3]);
            }
            gluTessEndContour(tess);
        }
        gluTessEndPolygon(tess);
        gluDeleteTess(tess);
        if (failed_) {
            throw MeshError("text: a glyph outline cannot be filled");
        }
        return triangles_;
    }

private:
    static void begin(GLenum, void*) {}
    static void edgeFlag(GLboolean, void*) {} // its presence makes GLU emit plain triangles
    static void vertex(void* data, void* self)
    {
        const auto* p = static_cast<const GLdouble*>(data);
        static_cast<Tessellator*>(self)->triangles_.emplace_back(p[0], p[1]);
    }
    static void combine(GLdouble coords[3], void* [4], GLfloat[4], void** out, void* self)
    {
        auto* t = static_cast<Tessellator*>(self);
        t->extra_.push_back({coords[0], coords[1], coords[2]});
        *out = t->extra_.back().data();
    }
    static void error(GLenum, void* self) { static_cast<Tessellator*>(self)->failed_ = true; }

    std::vector<glm::dvec2> triangles_;
    std::deque<std::array<GLdouble, 3>> extra_; // stable addresses
    bool failed_ = false;
};

void addTriangle(MeshDescriptor& d, glm::vec3 a, glm::vec3 b, glm::vec3 c, glm::vec3 normal, glm::vec2 ua, glm::vec2 ub,
                 glm::vec2 uc)
{
    if (glm::dot(glm::cross(b - a, c - a), normal) < 0.0f) {
        std::swap(b, c);
        std::swap(ub, uc);
    }
    const auto base = static_cast<std::uint32_t>(d.positions.size());
    d.positions.insert(d.positions.end(), {a, b, c});
    d.normals.insert(d.normals.end(), {normal, normal, normal});
    d.textureCoordinates.insert(d.textureCoordinates.end(), {ua, ub, uc});
    d.indices.insert(d.indices.end(), {base, base + 1, base + 2});
}

} // namespace

MeshPtr MeshResource::generateText(const std::string& text, float extrusionDepth, Font font)
{
    if (!(font.size > 0.0f)) {
        throw MeshError("text: the font size must be a positive number");
    }
    if (!(extrusionDepth >= 0.0f)) {
        throw MeshError("text: the extrusion depth must not be negative");
    }
    std::vector<Contour> contours;
    bool fillRight = true; // TrueType convention: filled on the right of each contour
    double scale = 1.0;
    {
        auto& cache = FontCache::shared();
        std::lock_guard guard(cache.lock);
        FontFace& face = cache.face(font.family, font.weight);
        scale = static_cast<double>(font.size) / static_cast<double>(face.face->units_per_EM);
        const double lineHeight = static_cast<double>(face.face->height);

        std::istringstream lines(text);
        std::string line;
        double baseline = 0.0;
        bool orientationKnown = false;
        while (std::getline(lines, line)) {
            hb_buffer_t* buffer = hb_buffer_create();
            hb_buffer_add_utf8(buffer, line.c_str(), static_cast<int>(line.size()), 0, static_cast<int>(line.size()));
            hb_buffer_guess_segment_properties(buffer);
            hb_shape(face.font, buffer, nullptr, 0);
            unsigned int count = 0;
            const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
            const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &count);
            double penX = 0.0;
            for (unsigned int i = 0; i < count; ++i) {
                if (FT_Load_Glyph(face.face, infos[i].codepoint,
                                  FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) == 0 &&
                    face.face->glyph->format == FT_GLYPH_FORMAT_OUTLINE && face.face->glyph->outline.n_contours > 0) {
                    FT_Outline* outline = &face.face->glyph->outline;
                    if (!orientationKnown) {
                        fillRight = FT_Outline_Get_Orientation(outline) == FT_ORIENTATION_TRUETYPE;
                        orientationKnown = true;
                    }
                    OutlineSink sink;
                    sink.offset = {penX + positions[i].x_offset, baseline + positions[i].y_offset};
                    FT_Outline_Funcs funcs{
                        &OutlineSink::moveTo, &OutlineSink::lineTo, &OutlineSink::conicTo, &OutlineSink::cubicTo, 0, 0};
                    FT_Outline_Decompose(outline, &funcs, &sink);
                    for (auto& c : sink.contours) {
                        // Drop the closing point that repeats the first.
                        if (c.size() > 1 && glm::length(c.front() - c.back()) < 1e-9) {
                            c.pop_back();
                        }
                        contours.push_back(std::move(c));
                    }
                }
                penX += positions[i].x_advance;
            }
            hb_buffer_destroy(buffer);
            baseline -= lineHeight;
        }
    }

    MeshDescriptor d;
    d.name = "text";
    if (contours.empty()) {
        // Nothing to show (empty or blank text): one invisible triangle keeps
        // the mesh valid and its bounds at the origin.
        d.positions = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
        d.indices = {0, 1, 2};
        return generate(std::move(d));
    }
    for (auto& c : contours) {
        for (auto& p : c) {
            p *= scale;
        }
    }
    glm::dvec2 lo(1e300), hi(-1e300);
    for (const auto& c : contours) {
        for (const auto& p : c) {
            lo = glm::min(lo, p);
            hi = glm::max(hi, p);
        }
    }
    const glm::dvec2 span = glm::max(hi - lo, glm::dvec2(1e-9));
    auto uvOf = [&](glm::dvec2 p) { return glm::vec2((p.x - lo.x) / span.x, (p.y - lo.y) / span.y); };
    const float front = extrusionDepth * 0.5f;

    // Faces.
    Tessellator tessellator;
    const auto fill = tessellator.fill(contours);
    for (std::size_t i = 0; i + 2 < fill.size(); i += 3) {
        const glm::dvec2 a = fill[i], b = fill[i + 1], c = fill[i + 2];
        addTriangle(d, glm::vec3(a, front), glm::vec3(b, front), glm::vec3(c, front), {0, 0, 1}, uvOf(a), uvOf(b),
                    uvOf(c));
        if (extrusionDepth > 0.0f) {
            addTriangle(d, glm::vec3(a, -front), glm::vec3(b, -front), glm::vec3(c, -front), {0, 0, -1}, uvOf(a),
                        uvOf(b), uvOf(c));
        }
    }
    // Sides: one flat quad per outline segment, facing out of the filled side.
    if (extrusionDepth > 0.0f) {
        for (const auto& c : contours) {
            for (std::size_t i = 0; i < c.size(); ++i) {
                const glm::dvec2 a = c[i];
                const glm::dvec2 b = c[(i + 1) % c.size()];
                const glm::dvec2 e = b - a;
                const double length = glm::length(e);
                if (length < 1e-12) {
                    continue;
                }
                const glm::dvec2 left(-e.y / length, e.x / length);
                const glm::vec3 out(fillRight ? left : -left, 0.0);
                const glm::vec3 a0(a, front), a1(a, -front), b0(b, front), b1(b, -front);
                addTriangle(d, a0, b0, b1, out, {0, 0}, {1, 0}, {1, 1});
                addTriangle(d, a0, b1, a1, out, {0, 0}, {1, 1}, {0, 1});
            }
        }
    }
    return generate(std::move(d));
}

} // namespace gloam::platform
