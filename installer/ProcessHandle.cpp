#include "installer/ProcessHandle.h"

#include "installer/ProcessExit.h"

#include <cerrno>
#include <utility>

#include <sys/syscall.h>
#include <unistd.h>

namespace gloam::installer {

ProcessHandle ProcessHandle::open(pid_t pid)
{
    ProcessHandle handle;
    if (pid > 0) {
        const long fd = syscall(SYS_pidfd_open, pid, 0);
        if (fd >= 0) {
            handle.fd_ = static_cast<int>(fd);
            handle.pid_ = pid;
        }
    }
    return handle;
}

ProcessHandle::~ProcessHandle()
{
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

ProcessHandle::ProcessHandle(ProcessHandle&& other) noexcept
    : fd_(std::exchange(other.fd_, -1))
    , pid_(std::exchange(other.pid_, 0))
{}

ProcessHandle& ProcessHandle::operator=(ProcessHandle&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
        pid_ = std::exchange(other.pid_, 0);
    }
    return *this;
}

bool ProcessHandle::isAlive() const
{
    // Signal 0 through the handle fails with ESRCH once this process has
    // ended, whoever has its number now; then the number's own state tells
    // a zombie from a live process.
    return fd_ >= 0 && syscall(SYS_pidfd_send_signal, fd_, 0, nullptr, 0) == 0 && processIsAlive(pid_);
}

bool ProcessHandle::signal(int signal) const
{
    if (fd_ < 0) {
        return false;
    }
    return syscall(SYS_pidfd_send_signal, fd_, signal, nullptr, 0) == 0 || errno == ESRCH;
}

} // namespace gloam::installer
