// gloamyard-forge-audio <resource folder>: writes only the sound resources
// (the effect sounds, the music and the credits) into <folder>/Audio.

#include "forge/audio/AudioResources.h"

#include <chrono>
#include <exception>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: gloamyard-forge-audio <resource folder>\n";
        return 2;
    }
    try {
        const auto start = std::chrono::steady_clock::now();
        gloam::forge::audio::writeAudioResources(argv[1]);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::cout << "forge audio: wrote sounds, music and credits in " << took.count() << " s\n";
    } catch (const std::exception& error) {
        std::cerr << "forge audio failed: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
