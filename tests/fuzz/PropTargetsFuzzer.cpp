// Feeds arbitrary bytes to the PropTargets.json decoder. Any outcome but a
// list of targets or a DecodingError is a finding.

#include "engine/common/PropTarget.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        const auto targets = gloam::PropTarget::decodeList(std::string_view(reinterpret_cast<const char*>(data), size));
        for (const auto& target : targets) {
            // What the scene reads of every target.
            (void)target.position();
            (void)target.dimensions();
            (void)target.hitName();
        }
    } catch (const gloam::PropTarget::DecodingError&) {
    }
    return 0;
}
