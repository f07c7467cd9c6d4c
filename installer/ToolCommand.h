#pragma once

#include "platform/async/Task.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace gloam::installer {

struct CommandResult {
    // The exit status; -1 when the tool was ended by a signal or its time ran out.
    int code = 0;
    // The tool was still running at its time limit and was ended.
    bool timedOut = false;
    // Standard output and standard error together, decoded as UTF-8 with
    // invalid sequences replaced.
    QString output;
};

// Runs the tool at `path` on the worker pool and resumes the caller on the
// main actor with its result. The tool's output is read to its end before
// its exit is awaited, so a chatty tool never blocks on a full pipe. A tool
// that cannot be started ends the call with an InstallerError carrying the
// system's description. `limitSeconds` > 0 ends a tool still running after
// that long (SIGKILL), so that a wedged tool never keeps the installer busy.
async::Task<CommandResult> command(QString path, QStringList arguments, QProcessEnvironment environment,
                                   double limitSeconds = 0);

} // namespace gloam::installer
