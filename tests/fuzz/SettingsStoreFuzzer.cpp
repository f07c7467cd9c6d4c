// Puts arbitrary bytes where the shared settings file lives, reads it as
// the programs do, then writes one key (which keeps a damaged file aside
// and replaces it). Reads must see a JSON object or nothing; the write must
// succeed and leave a file that reads back with the key.

#include "platform/store/SettingsStore.h"

#include "tests/fuzz/FuzzScratch.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const gloam::fuzz::FuzzScratch scratch("settings");
    const auto file = scratch.write("choices.json", data, size);
    gloam::platform::SettingsStore store(file);
    (void)store.snapshot();
    (void)store.value(QStringLiteral("vehicle"));
    if (!store.setValue(QStringLiteral("fuzz"), QJsonValue(1))) {
        std::abort();
    }
    const auto written = store.value(QStringLiteral("fuzz"));
    if (!written || written->toInt() != 1) {
        std::abort();
    }
    return 0;
}
