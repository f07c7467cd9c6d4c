#include "forge/vehicles/GhostVehicle.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>

#include "forge/gltf/GltfBuilder.h"
#include "forge/mesh/Noise.h"
#include "forge/mesh/Shapes.h"
#include "forge/vehicles/LampTextures.h"

namespace gloam::forge {

namespace {

constexpr float pi = 3.14159265f;

float smooth(float a, float b, float t)
{
    float x = std::clamp((t - a) / (b - a), 0.0f, 1.0f);
    return x * x * (3.0f - 2.0f * x);
}

float interpolate(const std::vector<glm::vec2>& points, float x)
{
    if (x <= points.front().x) {
        return points.front().y;
    }
    for (std::size_t i = 1; i < points.size(); ++i) {
        if (x <= points[i].x) {
            float f = (x - points[i - 1].x) / std::max(points[i].x - points[i - 1].x, 1e-6f);
            // Smoothstep between the points keeps the sheet free of creases.
            f = f * f * (3.0f - 2.0f * f);
            return points[i - 1].y + (points[i].y - points[i - 1].y) * f;
        }
    }
    return points.back().y;
}

// 1 at the edge (u = 0), 0 from u = 1 on: a quarter ellipse, vertical at
// the edge.
float roundOff(float u)
{
    u = std::clamp(u, 0.0f, 1.0f);
    float v = 1.0f - u;
    return 1.0f - std::sqrt(std::max(0.0f, 1.0f - v * v));
}

// The car body as the sheet sees it: a plan outline (a rounded rectangle
// whose front and rear corners differ) and a height field over it.
class Body {
public:
    explicit Body(const GhostVehicleDesign& d)
        : d_(d)
    {
        // The hanging sheet flares and folds a few centimetres beyond the
        // outline; the outline stands back so the sheet's reach matches the
        // catalogue's half length.
        a_ = d.halfLength - 0.035f;
        b_ = d.halfWidth;
    }

    float a() const { return a_; }
    float b() const { return b_; }

    // Signed distance to the plan outline (negative inside).
    float outline(glm::vec2 p) const
    {
        float r = p.x < 0.0f ? d_.cornerFront : d_.cornerRear;
        glm::vec2 q = glm::abs(p) - glm::vec2(a_, b_) + r;
        return glm::length(glm::max(q, glm::vec2(0.0f))) + std::min(std::max(q.x, q.y), 0.0f) - r;
    }
    glm::vec2 outlineNormal(glm::vec2 p) const
    {
        const float e = 1e-3f;
        glm::vec2 g(outline(p + glm::vec2(e, 0)) - outline(p - glm::vec2(e, 0)),
                    outline(p + glm::vec2(0, e)) - outline(p - glm::vec2(0, e)));
        return glm::normalize(g);
    }
    // Where a ray from inside leaves the outline.
    glm::vec2 exit(glm::vec2 from, glm::vec2 dir) const
    {
        float lo = 0.0f, hi = 4.0f;
        for (int i = 0; i < 40; ++i) {
            float mid = 0.5f * (lo + hi);
            (outline(from + dir * mid) < 0.0f ? lo : hi) = mid;
        }
        return from + dir * hi;
    }

    float edgeHeight(float x) const { return interpolate(d_.belt, x) - d_.crown - d_.roll; }

