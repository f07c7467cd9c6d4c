#pragma once

#include "installer/InstallerEnvironment.h"
#include "installer/ProcessHandle.h"
#include "installer/ToolCommand.h"
#include "platform/async/Task.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace gloam::installer {

// The system tools the installer starts, found on the user's PATH, each
// within its time limit, and the process list they give.
class SystemTools {
public:
    explicit SystemTools(const InstallerEnvironment& environment);

    // Runs the tool `name` with its deadline. A tool that is not found or
    // cannot start throws the system's error; one still running at its
    // deadline is ended, and then, when `failureMessage` is given, the call
    // throws the installer's error saying which tool did not finish and in
    // how long, followed by `failureMessage`. (Coroutines take their
    // parameters by value: they start after the caller's temporaries are gone.)
    async::Task<CommandResult> run(QString name, QStringList arguments, QString failureMessage);

    // This user's live processes named `name` whose executable is
    // `executable`, each opened (pidfd) before it was checked and still the
    // process checked. pgrep failing (status above 1) throws `failureMessage`.
    // Process numbers 0 and 1 and the installer's own are never among them.
    async::Task<std::vector<ProcessHandle>> userProcesses(QString name, QString executable, QString failureMessage);

private:
    const InstallerEnvironment& environment_;
};

} // namespace gloam::installer
