// Feeds arbitrary bytes to the glTF loader as a ".glb" file. Any outcome
// but a model or a ModelLoadError (a crash, a sanitizer report, another
// exception, a hang) is a finding.

#include "platform/assets/ModelLoader.h"

#include "tests/fuzz/FuzzScratch.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const gloam::fuzz::FuzzScratch scratch("model");
    const auto file = scratch.write("input.glb", data, size);
    try {
        gloam::platform::ModelLoader::loadNow(file, "fuzz");
    } catch (const gloam::platform::ModelLoadError&) {
    }
    return 0;
}
