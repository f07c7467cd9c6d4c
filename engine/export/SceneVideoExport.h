#pragma once

#include "engine/export/VideoExportOptions.h"

#include <string>
#include <string_view>

namespace gloam {

// Exports the scene as an MP4 video with its music and sounds, headless:
// the scene stepped at exactly 1 / fps per frame, every frame drawn at the
// output size through an EGL context (no display), the scene's own sound
// code mixed through OpenAL Soft's loopback device in step with the frames
// (no sound card), H.264 and AAC through FFmpeg.
//
// The file is written beside the target under a temporary name and renamed
// into place when complete; an existing file is replaced only with --force.
// SIGINT and SIGTERM stop the export and remove the temporary file.
class SceneVideoExport {
public:
    // A program's whole export: reads the arguments after the program's name
    // (`fileOption` names the file), runs, and returns the exit status. Bad
    // input, failures and the final line are one line each on standard
    // error or output, prefixed with `program` and ": ".
    static int main(int argc, char** argv, std::string_view program, std::string_view fileOption);

    // Runs an export of parsed options; the exit status: 0 written, 1 failed,
    // 128 + the signal's number when stopped by a signal.
    static int run(const VideoExportOptions& options, const std::string& program);
};

} // namespace gloam
