#pragma once

// A program run as a child process with its own environment and output
// files, for the tests that check what a real run does to the user's files.

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace gloam::testing {

class ChildProcess {
public:
    struct Options {
        // Variables to set; a value of nullopt removes the variable.
        std::map<std::string, std::optional<std::string>> environment;
        // A file-size limit (RLIMIT_FSIZE) in bytes, with SIGXFSZ ignored,
        // so that writes past it fail as on a full disk.
        std::optional<long> fileSizeLimit;
    };

    // Starts `program` with `arguments`; standard output and error go to
    // files in `outputFolder`.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::filesystem::path& outputFolder, const Options& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    void signal(int number) const;
    // Waits for the end (killing the child after `limitSeconds`, a guard
    // against a hang, not a measure); the exit status, or 128 + the signal.
    int wait(double limitSeconds = 600);

    std::string standardOutput() const;
    std::string standardError() const;

private:
    pid_t pid_ = -1;
    std::filesystem::path out_;
    std::filesystem::path err_;
    std::optional<int> status_;
};

// The lines of a text, without their ends.
std::vector<std::string> lines(const std::string& text);

} // namespace gloam::testing
