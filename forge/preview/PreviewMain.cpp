// gloamyard-forge-preview: looks at the forge's models without a GPU.
//
//   gloamyard-forge-preview RESOURCE-FOLDER OUT.png [--yaw Y] [--elevation E]
//       [--distance D] [--size WxH] [--hand-time T] [--vehicle FILE.glb]... [--vehicle-time T]
//       [--from X,Y,Z --at X,Y,Z --fov DEGREES]   (a free camera)
//   gloamyard-forge-preview RESOURCE-FOLDER OUT.png --contact-sheet
//
// Renders the environment and the hand from the scene's orbit camera
// (default: the opening view), or a contact sheet of four views of the
// scene, the hand close up through its clip, and every texture. With
// --vehicle, the given models (a vehicle and its rear lights) stand in the
// scene in place of the pale stand-in.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <glm/geometric.hpp>
#include <stb_image.h>

#include "forge/preview/PreviewRenderer.h"
#include "resources/ResourceFiles.h"
#include "resources/SceneLandmarks.h"
#include "resources/SceneNames.h"

namespace fs = std::filesystem;
using namespace gloam::forge;

namespace {

std::vector<fs::path> vehicles;
float vehicleTime = 0.0f;

preview::PreviewRenderer scene(const fs::path& folder, int w, int h, float handTime)
{
    preview::PreviewRenderer r(w, h);
    r.setCavityTexture(folder / std::string(gloam::resources::pumpkinCavity));
    r.addTargetLights(folder / std::string(gloam::resources::propTargets));
    r.addModel(folder / std::string(gloam::resources::graveyardModel));
    if (vehicles.empty()) {
        r.addVehicleStandIn();
    }
    for (const fs::path& v : vehicles) {
        r.addModel(v, vehicleTime);
    }
    if (fs::exists(folder / std::string(gloam::resources::handModel))) {
        r.addModel(folder / std::string(gloam::resources::handModel), handTime);
    }
    return r;
}

void paste(Image& sheet, const Image& tile, int ox, int oy)
{
    for (int y = 0; y < tile.height() && oy + y < sheet.height(); ++y) {
        for (int x = 0; x < tile.width() && ox + x < sheet.width(); ++x) {
            sheet.at(ox + x, oy + y) = tile.at(x, y);
        }
    }
}

Image loadThumb(const fs::path& png, int size)
{
    int w = 0, h = 0, n = 0;
    unsigned char* data = stbi_load(png.string().c_str(), &w, &h, &n, 4);
    Image out(size, size, glm::vec4(0.2f, 0.2f, 0.2f, 1.0f));
    if (data == nullptr) {
        return out;
    }
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            int sx = x * w / size, sy = y * h / size;
            const unsigned char* p = data + (sy * w + sx) * 4;
            float a = p[3] / 255.0f;
            glm::vec3 checker = ((x / 8 + y / 8) % 2) ? glm::vec3(0.3f) : glm::vec3(0.2f);
            out.at(x, y) = glm::vec4(glm::mix(checker, glm::vec3(p[0], p[1], p[2]) / 255.0f, a), 1.0f);
        }
    }
    stbi_image_free(data);
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: gloamyard-forge-preview RESOURCE-FOLDER OUT.png [options]\n");
        return 2;
    }
    fs::path folder = argv[1], out = argv[2];
    namespace lm = gloam::landmarks;
    float yaw = lm::cameraYaw, elevation = lm::cameraElevation, distance = lm::cameraDistance, handTime = 1.9f;
    int w = 1200, h = 540;
    bool sheet = false;
    bool free = false;
    preview::Camera freeCamera;
    for (int i = 3; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&]() { return i + 1 < argc ? std::string(argv[++i]) : std::string("0"); };
        if (a == "--yaw")
            yaw = std::stof(next());
        else if (a == "--elevation")
            elevation = std::stof(next());
        else if (a == "--distance")
            distance = std::stof(next());
        else if (a == "--hand-time")
            handTime = std::stof(next());
        else if (a == "--size")
            std::sscanf(next().c_str(), "%dx%d", &w, &h);
        else if (a == "--contact-sheet")
            sheet = true;
        else if (a == "--from") {
            free = true;
            std::sscanf(next().c_str(), "%f,%f,%f", &freeCamera.position.x, &freeCamera.position.y,
                        &freeCamera.position.z);
        } else if (a == "--at")
            std::sscanf(next().c_str(), "%f,%f,%f", &freeCamera.target.x, &freeCamera.target.y, &freeCamera.target.z);
        else if (a == "--fov")
            freeCamera.fieldOfViewDegrees = std::stof(next());
        else if (a == "--vehicle")
            vehicles.push_back(next());
        else if (a == "--vehicle-time")
            vehicleTime = std::stof(next());
    }
    try {
        if (!sheet) {
            preview::PreviewRenderer r = scene(folder, w, h, handTime);
            r.render(free ? freeCamera : preview::orbitCamera(yaw, elevation, distance, w, h)).writePng(out, false);
            return 0;
        }
        const int tw = 600, th = 270;
        Image contact(tw * 2, th * 3 + 128 * 2, glm::vec4(0.05f, 0.05f, 0.06f, 1.0f));
        preview::PreviewRenderer r = scene(folder, tw, th, handTime);
        float views[4][3] = {{lm::cameraYaw, lm::cameraElevation, lm::cameraDistance},
                             {lm::cameraYaw + 1.6f, 0.1f, 21.0f},
                             {lm::cameraYaw + 3.14f, 0.05f, 20.0f},
                             {lm::cameraYaw - 0.9f, 0.6f, 24.0f}};
        for (int v = 0; v < 4; ++v) {
            paste(contact, r.render(preview::orbitCamera(views[v][0], views[v][1], views[v][2], tw, th)), (v % 2) * tw,
                  (v / 2) * th);
        }
        // The hand close up at four moments of its clip.
        glm::vec3 wrist(lm::handWrist.x, lm::handWrist.y, lm::handWrist.z);
        for (int k = 0; k < 4; ++k) {
            preview::PreviewRenderer hr = scene(folder, tw / 2, th, 0.4f + static_cast<float>(k) * 0.8f);
            preview::Camera c;
            c.target = wrist + glm::vec3(0, 0.2f, 0);
            c.position = c.target + glm::normalize(glm::vec3(-0.82f, 0.25f, 0.58f)) * 4.0f;
            c.fieldOfViewDegrees = 14.0f;
            paste(contact, hr.render(c), k * tw / 2, 2 * th);
        }
        // Every texture the forge wrote.
        int x = 0, y = 3 * th;
        std::vector<fs::path> pngs;
        for (const auto& e : fs::directory_iterator(folder)) {
            if (e.path().extension() == ".png") {
                pngs.push_back(e.path());
            }
        }
        std::sort(pngs.begin(), pngs.end());
        for (const fs::path& p : pngs) {
            paste(contact, loadThumb(p, 126), x + 1, y + 1);
            x += 128;
            if (x + 128 > contact.width()) {
                x = 0;
                y += 128;
            }
        }
        contact.writePng(out, false);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gloamyard-forge-preview: %s\n", e.what());
        return 1;
    }
    return 0;
}
