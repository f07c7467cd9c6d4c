#pragma once

#include <stdexcept>
#include <string>

namespace gloam::platform {

// A sound file that cannot be opened or decoded, or no output device. The
// message is written for people: "cannot open thunder.wav: no such file".
class AudioError : public std::runtime_error {
public:
    explicit AudioError(const std::string& description)
        : std::runtime_error(description)
    {}
};

} // namespace gloam::platform