    // Height of the body's top at a plan point (the ground outside).
    float height(glm::vec2 p) const
    {
        float inside = -outline(p);
        if (inside < -1e-3f) {
            return 0.0f;
        }
        inside = std::max(inside, 0.0f); // points on the outline itself
        float zn = p.y / b_;
        float h = interpolate(d_.belt, p.x) - d_.crown * zn * zn - d_.roll * roundOff(inside / d_.roll);
        for (const BodyBlock& block : d_.blocks) {
            for (int copy = 0; copy < (block.mirrored ? 2 : 1); ++copy) {
                float cz = copy == 0 ? block.centreZ : -block.centreZ;
                if (p.x < block.profile.front().x || p.x > block.profile.back().x) {
                    continue;
                }
                float dz = block.halfWidth - std::abs(p.y - cz);
                if (dz < 0.0f) {
                    continue;
                }
                h = std::max(h, interpolate(block.profile, p.x) - block.sideDrop * roundOff(dz / block.sideRun));
            }
        }
        return h;
    }

private:
    const GhostVehicleDesign& d_;
    float a_, b_;
};

// The sheet's top as a membrane resting on the body: it lies on convex
// parts, bridges hollows (windscreen foot, a pick-up's bed) and sags a
// little between supports. Outside the outline it is held at the edge
// height, where the sheet rolls over and hangs.
class Membrane {
public:
    Membrane(const Body& body, float sag)
        : body_(body)
    {
        x0_ = -body.a() - 2.0f * step_;
        z0_ = -body.b() - 2.0f * step_;
        nx_ = static_cast<int>(std::ceil(2.0f * (body.a() + 2.0f * step_) / step_)) + 1;
        nz_ = static_cast<int>(std::ceil(2.0f * (body.b() + 2.0f * step_) / step_)) + 1;
        std::vector<float> floor(cells()), h(cells());
        std::vector<bool> free(cells());
        for (int i = 0; i < nx_; ++i) {
            for (int j = 0; j < nz_; ++j) {
                glm::vec2 p = point(i, j);
                std::size_t k = index(i, j);
                free[k] = body.outline(p) < 0.0f;
                floor[k] = free[k] ? body.height(p) : body.edgeHeight(p.x);
                h[k] = floor[k];
            }
        }
        for (int iteration = 0; iteration < 900; ++iteration) {
            for (int i = 1; i + 1 < nx_; ++i) {
                for (int j = 1; j + 1 < nz_; ++j) {
                    std::size_t k = index(i, j);
                    if (!free[k]) {
                        continue;
                    }
                    float mean =
                        0.25f * (h[index(i - 1, j)] + h[index(i + 1, j)] + h[index(i, j - 1)] + h[index(i, j + 1)]);
                    h[k] = std::max(floor[k], mean - sag);
                }
            }
        }
        h_ = std::move(h);
    }

    float at(glm::vec2 p) const
    {
        float fx = std::clamp((p.x - x0_) / step_, 0.0f, static_cast<float>(nx_ - 1) - 1e-3f);
        float fz = std::clamp((p.y - z0_) / step_, 0.0f, static_cast<float>(nz_ - 1) - 1e-3f);
        int i = static_cast<int>(fx), j = static_cast<int>(fz);
        float u = fx - static_cast<float>(i), v = fz - static_cast<float>(j);
        float a = h_[index(i, j)] * (1 - u) + h_[index(i + 1, j)] * u;
        float b = h_[index(i, j + 1)] * (1 - u) + h_[index(i + 1, j + 1)] * u;
        return a * (1 - v) + b * v;
    }

    // The sheet's height: the membrane, with the exact roll of the body near
    // the edge (finer than the membrane's grid).
    float sheet(glm::vec2 p, float roll) const
    {
        float inside = -body_.outline(p);
        float exact = body_.height(p);
        float relaxed = std::max(at(p), exact);
        return glm::mix(exact, relaxed, smooth(0.0f, 2.0f * roll, inside));
    }

    glm::vec3 normal(glm::vec2 p, float roll) const
    {
        const float e = 0.02f;
        float dx = (sheet(p + glm::vec2(e, 0), roll) - sheet(p - glm::vec2(e, 0), roll)) / (2 * e);
        float dz = (sheet(p + glm::vec2(0, e), roll) - sheet(p - glm::vec2(0, e), roll)) / (2 * e);
        return glm::normalize(glm::vec3(-dx, 1.0f, -dz));
    }

private:
    std::size_t cells() const { return static_cast<std::size_t>(nx_ * nz_); }
    std::size_t index(int i, int j) const { return static_cast<std::size_t>(i * nz_ + j); }
    glm::vec2 point(int i, int j) const
    {
        return {x0_ + static_cast<float>(i) * step_, z0_ + static_cast<float>(j) * step_};
    }

