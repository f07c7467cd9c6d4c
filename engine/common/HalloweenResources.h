#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace gloam {

// The one folder every scene resource is looked up in, found next to the
// running program: <program dir>/../share/gloamyard/Resources, which is
// both the installed layout (bin/ beside share/) and the build tree's.
//
// Found once per process, on first use. Without it the scene cannot exist,
// so a missing folder ends the process with a message naming where it
// looked.
const std::filesystem::path& halloweenResources();

// The candidate folder for a program living in `programDirectory`, if it
// exists there.
std::optional<std::filesystem::path> findResourceFolder(const std::filesystem::path& programDirectory);

// The folder of the running program (from /proc/self/exe).
std::filesystem::path programDirectory();

} // namespace gloam
