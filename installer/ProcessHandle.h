#pragma once

#include <sys/types.h>

namespace gloam::installer {

// A process held by a pidfd: once open, it names that one process for as
// long as the handle lives, even if the process ends and its number is given
// to another. A process is opened first, then checked (owner, executable),
// then found still alive through the handle, and only then signalled through
// it; a number reused in between is never signalled.
class ProcessHandle {
public:
    ProcessHandle() = default;
    static ProcessHandle open(pid_t pid);
    ~ProcessHandle();
    ProcessHandle(ProcessHandle&& other) noexcept;
    ProcessHandle& operator=(ProcessHandle&& other) noexcept;
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    pid_t pid() const { return pid_; }

    // Whether the process still runs (a zombie counts as ended).
    bool isAlive() const;
    // Sends `signal` to this process only. True when sent, or when the
    // process has already ended (it is gone, which is what a quit request wants).
    bool signal(int signal) const;

private:
    int fd_ = -1;
    pid_t pid_ = 0;
};

} // namespace gloam::installer