    const Body& body_;
    float step_ = 0.04f;
    float x0_, z0_;
    int nx_, nz_;
    std::vector<float> h_;
};

// A flattened ellipsoid lying on a surface: across and along span its
// plane, normal its thin axis.
Mesh lens(glm::vec3 centre, glm::vec3 normal, glm::vec3 up, glm::vec2 size, float thickness)
{
    glm::vec3 n = glm::normalize(normal);
    glm::vec3 u = glm::normalize(up - n * glm::dot(up, n));
    glm::vec3 across = glm::cross(u, n);
    glm::mat4 m(glm::vec4(across * size.x * 0.5f, 0), glm::vec4(u * size.y * 0.5f, 0), glm::vec4(n * thickness, 0),
                glm::vec4(centre, 1));
    Mesh s = shapes::sphere(1.0f, 10, 20);
    // Uvs across the lens face, for the lamp pictures.
    for (Vertex& v : s.vertices) {
        v.uv = glm::vec2(0.5f + 0.5f * v.position.x, 0.5f - 0.5f * v.position.y);
    }
    return s.transformed(m);
}

Mesh tyre(float radius, float width)
{
    float w = width * 0.5f, rim = radius * 0.62f;
    std::vector<glm::vec2> profile{{0.0f, -w + 0.035f},  {rim * 0.5f, -w + 0.03f},     {rim, -w + 0.02f},
                                   {radius - 0.05f, -w}, {radius - 0.01f, -w + 0.03f}, {radius, -w + 0.07f},
                                   {radius, w - 0.07f},  {radius - 0.01f, w - 0.03f},  {radius - 0.05f, w},
                                   {rim, w - 0.02f},     {rim * 0.5f, w - 0.03f},      {0.0f, w - 0.035f}};
    Mesh m = shapes::lathe(profile, 28);
    for (Vertex& v : m.vertices) {
        float angle = std::atan2(v.position.z, v.position.x);
        v.uv = glm::vec2(angle / (2.0f * pi) * 8.0f, v.position.y / width);
    }
    return m.transformed(glm::rotate(glm::mat4(1.0f), pi * 0.5f, glm::vec3(1, 0, 0)));
}

} // namespace

std::size_t writeGhostVehicle(const std::filesystem::path& glbPath, const GhostVehicleDesign& d)
{
    Body body(d);
    Membrane membrane(body, d.sag);
    Noise noise(d.seed);

    // ---- the sheet: a top panel over the middle of the car, and a ring of
    // columns from the panel's edge out over the shoulder and down to the
    // hem.
    // The panel stops short of the outline's rounded corners: its sides run
    // straight out to the outline's straight parts, and each of its corners
    // fans out over a corner of the outline. Columns stand about 7 cm apart
    // all round, so the hem's waves stay round.
    const float rf = d.cornerFront, rr = d.cornerRear;
    const float x0 = -(body.a() - rf - 0.02f), x1 = body.a() - rr - 0.02f;
    const float bz = body.b() - std::max(rf, rr) - 0.02f;
    const int nx = static_cast<int>(std::ceil((x1 - x0) / 0.07f)), nz = static_cast<int>(std::ceil(2.0f * bz / 0.07f));
    const int topRows = 14, hangRows = 20;
    Mesh sheet;
    std::vector<std::vector<std::uint32_t>> panel(static_cast<std::size_t>(nx + 1),
                                                  std::vector<std::uint32_t>(static_cast<std::size_t>(nz + 1)));
    auto sheetVertex = [&](glm::vec3 p) { return sheet.add(p, glm::vec3(0, 1, 0), glm::vec2(p.x, p.z) * 0.5f); };
    auto panelPoint = [&](int i, int j) {
        return glm::vec2(x0 + (x1 - x0) * static_cast<float>(i) / static_cast<float>(nx),
                         -bz + 2.0f * bz * static_cast<float>(j) / static_cast<float>(nz));
    };
    for (int i = 0; i <= nx; ++i) {
        for (int j = 0; j <= nz; ++j) {
            glm::vec2 q = panelPoint(i, j);
            panel[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] =
                sheetVertex(glm::vec3(q.x, membrane.sheet(q, d.roll), q.y));
        }
    }
    auto at = [&](int i, int j) { return panel[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]; };
    for (int i = 0; i < nx; ++i) {
        for (int j = 0; j < nz; ++j) {
            sheet.quad(at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j));
        }
    }

