#pragma once

#include "tools/soak/ProcessMemory.h"

#include <chrono>
#include <cstddef>
#include <vector>

namespace gloam {
class HeadlessSceneDriver;
}

namespace gloam::soak {

// What the soak reads once per scene minute (or once per view cycle).
struct SoakSample {
    double minute = 0; // scene time; the cycle's number in view cycles
    long frames = 0;   // frames drawn so far
    double realSeconds = 0;
    ProcessMemory memory;
    std::size_t gpuEntries = 0; // the renderer's GL copies of meshes and pictures
    double gpuMegabytes = 0;
    std::size_t packetMeshes = 0; // the frame packet builder's converted meshes and pictures
    std::size_t packetImages = 0;
    long meshes = 0; // live mesh and texture resources of the process
    long textures = 0;

    // Reads the process's memory and the driver's renderer, packet builder
    // and live resource counts now.
    static SoakSample take(double minute, long frames, std::chrono::steady_clock::time_point start,
                           HeadlessSceneDriver& driver);

    static void printHeader(const char* first);
    void print() const;
};

// How a run's figures moved after it settled: growth per sample unit (a
// scene minute, a view cycle) from a least-squares line through the
// samples, and the ranges of the counts.
struct SoakSummary {
    double fromMinute = 0;
    double toMinute = 0;
    double residentSlope = 0; // MiB per unit
    double anonymousSlope = 0;
    double heapSlope = 0;
    double residentGrowth = 0; // last sample minus the first one counted, MiB
    std::size_t gpuEntriesMin = 0, gpuEntriesMax = 0;
    long meshesMin = 0, meshesMax = 0;
    long texturesMin = 0, texturesMax = 0;
    int openFilesMin = 0, openFilesMax = 0;
    std::size_t count = 0;

    // Over the samples from `settled` on; count 0 when fewer than two.
    static SoakSummary of(const std::vector<SoakSample>& samples, double settled);
    // `unit` names a sample ("minute"); the slopes are printed times `scale`
    // per `per` ("hour", 60).
    void print(const char* unit, const char* per, double scale) const;
};

// Slope of the least-squares line through (x, y), per unit of x.
double leastSquaresSlope(const std::vector<double>& x, const std::vector<double>& y);

} // namespace gloam::soak
