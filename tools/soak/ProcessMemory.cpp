#include "tools/soak/ProcessMemory.h"

#include <malloc.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace gloam::soak {

namespace {

constexpr double mebibyte = 1024.0 * 1024.0;

// The number of a "Name:   1234 kB" line of /proc/self/status.
bool readField(const std::string& line, const char* name, double& value)
{
    const std::size_t length = std::strlen(name);
    if (line.compare(0, length, name) != 0) {
        return false;
    }
    value = std::stod(line.substr(length));
    return true;
}

} // namespace

ProcessMemory ProcessMemory::sample()
{
    ProcessMemory memory;
    std::ifstream status("/proc/self/status");
    std::string line;
    double residentKiB = 0;
    double anonymousKiB = 0;
    double threads = 0;
    while (std::getline(status, line)) {
        readField(line, "VmRSS:", residentKiB) || readField(line, "RssAnon:", anonymousKiB) ||
            readField(line, "Threads:", threads);
    }
    memory.resident = residentKiB / 1024.0;
    memory.anonymous = anonymousKiB / 1024.0;
    memory.threads = static_cast<int>(threads);

    const struct mallinfo2 heap = mallinfo2();
    memory.heapInUse = static_cast<double>(heap.uordblks + heap.hblkhd) / mebibyte;
    memory.heapHeld = static_cast<double>(heap.arena + heap.hblkhd) / mebibyte;

    std::error_code error;
    for (std::filesystem::directory_iterator entry("/proc/self/fd", error), end; !error && entry != end;
         entry.increment(error)) {
        ++memory.openFiles;
    }
    // The directory's own descriptor, open while it was listed.
    memory.openFiles = memory.openFiles > 0 ? memory.openFiles - 1 : 0;
    return memory;
}

} // namespace gloam::soak
