// Time to make each sound resource: every cue, the music's synthesis and
// its AAC encoding. Run: build/dev/bin/gloamyard-forge-audio-benchmark

#include "forge/audio/CueSounds.h"
#include "forge/audio/M4aEncoder.h"
#include "forge/audio/OrlenzMusic.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace {

using namespace gloam::forge::audio;

void synthesiseCue(benchmark::State& state)
{
    const auto& cue = CueSounds::all().at(static_cast<std::size_t>(state.range(0)));
    state.SetLabel(std::string(cue.file));
    for (auto _ : state)
        benchmark::DoNotOptimize(cue.make());
}
BENCHMARK(synthesiseCue)->DenseRange(0, 7)->Unit(benchmark::kMillisecond);

void renderMusic(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(OrlenzMusic::render());
}
BENCHMARK(renderMusic)->Unit(benchmark::kMillisecond)->Iterations(2);

void encodeMusic(benchmark::State& state)
{
    const auto music = OrlenzMusic::render();
    const auto path = std::filesystem::temp_directory_path() / "gloam-forge-audio-benchmark.m4a";
    for (auto _ : state)
        M4aEncoder::write(path, music);
    std::filesystem::remove(path);
}
BENCHMARK(encodeMusic)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

BENCHMARK_MAIN();