    struct Column {
        glm::ivec2 panel;
        glm::vec2 inner, edge, normal;
        float arc = 0.0f;
    };
    std::vector<Column> cols;
    auto straight = [&](int i, int j, glm::vec2 out) {
        Column c;
        c.panel = {i, j};
        c.inner = panelPoint(i, j);
        c.edge = body.exit(c.inner, out);
        c.normal = out;
        cols.push_back(c);
    };
    // The corner fan between two outward directions, over the outline's
    // corner arc, from the panel's corner (i, j).
    auto fan = [&](int i, int j, float fromAngle, float sx, float sz) {
        float r = sx < 0.0f ? rf : rr;
        glm::vec2 centre(sx * (body.a() - r), sz * (body.b() - r));
        int steps = std::max(3, static_cast<int>(std::ceil(0.5f * pi * r / 0.07f)));
        for (int k = 1; k < steps; ++k) {
            float angle = fromAngle + 0.5f * pi * static_cast<float>(k) / static_cast<float>(steps);
            glm::vec2 n(std::cos(angle), std::sin(angle));
            Column c;
            c.panel = {i, j};
            c.inner = panelPoint(i, j);
            c.edge = centre + n * r;
            c.normal = n;
            cols.push_back(c);
        }
    };
    // Round the panel in the order that makes the ring face outwards.
    for (int i = 0; i <= nx; ++i)
        straight(i, 0, {0, -1});
    fan(nx, 0, -0.5f * pi, 1.0f, -1.0f);
    for (int j = 0; j <= nz; ++j)
        straight(nx, j, {1, 0});
    fan(nx, nz, 0.0f, 1.0f, 1.0f);
    for (int i = nx; i >= 0; --i)
        straight(i, nz, {0, 1});
    fan(0, nz, 0.5f * pi, -1.0f, 1.0f);
    for (int j = nz; j >= 0; --j)
        straight(0, j, {-1, 0});
    fan(0, 0, pi, -1.0f, -1.0f);
    const std::size_t columns = cols.size();
    float perimeter = 0.0f;
    for (std::size_t c = 0; c < columns; ++c) {
        cols[c].arc = perimeter;
        perimeter += glm::length(cols[(c + 1) % columns].edge - cols[c].edge);
    }
    const float folds = std::max(4.0f, std::round(perimeter / d.foldLength));
    // The four corners of the outline, where the sheet hangs lowest.
    const glm::vec2 corners[4] = {
        {-body.a(), -body.b()}, {body.a(), -body.b()}, {body.a(), body.b()}, {-body.a(), body.b()}};

