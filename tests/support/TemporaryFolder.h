#pragma once

// A fresh, private folder under the system's temporary folder, named after
// `prefix` with a unique suffix, removed with everything in it when the
// object goes. Tests write their files here, never at fixed names that two
// runs (or two test processes) would share.

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace gloam::testing {

class TemporaryFolder {
public:
    explicit TemporaryFolder(const std::string& prefix = "gloamyard-test")
        : path_(create(prefix))
    {}

    // A fresh folder the caller removes (for fixtures that own it themselves).
    static std::filesystem::path create(const std::string& prefix)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (!::mkdtemp(pattern.data())) {
            throw std::runtime_error("cannot make a temporary folder " + pattern + ": " + std::strerror(errno));
        }
        return pattern;
    }
    ~TemporaryFolder()
    {
        std::error_code ignored;
        // A test may have taken the owner's rights away to make writes fail.
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Passes wherever a path is wanted.
    operator const std::filesystem::path&() const { return path_; }

    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

} // namespace gloam::testing
