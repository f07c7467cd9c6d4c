#pragma once

#include <filesystem>
#include <string>

namespace gloam::forge::audio {

// Writes the scene's sound resources into `resourceFolder`/Audio: the
// effect sounds, the opening music and the credits. Creates the folder.
// Throws std::runtime_error (with the file named) when a file cannot be
// made; files already written stay.
void writeAudioResources(const std::filesystem::path& resourceFolder);

// The parts of the above, each writing into the Audio folder itself.
void writeCueSounds(const std::filesystem::path& audioFolder);
void writeMusic(const std::filesystem::path& audioFolder);
void writeSoundCredits(const std::filesystem::path& audioFolder);

// What "CREDITS.txt" says: what made each sound and the music, and the
// libraries with their licences.
std::string soundCreditsText();

} // namespace gloam::forge::audio
