// Where the charging scene stands: a search over the ground around the
// vehicle for a place that is fully on screen, clear of the vehicle and the
// props, not hidden behind them, preferably on the left half of the picture
// and about a third of the picture tall.
#include "engine/eggs/EasterEggEffects.h"

#include <glm/geometric.hpp>
#include <glm/gtc/quaternion.hpp>
#include <glm/matrix.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

namespace gloam {

namespace {

// Samples of the charging scene in its own coordinates (before the 1.2
// staging scale and the mirroring).
struct Circle {
    glm::vec3 center;
    float radius;
};
// Room for the station, the pumpkin and the ghost.
const std::array<Circle, 3> clearanceCircles{
    {{{-0.24F, 0.0F, 0.0F}, 0.63F}, {{0.34F, 0.0F, 0.34F}, 0.28F}, {{0.36F, 0.0F, 0.02F}, 0.38F}}};
// Points that must be seen from the camera: the station's face, the
// pumpkin, the ghost.
const std::array<glm::vec3, 24> visibilityPoints{
    {{-0.56F, 0.2F, 0.14F},  {-0.56F, 0.85F, 0.14F}, {-0.56F, 1.48F, 0.14F}, {-0.24F, 0.2F, 0.14F},
     {-0.24F, 0.85F, 0.14F}, {-0.24F, 1.48F, 0.14F}, {0.08F, 0.2F, 0.14F},   {0.08F, 0.85F, 0.14F},
     {0.08F, 1.48F, 0.14F},  {0.18F, 0.1F, 0.4F},    {0.18F, 0.25F, 0.4F},   {0.34F, 0.1F, 0.4F},
     {0.34F, 0.25F, 0.4F},   {0.5F, 0.1F, 0.4F},     {0.5F, 0.25F, 0.4F},    {0.22F, 0.5F, 0.1F},
     {0.22F, 0.85F, 0.1F},   {0.22F, 1.1F, 0.1F},    {0.36F, 0.5F, 0.1F},    {0.36F, 0.85F, 0.1F},
     {0.36F, 1.1F, 0.1F},    {0.5F, 0.5F, 0.1F},     {0.5F, 0.85F, 0.1F},    {0.5F, 1.1F, 0.1F}}};
// Scoring boxes: the station's body, its face, the ghost with the pumpkin.
const glm::vec3 bodyMin{-0.68F, 0.0F, -0.27F};
const glm::vec3 bodyMax{0.2F, 1.56F, 0.27F};
const glm::vec3 faceMin{-0.41F, 0.45F, 0.0F};
const glm::vec3 faceMax{-0.07F, 1.26F, 0.0F};
const glm::vec3 companyMin{0.06F, 0.24F, -0.18F};
const glm::vec3 companyMax{0.76F, 1.24F, 0.22F};

constexpr float stageScale = 1.2F;
constexpr float vehicleHalfWidth = 1.45F;
constexpr float vehicleClearHalfWidth = 1.3F;
constexpr float vehicleBoxWidth = 2.6F;
constexpr float clearanceMargin = 0.08F;
constexpr float searchRadius = 14.0F;
constexpr float segmentEnd = 0.995F;

// Projection of the scene camera, set up once per search.
struct Projector {
    glm::mat4 view;
    float aspect;

    // Into `rect`; false when the point is less than half a unit in front.
    bool include(glm::vec3 point, float& minX, float& minY, float& maxX, float& maxY) const
    {
        const glm::vec4 e = view * glm::vec4(point, 1.0F);
        if (!(e.z < -0.5F)) {
            return false;
        }
        const float k = -2.0F * e.z * EasterEggEffects::halfFieldTangent;
        const float x = 0.5F + e.x / (k * aspect);
        const float y = 0.5F - e.y / k;
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
        return true;
    }

