#pragma once

#include <stdexcept>
#include <string>

namespace gloam::platform {

// A video file that cannot be written: no encoder, a folder that refuses
// the file, a full disk. The message is written for people and says why,
// without the file's name, which the caller knows better ("No space left
// on device", "this FFmpeg build has no H.264 encoder").
class VideoError : public std::runtime_error {
public:
    explicit VideoError(const std::string& description)
        : std::runtime_error(description)
    {}
};

} // namespace gloam::platform
