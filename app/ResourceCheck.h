#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace gloam::app {

// Looks over the resource folder before the app builds its window, so that
// a missing or damaged installation ends with a message naming the folder
// instead of a blank window. It checks that the files the scene cannot do
// without are there, are not empty and have the right form; the scene's
// own loading reports anything subtler.
class ResourceCheck {
public:
    // What is wrong with `folder`, as a sentence for the user; none when
    // the folder looks whole.
    static std::optional<std::string> problem(const std::filesystem::path& folder);

    // The whole message for a folder that cannot be used: the problem and
    // what to do about it.
    static std::string message(const std::string& problem);
};

} // namespace gloam::app
