#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>

namespace gloam {

// The opt-in lifecycle log of the screen saver. Started with
// HALLOWEEN_SAVER_DIAGNOSTICS=1, every record appends one line
// "<UTC time> <message>" to ~/.cache/net.gloamyard.Gloamyard/lifecycle-<pid>.txt.
// Without the switch nothing is written and no message is built.

// Whether the switch is on; read from the environment once per process.
bool saverDiagnosticsEnabled();

// True only for exactly "1".
bool diagnosticsSwitchValue(const char* value);

// One log file and the way records are appended to it. Every file-system
// error is swallowed: a record that cannot be written is lost.
class SaverDiagnosticsLog {
public:
    SaverDiagnosticsLog(std::filesystem::path folder, std::string fileName);

    // The process-wide log in the user's cache folder.
    static SaverDiagnosticsLog& process();

    // "2025-10-31T22:15:03Z".
    static std::string timestamp(std::time_t time);

    const std::filesystem::path& folder() const { return folder_; }
    std::filesystem::path file() const { return folder_ / fileName_; }

    // Creates the folder if needed, then appends time + " " + message + "\n"
    // in one open, write and close.
    void record(const std::function<std::string()>& message) const;

private:
    std::filesystem::path folder_;
    std::string fileName_;
};

// Records a lifecycle step. `message` is a callable returning the text; it
// is called only when the switch is on.
template <typename Message>
void saverRecord(Message&& message)
{
    if (!saverDiagnosticsEnabled()) {
        return;
    }
    SaverDiagnosticsLog::process().record(std::function<std::string()>(std::forward<Message>(message)));
}

} // namespace gloam
