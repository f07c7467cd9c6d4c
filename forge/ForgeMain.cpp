// gloamyard-forge: makes every resource file of the scene.
//
//   gloamyard-forge OUTPUT-FOLDER [STEP...]
//   gloamyard-forge --list
//
// With step names, only those steps run. Every step is deterministic (fixed
// seeds), so two runs write identical files.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "forge/ForgeStep.h"
#include "forge/icon/AppIcon.h"
#include "forge/shaders/PostProcessLibraries.h"
#include "forge/vehicles/VehicleSteps.h"
#include "forge/world/WorldSteps.h"
#if defined(GLOAMYARD_FORGE_AUDIO)
#include "forge/audio/AudioResources.h"
#endif

namespace {

gloam::forge::ForgeSteps allSteps()
{
    gloam::forge::ForgeSteps steps;
    gloam::forge::addWorldSteps(steps);
#if defined(GLOAMYARD_FORGE_AUDIO)
    steps.push_back({"audio", gloam::forge::audio::writeAudioResources});
#endif
    gloam::forge::addVehicleSteps(steps);
    steps.push_back({"app-icon", gloam::forge::writeAppIcons});
    steps.push_back({"shaders", [](const std::filesystem::path& folder) {
                         gloam::forge::writePostProcessLibraries(folder, GLOAMYARD_POST_PROCESS_KERNELS);
                     }});
    // Further writers register here, one call each: a step is a name and a
    // function of the resource folder.
    return steps;
}

} // namespace

int main(int argc, char** argv)
{
    gloam::forge::ForgeSteps steps = allSteps();
    if (argc < 2) {
        std::fprintf(stderr, "usage: gloamyard-forge OUTPUT-FOLDER [STEP...] | --list\n");
        return 2;
    }
    std::string first = argv[1];
    if (first == "--list") {
        for (const auto& step : steps) {
            std::printf("%s\n", step.name.c_str());
        }
        return 0;
    }
    std::set<std::string> only;
    for (int i = 2; i < argc; ++i) {
        only.insert(argv[i]);
    }
    for (const std::string& name : only) {
        bool known = false;
        for (const auto& step : steps) {
            known = known || step.name == name;
        }
        if (!known) {
            std::fprintf(stderr, "gloamyard-forge: unknown step \"%s\" (see --list)\n", name.c_str());
            return 2;
        }
    }
    std::filesystem::path output = first;
    auto started = std::chrono::steady_clock::now();
    std::vector<const gloam::forge::ForgeStep*> chosen;
    for (const auto& step : steps) {
        if (only.empty() || only.count(step.name) != 0) {
            chosen.push_back(&step);
        }
    }
    try {
        std::filesystem::create_directories(output);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "gloamyard-forge: %s\n", error.what());
        return 1;
    }
    // Steps are independent and write different files: run them on every
    // core. Each one is deterministic on its own, so the order they finish
    // in changes nothing.
    std::atomic<std::size_t> next{0};
    std::mutex report;
    std::string failure;
    auto worker = [&]() {
        for (std::size_t i = next++; i < chosen.size(); i = next++) {
            const gloam::forge::ForgeStep& step = *chosen[i];
            auto t0 = std::chrono::steady_clock::now();
            try {
                step.write(output);
            } catch (const std::exception& error) {
                std::lock_guard<std::mutex> lock(report);
                failure += step.name + ": " + error.what() + "\n";
                continue;
            }
            std::chrono::duration<double> took = std::chrono::steady_clock::now() - t0;
            std::lock_guard<std::mutex> lock(report);
            std::printf("forge: %-22s %.2f s\n", step.name.c_str(), took.count());
            std::fflush(stdout);
        }
    };
    unsigned threads =
        std::max(1U, std::min(std::thread::hardware_concurrency(), static_cast<unsigned>(chosen.size())));
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t) {
        pool.emplace_back(worker);
    }
    for (std::thread& t : pool) {
        t.join();
    }
    if (!failure.empty()) {
        std::fprintf(stderr, "gloamyard-forge: failed\n%s", failure.c_str());
        return 1;
    }
    std::chrono::duration<double> total = std::chrono::steady_clock::now() - started;
    std::printf("forge: done in %.2f s -> %s\n", total.count(), output.string().c_str());
    return 0;
}
