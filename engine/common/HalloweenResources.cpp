#include "engine/common/HalloweenResources.h"

#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace gloam {

namespace {

std::filesystem::path relativeFolder()
{
    return std::filesystem::path("..") / "share" / "gloamyard" / "Resources";
}

} // namespace

std::filesystem::path programDirectory()
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::current_path(error) : self.parent_path();
}

std::optional<std::filesystem::path> findResourceFolder(const std::filesystem::path& directory)
{
    std::error_code error;
    const std::filesystem::path candidate = std::filesystem::weakly_canonical(directory / relativeFolder(), error);
    if (error || !std::filesystem::is_directory(candidate, error)) {
        return std::nullopt;
    }
    return candidate;
}

const std::filesystem::path& halloweenResources()
{
    static const std::filesystem::path folder = [] {
        const std::filesystem::path directory = programDirectory();
        if (auto found = findResourceFolder(directory)) {
            return *found;
        }
        std::fprintf(stderr,
                     "Gloamyard cannot start: its resource folder is missing. Looked for %s.\n"
                     "Build the project (the build makes the resources) or reinstall Gloamyard.\n",
                     (directory / relativeFolder()).lexically_normal().c_str());
        std::exit(EXIT_FAILURE);
    }();
    return folder;
}

} // namespace gloam