    // Hem joints: the sheet's lower part follows them as they sway.
    const int hemJoints = 10;
    std::vector<glm::vec3> hemPoints(hemJoints);
    std::vector<std::vector<std::uint32_t>> ring(columns, std::vector<std::uint32_t>(topRows + hangRows + 1));
    std::vector<float> hangFraction; // per sheet vertex: 0 above the hang, 1 at the hem
    std::vector<float> columnOf;     // per sheet vertex
    hangFraction.assign(sheet.vertices.size(), 0.0f);
    columnOf.assign(sheet.vertices.size(), 0.0f);
    auto record = [&](std::uint32_t v, float hang, float column) {
        hangFraction.resize(sheet.vertices.size(), 0.0f);
        columnOf.resize(sheet.vertices.size(), 0.0f);
        hangFraction[v] = hang;
        columnOf[v] = column;
    };
    for (std::size_t c = 0; c < columns; ++c) {
        const Column& col = cols[c];
        ring[c][0] = at(col.panel.x, col.panel.y);
        columnOf[ring[c][0]] = static_cast<float>(c);
        for (int k = 1; k <= topRows; ++k) {
            float t = static_cast<float>(k) / topRows;
            t = 0.35f * t + 0.65f * (1.0f - (1.0f - t) * (1.0f - t));
            glm::vec2 q = glm::mix(col.inner, col.edge, t);
            if (k == topRows) {
                q = col.edge;
            }
            ring[c][k] = sheetVertex(glm::vec3(q.x, membrane.sheet(q, d.roll), q.y));
            record(ring[c][k], 0.0f, static_cast<float>(c));
        }
        float top = membrane.sheet(col.edge, d.roll);
        float phase = 2.0f * pi * folds * col.arc / perimeter;
        float wobble = noise.at(glm::vec2(col.arc * 1.7f, 0.5f));
        float fold = d.foldDepth * (std::sin(phase) * (0.75f + 0.25f * wobble));
        float corner = 0.0f;
        for (const glm::vec2& k : corners) {
            float dist = glm::length(col.edge - k);
            corner = std::max(corner, std::exp(-(dist * dist) / (0.4f * 0.4f)));
        }
        float hem = d.hemHeight - d.hemWave * (0.5f + 0.5f * std::sin(phase + 0.4f)) - d.cornerDrop * corner +
                    0.025f * noise.at(glm::vec2(col.arc * 3.1f, 2.5f));
        hem = std::clamp(hem, 0.06f, top - 0.1f);
        for (int k = 1; k <= hangRows; ++k) {
            float f = static_cast<float>(k) / hangRows;
            float y = glm::mix(top, hem, f);
            float out = 0.03f * f * f + fold * std::pow(f, 1.3f) + 0.02f * corner * f;
            glm::vec2 q = col.edge + col.normal * out;
            ring[c][topRows + k] = sheetVertex(glm::vec3(q.x, y, q.y));
            record(ring[c][topRows + k], f, static_cast<float>(c));
        }
    }
    for (int j = 0; j < hemJoints; ++j) {
        std::size_t c = static_cast<std::size_t>(j) * columns / hemJoints;
        hemPoints[static_cast<std::size_t>(j)] = sheet.vertices[ring[c][topRows + hangRows]].position;
    }
    for (std::size_t c = 0; c < columns; ++c) {
        std::size_t n = (c + 1) % columns;
        for (int k = 0; k < topRows + hangRows; ++k) {
            if (ring[c][k] == ring[n][k]) {
                sheet.triangle(ring[c][k], ring[n][k + 1], ring[c][k + 1]); // a corner fan's first row
            } else {
                sheet.quad(ring[c][k], ring[n][k], ring[n][k + 1], ring[c][k + 1]);
            }
        }
    }
    sheet.recomputeNormals();
    // Weights: the whole sheet breathes with the rig's root; its lower part
    // also follows the two nearest hem joints.
    sheet.joints.resize(sheet.vertices.size());
    sheet.weights.resize(sheet.vertices.size());
    for (std::size_t v = 0; v < sheet.vertices.size(); ++v) {
        float w = 0.95f * smooth(0.1f, 1.0f, hangFraction[v]);
        float u = columnOf[v] * static_cast<float>(hemJoints) / static_cast<float>(columns);
        int j0 = static_cast<int>(std::floor(u)) % hemJoints;
        int j1 = (j0 + 1) % hemJoints;
        float f = u - std::floor(u);
        glm::vec4 weight(1.0f - w, w * (1.0f - f), w * f, 0.0f);
        // Joints that carry no weight are written as the root (validators
        // flag unused joint slots that point elsewhere).
        auto slot = [&](float share, int joint) { return static_cast<std::uint16_t>(share > 0.0f ? 1 + joint : 0); };
        sheet.joints[v] = glm::u16vec4(0, slot(weight.y, j0), slot(weight.z, j1), 0);
        sheet.weights[v] = weight;
    }

