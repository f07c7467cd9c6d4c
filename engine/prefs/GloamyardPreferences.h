#pragma once

#include "platform/store/SettingsStore.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace gloam {

// The store of choices shared by the app and the screen saver: one settings
// file in the app group's folder of the user's config directory
// ($XDG_CONFIG_HOME, normally ~/.config). Both programs read it on every
// access and write it at once, so a choice made in one is seen by the other.
class GloamyardPreferences {
public:
    // The app's reverse-DNS identifier; the diagnostics log folder is named
    // after it too.
    static constexpr std::string_view bundleIdentifier = "net.gloamyard.Gloamyard";
    // The app group: the maker's team identifier, a dot, the bundle identifier.
    static constexpr std::string_view group = "G7N4Q2YARD.net.gloamyard.Gloamyard";

    // The shared store, opened on first use and kept for the life of the
    // process. A config directory that is missing or cannot be created ends
    // the process with a message: both programs depend on it.
    static platform::SettingsStore& defaults();

    // Why the shared store cannot be opened (no config directory, or its
    // folder cannot be made), as a sentence for people; none when it can.
    // A program with a window asks first, so that it can say so in one.
    static std::optional<std::string> openProblem();

    // Copies the screen saver's older per-module choices into the shared
    // store once; values already there are never overwritten.
    static void migrateAppChoices();

    // Where the shared store and the legacy per-module store live under a
    // config directory.
    static std::filesystem::path sharedStoreFile(const std::filesystem::path& configDirectory);
    static std::filesystem::path legacyModuleFile(const std::filesystem::path& configDirectory);

    // The user's config directory as the platform reports it; empty if none.
    static std::filesystem::path configDirectory();
};

} // namespace gloam