    template <typename Points>
    std::optional<EasterEggEffects::ScreenRect> rect(const Points& points) const
    {
        float minX = std::numeric_limits<float>::infinity();
        float minY = minX;
        float maxX = -minX;
        float maxY = -minX;
        for (const glm::vec3& point : points) {
            if (!include(point, minX, minY, maxX, maxY)) {
                return std::nullopt;
            }
        }
        return EasterEggEffects::ScreenRect{minX, minY, static_cast<double>(maxX) - minX,
                                            static_cast<double>(maxY) - minY};
    }
};

double overlap(const EasterEggEffects::ScreenRect& a, const EasterEggEffects::ScreenRect& b)
{
    const double width = std::min(a.maxX(), b.maxX()) - std::max(a.x, b.x);
    const double height = std::min(a.maxY(), b.maxY()) - std::max(a.y, b.y);
    return width > 0.0 && height > 0.0 ? width * height : 0.0;
}

// Whether the segment from `from` to `to`, taken from 0 to 0.995 of the
// way, passes through the box.
bool crosses(glm::vec3 from, glm::vec3 to, const EasterEggEffects::Box& box)
{
    const glm::vec3 low = box.center - box.size * 0.5F;
    const glm::vec3 high = box.center + box.size * 0.5F;
    const glm::vec3 d = to - from;
    float enter = -std::numeric_limits<float>::infinity();
    float exit = std::numeric_limits<float>::infinity();
    for (int axis = 0; axis < 3; ++axis) {
        if (std::abs(d[axis]) < 1e-5F) {
            if (from[axis] < low[axis] || from[axis] > high[axis]) {
                return false;
            }
            continue;
        }
        float t0 = (low[axis] - from[axis]) / d[axis];
        float t1 = (high[axis] - from[axis]) / d[axis];
        if (t0 > t1) {
            std::swap(t0, t1);
        }
        enter = std::max(enter, t0);
        exit = std::min(exit, t1);
    }
    return enter <= exit && exit > 0.0F && enter < segmentEnd;
}

} // namespace

std::array<glm::vec3, 8> EasterEggEffects::corners(glm::vec3 min, glm::vec3 max)
{
    std::array<glm::vec3, 8> result{};
    std::size_t i = 0;
    for (const float x : {min.x, max.x}) {
        for (const float y : {min.y, max.y}) {
            for (const float z : {min.z, max.z}) {
                result[i++] = {x, y, z};
            }
        }
    }
    return result;
}

std::optional<EasterEggEffects::ScreenRect> EasterEggEffects::projected(std::span<const glm::vec3> points,
                                                                        const glm::mat4& camera, float aspect)
{
    return Projector{glm::inverse(camera), aspect}.rect(points);
}

bool EasterEggEffects::prepareCharging(const glm::mat4& camera, float aspect, Vehicle vehicle,
                                       const std::vector<Box>& obstacles)
{
    stagePrepared_ = false;
    const Projector projector{glm::inverse(camera), aspect};

    glm::vec3 right(camera[0].x, 0.0F, camera[0].z);
    glm::vec3 toward(camera[2].x, 0.0F, camera[2].z);
    if (glm::length(right) < 1e-6F || glm::length(toward) < 1e-6F) {
        return false;
    }
    right = glm::normalize(right);
    toward = glm::normalize(toward);
    const glm::vec3 eye(camera[3]);
    const glm::quat facing = glm::angleAxis(std::atan2(toward.x, toward.z), glm::vec3(0.0F, 1.0F, 0.0F));

    const float vehicleHalf = halfLength(vehicle);
    const float vehicleTop = top(vehicle);
    const auto vehicleRect =
        projector.rect(corners({-vehicleHalf, 0.0F, -vehicleHalfWidth}, {vehicleHalf, vehicleTop, vehicleHalfWidth}));
    if (!vehicleRect) {
        return false;
    }
    std::vector<Box> blockers = obstacles;
    blockers.push_back({{0.0F, vehicleTop * 0.5F, 0.0F}, {2.0F * vehicleHalf, vehicleTop, vehicleBoxWidth}});
    std::vector<ScreenRect> obstacleRects;
    obstacleRects.reserve(obstacles.size());
    for (const Box& obstacle : obstacles) {
        if (const auto rect = projector.rect(
                corners(obstacle.center - obstacle.size * 0.5F, obstacle.center + obstacle.size * 0.5F))) {
            obstacleRects.push_back(*rect);
        }
    }
    const auto bodyCorners = corners(bodyMin, bodyMax);
    const auto faceCorners = corners(faceMin, faceMax);
    const auto companyCorners = corners(companyMin, companyMax);
    const auto stageCorners = corners(stageMin, stageMax);

    bool found = false;
    double bestCost = 0.0;
    glm::vec3 bestPosition(0.0F);
    ScreenRect bestFrame;
    float bestSide = 1.0F;
    std::array<glm::vec3, 8> mappedCorners{};

    for (int k = 0; k <= 52; ++k) {
        const float a = -6.0F + 0.25F * static_cast<float>(k);
        for (int j = 0; j <= 120; ++j) {
            const float b = -12.0F + 0.2F * static_cast<float>(j);
            const glm::vec3 position = b * right - a * toward;
            if (!(glm::length(position) < searchRadius)) {
                continue;
            }
            for (const float side : {1.0F, -1.0F}) {
                // A scene point in the world, scaled and mirrored with the stage.
                auto place = [&](glm::vec3 p, float scale) {
                    return position + facing * glm::vec3(scale * side * p.x, scale * p.y, scale * p.z);
                };

                bool clear = true;
                for (const Circle& circle : clearanceCircles) {
                    const glm::vec3 w = place(circle.center, stageScale);
                    const float dx = std::max(std::abs(w.x) - vehicleHalf, 0.0F);
                    const float dz = std::max(std::abs(w.z) - vehicleClearHalfWidth, 0.0F);
                    if (std::sqrt(dx * dx + dz * dz) <= circle.radius + clearanceMargin) {
                        clear = false;
                        break;
                    }
                    for (const Box& obstacle : obstacles) {
                        if (std::abs(w.x - obstacle.center.x) < circle.radius + obstacle.size.x * 0.5F &&
                            std::abs(w.z - obstacle.center.z) < circle.radius + obstacle.size.z * 0.5F) {
                            clear = false;
                            break;
                        }
                    }
                    if (!clear) {
                        break;
                    }
                }
                if (!clear) {
                    continue;
                }

                for (std::size_t i = 0; i < stageCorners.size(); ++i) {
                    mappedCorners[i] = place(stageCorners[i], 1.0F);
                }
                const auto stage = projector.rect(mappedCorners);
                if (!stage || stage->x < 0.035 || stage->maxX() > 0.965 || stage->y < 0.045 || stage->maxY() > 0.94) {
                    continue;
                }

                for (std::size_t i = 0; i < visibilityPoints.size() && clear; ++i) {
                    const glm::vec3 w = place(visibilityPoints[i], stageScale);
                    for (const Box& blocker : blockers) {
                        if (crosses(eye, w, blocker)) {
                            clear = false;
                            break;
                        }
                    }
                }
                if (!clear) {
                    continue;
                }

                auto mapped = [&](const std::array<glm::vec3, 8>& boxCorners) {
                    for (std::size_t i = 0; i < boxCorners.size(); ++i) {
                        mappedCorners[i] = place(boxCorners[i], stageScale);
                    }
                    return projector.rect(mappedCorners);
                };
                const auto body = mapped(bodyCorners);
                const auto face = mapped(faceCorners);
                const auto company = mapped(companyCorners);
                double cost = 0.02 * std::abs(a + 0.5F) + 80.0 * overlap(*stage, *vehicleRect);
                for (const ScreenRect& rect : obstacleRects) {
                    cost += (face ? 300.0 * overlap(*face, rect) : 0.0) + 25.0 * overlap(*stage, rect);
                }
                cost += body ? 3000.0 * overlap(*body, *vehicleRect) : 0.0;
                cost += stage->x + stage->width * 0.5 >= 0.5 ? 1000.0 : 0.0;
                cost += company ? 1500.0 * overlap(*company, *vehicleRect) : 0.0;
                cost += 1.5 * std::abs(stage->height - 0.34);

                if (!found || cost < bestCost) {
                    found = true;
                    bestCost = cost;
                    bestPosition = position;
                    bestFrame = *stage;
                    bestSide = side;
                }
            }
        }
    }

    if (!found) {
        return false;
    }
    stagePosition_ = bestPosition;
    stageFrame_ = bestFrame;
    stageSide_ = bestSide;
    stagePrepared_ = true;
    charging_->setPosition(bestPosition);
    charging_->setOrientation(facing);
    charging_->setScale(glm::vec3(stageScale));
    return true;
}

} // namespace gloam