    // ---- the model
    GltfBuilder gltf;
    MaterialSpec cloth;
    cloth.name = "GhostCloth";
    cloth.baseColor = {0.78f, 0.82f, 0.85f, 1.0f};
    cloth.roughness = 0.5f;
    cloth.doubleSided = true;
    int clothMaterial = gltf.material(cloth);
    MaterialSpec eye;
    eye.name = "GhostEye";
    eye.baseColor = {0.012f, 0.012f, 0.016f, 1.0f};
    eye.roughness = 0.35f;
    int eyeMaterial = gltf.material(eye);
    MaterialSpec head;
    head.name = "HeadlampLens";
    head.baseColorTexture = gltf.addTexture("HeadlampLens", headlampPicture(), false);
    head.emissive = {1.0f, 0.93f, 0.78f};
    head.roughness = 0.2f;
    int headMaterial = gltf.material(head);
    MaterialSpec tail;
    tail.name = "TailLampLens";
    tail.baseColorTexture = gltf.addTexture("TailLampLens", tailLampPicture(), false);
    tail.emissive = {1.0f, 0.06f, 0.03f};
    tail.roughness = 0.2f;
    int tailMaterial = gltf.material(tail);
    MaterialSpec rubber;
    rubber.name = "Rubber";
    rubber.baseColorTexture = gltf.addTexture("Rubber", rubberPicture(), false);
    rubber.roughness = 0.9f;
    int rubberMaterial = gltf.material(rubber);

    // The rig: the root breathes (scaled about the ground under the car),
    // the hem joints sway.
    int rig = gltf.addNode(d.name + "_Breath");
    std::vector<int> jointNodes{rig};
    std::vector<glm::mat4> inverseBind{glm::mat4(1.0f)};
    for (int j = 0; j < hemJoints; ++j) {
        Transform t;
        t.translation = hemPoints[static_cast<std::size_t>(j)];
        jointNodes.push_back(gltf.addNode(d.name + "_Hem" + std::to_string(j), rig, t));
        inverseBind.push_back(glm::translate(glm::mat4(1.0f), -t.translation));
    }
    int skin = gltf.addSkin(d.name + "_SheetSkin", jointNodes, inverseBind, rig);
    int sheetNode = gltf.addNode(d.name + "_Sheet");
    gltf.setMesh(sheetNode, d.name + "_Sheet", {{&sheet, clothMaterial}});
    gltf.setSkin(sheetNode, skin);

