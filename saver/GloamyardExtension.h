#pragma once

#include "saver/SaverCommandLine.h"

namespace gloam::saver {

// The screen saver program as XScreenSaver runs it: it reads its command
// line, then either draws the scene in the host's window (or the root
// window, or a window of its own) until it is told to stop, or shows the
// options sheet. It makes the view controller and the configuration
// controller and feeds them the host's events: the X window mapped,
// unmapped, resized and destroyed, SIGTERM and SIGINT, XScreenSaver's
// session, logind's system sleep and the monitor's DPMS sleep.
class GloamyardExtension {
public:
    static int main(int argc, char** argv);

    // How long after SIGTERM (or the host's window going away) an orderly
    // stop may take before the process ends anyway: XScreenSaver expects a
    // display mode to be gone within a second, and a software-rendered
    // frame can take longer than that.
    static constexpr int stopDeadlineMs = 600;

private:
    static int draw(const SaverCommandLine& commandLine, char* programPath);
    static int configure(char* programPath);
};

} // namespace gloam::saver
