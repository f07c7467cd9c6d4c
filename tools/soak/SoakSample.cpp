#include "tools/soak/SoakSample.h"

#include "engine/scene/HeadlessSceneDriver.h"
#include "platform/assets/TextureResource.h"
#include "platform/mesh/MeshResource.h"
#include "platform/render/FramePacketBuilder.h"
#include "platform/render/Renderer.h"

#include <algorithm>
#include <cstdio>

namespace gloam::soak {

SoakSample SoakSample::take(double minute, long frames, std::chrono::steady_clock::time_point start,
                            HeadlessSceneDriver& driver)
{
    SoakSample s;
    s.minute = minute;
    s.frames = frames;
    s.realSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    s.memory = ProcessMemory::sample();
    const render::GpuResourceCache::Stats gpu = driver.renderer().resourceStats();
    s.gpuEntries = gpu.entries();
    s.gpuMegabytes = static_cast<double>(gpu.bytes) / (1024.0 * 1024.0);
    const render::FramePacketBuilder::Stats packets = driver.packetBuilder().stats();
    s.packetMeshes = packets.meshes;
    s.packetImages = packets.images;
    s.meshes = platform::MeshResource::liveCount();
    s.textures = platform::TextureResource::liveCount();
    return s;
}

void SoakSample::printHeader(const char* first)
{
    std::printf("%7s %8s %8s %8s %8s %8s %5s %5s %8s %7s %7s %7s %7s\n", first, "frames", "real s", "RSS MB", "anon MB",
                "heap MB", "files", "gpu", "gpu MB", "packet", "images", "meshes", "texts");
}

void SoakSample::print() const
{
    std::printf("%7.0f %8ld %8.0f %8.1f %8.1f %8.1f %5d %5zu %8.1f %7zu %7zu %7ld %7ld\n", minute, frames, realSeconds,
                memory.resident, memory.anonymous, memory.heapInUse, memory.openFiles, gpuEntries, gpuMegabytes,
                packetMeshes, packetImages, meshes, textures);
    std::fflush(stdout);
}

double leastSquaresSlope(const std::vector<double>& x, const std::vector<double>& y)
{
    const std::size_t n = std::min(x.size(), y.size());
    if (n < 2) {
        return 0.0;
    }
    double meanX = 0, meanY = 0;
    for (std::size_t i = 0; i < n; ++i) {
        meanX += x[i];
        meanY += y[i];
    }
    meanX /= static_cast<double>(n);
    meanY /= static_cast<double>(n);
    double covariance = 0, variance = 0;
    for (std::size_t i = 0; i < n; ++i) {
        covariance += (x[i] - meanX) * (y[i] - meanY);
        variance += (x[i] - meanX) * (x[i] - meanX);
    }
    return variance > 0 ? covariance / variance : 0.0;
}

SoakSummary SoakSummary::of(const std::vector<SoakSample>& samples, double settled)
{
    SoakSummary summary;
    std::vector<double> minutes, resident, anonymous, heap;
    const SoakSample* first = nullptr;
    for (const SoakSample& sample : samples) {
        if (sample.minute < settled) {
            continue;
        }
        if (first == nullptr) {
            first = &sample;
            summary.gpuEntriesMin = summary.gpuEntriesMax = sample.gpuEntries;
            summary.meshesMin = summary.meshesMax = sample.meshes;
            summary.texturesMin = summary.texturesMax = sample.textures;
            summary.openFilesMin = summary.openFilesMax = sample.memory.openFiles;
        }
        minutes.push_back(sample.minute);
        resident.push_back(sample.memory.resident);
        anonymous.push_back(sample.memory.anonymous);
        heap.push_back(sample.memory.heapInUse);
        summary.gpuEntriesMin = std::min(summary.gpuEntriesMin, sample.gpuEntries);
        summary.gpuEntriesMax = std::max(summary.gpuEntriesMax, sample.gpuEntries);
        summary.meshesMin = std::min(summary.meshesMin, sample.meshes);
        summary.meshesMax = std::max(summary.meshesMax, sample.meshes);
        summary.texturesMin = std::min(summary.texturesMin, sample.textures);
        summary.texturesMax = std::max(summary.texturesMax, sample.textures);
        summary.openFilesMin = std::min(summary.openFilesMin, sample.memory.openFiles);
        summary.openFilesMax = std::max(summary.openFilesMax, sample.memory.openFiles);
    }
    summary.count = minutes.size();
    if (summary.count < 2) {
        summary.count = 0;
        return summary;
    }
    summary.fromMinute = minutes.front();
    summary.toMinute = minutes.back();
    summary.residentSlope = leastSquaresSlope(minutes, resident);
    summary.anonymousSlope = leastSquaresSlope(minutes, anonymous);
    summary.heapSlope = leastSquaresSlope(minutes, heap);
    summary.residentGrowth = resident.back() - resident.front();
    return summary;
}

void SoakSummary::print(const char* unit, const char* per, double scale) const
{
    if (count == 0) {
        std::printf("too few samples after settling for a trend\n");
        return;
    }
    std::printf("from %s %.0f to %.0f (%zu samples):\n", unit, fromMinute, toMinute, count);
    std::printf("  resident    %+8.3f MB per %s (least squares), %+.2f MB from first to last\n", residentSlope * scale,
                per, residentGrowth);
    std::printf("  anonymous   %+8.3f MB per %s\n", anonymousSlope * scale, per);
    std::printf("  heap in use %+8.3f MB per %s\n", heapSlope * scale, per);
    std::printf("  GPU cache entries %zu to %zu, live meshes %ld to %ld, textures %ld to %ld, open files %d to %d\n",
                gpuEntriesMin, gpuEntriesMax, meshesMin, meshesMax, texturesMin, texturesMax, openFilesMin,
                openFilesMax);
}

} // namespace gloam::soak