    // Eyes on the windscreen, riding on the breathing root.
    for (int side = 0; side < 2; ++side) {
        float z = side == 0 ? d.eyes.y : -d.eyes.y;
        glm::vec2 q(d.eyes.x, z);
        glm::vec3 n = membrane.normal(q, d.roll);
        glm::vec3 centre(q.x, membrane.sheet(q, d.roll), q.y);
        // Slanted a little towards the middle, as a ghost's eyes are.
        glm::vec3 up = glm::normalize(glm::vec3(0, 1, 0) + glm::vec3(0, 0, side == 0 ? -0.18f : 0.18f));
        Mesh m = lens(centre + n * 0.012f, n, up, d.eyeSize, 0.03f);
        gltf.addMeshNode(d.name + (side == 0 ? "_EyeLeft" : "_EyeRight"), rig, m, eyeMaterial);
    }
    // Lamps on the hanging sheet, just proud of it.
    for (const Lamp& lamp : d.lamps) {
        for (int copy = 0; copy < (lamp.mirrored ? 2 : 1); ++copy) {
            float z = copy == 0 ? lamp.z : -lamp.z;
            glm::vec2 from(0.0f, z);
            glm::vec2 edge = body.exit(from, glm::vec2(lamp.rear ? 1.0f : -1.0f, 0.0f));
            glm::vec2 n2 = body.outlineNormal(edge);
            glm::vec3 n(n2.x, 0.0f, n2.y);
            glm::vec3 centre(edge.x + n2.x * 0.006f, lamp.y, edge.y + n2.y * 0.006f);
            Mesh m = lens(centre, n, glm::vec3(0, 1, 0), lamp.size, 0.022f);
            std::string name = lamp.name;
            if (copy == 1) {
                std::size_t left = name.find("Left");
                if (left != std::string::npos) {
                    name.replace(left, 4, "Right");
                }
            }
            gltf.addMeshNode(d.name + "_" + name, rig, m, lamp.red ? tailMaterial : headMaterial);
        }
    }
    // Tyres and a dark underbody below the hem.
    Mesh tyres;
    for (float x : d.axles) {
        for (int side = -1; side <= 1; side += 2) {
            tyres.append(
                tyre(d.wheelRadius, d.wheelWidth),
                glm::translate(glm::mat4(1.0f), glm::vec3(x, d.wheelRadius, static_cast<float>(side) * d.track)));
        }
    }
    gltf.addMeshNode(d.name + "_Wheels", -1, tyres, rubberMaterial);
    {
        // The underbody follows the outline, inset, so that no corner of it
        // pokes through the sheet's rounded corners.
        const float inset = 0.1f, bottom = d.wheelRadius * 0.55f;
        const float topY = std::max(bottom + 0.1f, d.hemHeight + 0.05f);
        std::vector<glm::vec2> outline;
        const float ends[2] = {rf, rr};
        for (int corner = 0; corner < 4; ++corner) {
            float sx = corner == 0 || corner == 3 ? 1.0f : -1.0f, sz = corner < 2 ? 1.0f : -1.0f;
            float r = std::max(0.02f, ends[sx < 0.0f ? 0 : 1] - inset);
            glm::vec2 centre(sx * (body.a() - inset - r), sz * (body.b() - inset - r));
            for (int k = 0; k <= 6; ++k) {
                float angle = 0.5f * pi * static_cast<float>(corner) + 0.5f * pi * static_cast<float>(k) / 6.0f;
                outline.push_back(centre + r * glm::vec2(std::cos(angle), std::sin(angle)));
            }
        }
        Mesh under = shapes::extrusion(outline, topY - bottom, 0.03f);
        under = under.transformed(glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 0.5f * (topY + bottom), 0.0f)) *
                                  glm::rotate(glm::mat4(1.0f), -0.5f * pi, glm::vec3(1, 0, 0)));
        under.boxUvs(0.3f);
        gltf.addMeshNode(d.name + "_Underbody", -1, under, rubberMaterial);
    }

    // ---- the clip: one breath and two sways of the hem per loop.
    std::vector<float> times;
    const int keys = 60;
    for (int k = 0; k <= keys; ++k) {
        times.push_back(ghostClipSeconds * static_cast<float>(k) / keys);
    }
    std::vector<GltfBuilder::Channel> channels;
    const float w = 2.0f * pi / ghostClipSeconds;
    {
        GltfBuilder::Channel scale{rig, "scale", times, {}};
        for (float t : times) {
            float s = std::sin(w * t);
            scale.values.push_back(glm::vec4(1.0f + 0.003f * s, 1.0f + 0.018f * s, 1.0f + 0.02f * s, 0.0f));
        }
        channels.push_back(scale);
    }
    for (int j = 0; j < hemJoints; ++j) {
        glm::vec3 p = hemPoints[static_cast<std::size_t>(j)];
        glm::vec2 n2 = body.outlineNormal(glm::vec2(p.x, p.z));
        glm::vec3 n(n2.x, 0.0f, n2.y), tangent(-n2.y, 0.0f, n2.x);
        float phase = 2.0f * pi * 2.0f * static_cast<float>(j) / hemJoints;
        GltfBuilder::Channel move{jointNodes[static_cast<std::size_t>(j + 1)], "translation", times, {}};
        for (float t : times) {
            glm::vec3 offset = n * (0.03f * std::sin(2.0f * w * t - phase)) +
                               tangent * (0.025f * std::sin(w * t - phase * 0.5f + 0.7f)) +
                               glm::vec3(0.0f, 0.012f * std::sin(2.0f * w * t - phase + 1.2f), 0.0f);
            move.values.push_back(glm::vec4(p + offset, 0.0f));
        }
        channels.push_back(move);
    }
    gltf.addAnimation(d.name + "GhostBreath", channels);
    gltf.write(glbPath);
    return gltf.triangleCount();
}

} // namespace gloam::forge
