#pragma once

// A private folder for a fuzz target whose code under test reads files:
// each input is written to the same file in it, and the folder goes when
// the process ends normally.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace gloam::fuzz {

class FuzzScratch {
public:
    explicit FuzzScratch(const std::string& name)
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / ("gloamyard-fuzz-" + name + "-XXXXXX")).string();
        if (!::mkdtemp(pattern.data())) {
            std::abort();
        }
        folder_ = pattern;
    }
    ~FuzzScratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    FuzzScratch(const FuzzScratch&) = delete;
    FuzzScratch& operator=(const FuzzScratch&) = delete;

    // Replaces the folder's content with one file holding the input.
    std::filesystem::path write(const std::string& name, const std::uint8_t* data, std::size_t size) const
    {
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(folder_, ignored)) {
            std::filesystem::remove_all(entry.path(), ignored);
        }
        const auto file = folder_ / name;
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) {
            std::abort();
        }
        return file;
    }

private:
    std::filesystem::path folder_;
};

} // namespace gloam::fuzz
