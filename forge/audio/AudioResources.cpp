#include "forge/audio/AudioResources.h"

#include "forge/audio/CueSounds.h"
#include "forge/audio/M4aEncoder.h"
#include "forge/audio/OrlenzMusic.h"
#include "forge/audio/WavFile.h"
#include "resources/ResourceFiles.h"

#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <stdexcept>

namespace gloam::forge::audio {

void writeCueSounds(const std::filesystem::path& audioFolder)
{
    for (const auto& cue : CueSounds::all())
        WavFile::write(audioFolder / cue.file, cue.make());
}

void writeMusic(const std::filesystem::path& audioFolder)
{
    M4aEncoder::write(audioFolder / resources::music, OrlenzMusic::render());
}

std::string soundCreditsText()
{
    std::ostringstream text;
    text << "Gloamyard - sound credits\n"
            "==========================\n\n"
            "Every sound and the music are original to Gloamyard. They were synthesised\n"
            "in code by Gloamyard's resource forge (forge/audio), from oscillators,\n"
            "noise and filters with fixed seeds; no recordings or samples are used.\n\n"
            "Sounds\n------\n";
    for (const auto& cue : CueSounds::all())
        text << "  " << cue.file << ": " << cue.description << ".\n";
    text << "\nMusic\n-----\n"
            "  "
         << resources::music
         << ": \"Orlenz\", a waltz in D minor composed for the opening.\n"
            "    Music box, low pipe organ, plucked strings, a theremin-like voice, a\n"
            "    kettle drum and wind, each synthesised note by note (additive tones,\n"
            "    Karplus-Strong strings), in a shared room reverberation after Jezar's\n"
            "    public-domain Freeverb. Encoded as AAC in MP4 with FFmpeg.\n\n"
            "Libraries\n---------\n"
            "  FFmpeg (libavformat, libavcodec, libavutil, libswresample), https://ffmpeg.org/:\n"
            "    encodes the music and decodes every sound for playback. FFmpeg is\n"
            "    licensed under the GNU Lesser General Public License 2.1 or later;\n"
            "    distributions that build it with GPL parts (as Debian does) ship it\n"
            "    under the GNU General Public License 2 or later.\n"
            "  OpenAL Soft, https://openal-soft.org/: plays the sounds. GNU Lesser\n"
            "    General Public License 2 or later.\n";
    return text.str();
}

void writeSoundCredits(const std::filesystem::path& audioFolder)
{
    const auto path = audioFolder / resources::soundCredits;
    const auto temporary = std::filesystem::path(path).concat(".partial");
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << soundCreditsText();
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            throw std::runtime_error("cannot write " + path.string());
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error)
        throw std::runtime_error("cannot write " + path.string() + ": " + error.message());
}

void writeAudioResources(const std::filesystem::path& resourceFolder)
{
    const auto audioFolder = resourceFolder / resources::audioFolder;
    std::error_code error;
    std::filesystem::create_directories(audioFolder, error);
    if (error)
        throw std::runtime_error("cannot create " + audioFolder.string() + ": " + error.message());
    // The music takes most of the time; it runs beside the cue sounds on a
    // second core. Both are deterministic on their own, so the files do not
    // depend on the order in which the two finish.
    auto music = std::async(std::launch::async, [&] { writeMusic(audioFolder); });
    try {
        writeCueSounds(audioFolder);
    } catch (...) {
        music.wait();
        throw;
    }
    music.get();
    writeSoundCredits(audioFolder);
}

} // namespace gloam::forge::audio
