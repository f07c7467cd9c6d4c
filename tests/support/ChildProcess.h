#pragma once

// A real program started by a test: its standard output and error read
// back together, signals sent, its end awaited. Waits take a guard time
// after which they give up (a hang shows as a failure, never as a stuck
// test); they assert no speed. A child still running when the object goes
// is killed and reaped.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace gloam::testing {

class ChildProcess {
public:
    // `environment`: changes to this process's environment, name to value;
    // a value of none removes the variable.
    ChildProcess(const std::vector<std::string>& arguments,
                 const std::map<std::string, std::optional<std::string>>& environment = {})
    {
        std::map<std::string, std::string> merged;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text = *entry;
            const auto equals = text.find('=');
            if (equals != std::string::npos) {
                merged[text.substr(0, equals)] = text.substr(equals + 1);
            }
        }
        for (const auto& [name, value] : environment) {
            if (value) {
                merged[name] = *value;
            } else {
                merged.erase(name);
            }
        }
        std::vector<std::string> variables;
        for (const auto& [name, value] : merged) {
            variables.push_back(name + "=" + value);
        }
        std::vector<char*> envp;
        for (auto& variable : variables) {
            envp.push_back(variable.data());
        }
        envp.push_back(nullptr);
        std::vector<std::string> args = arguments;
        std::vector<char*> argv;
        for (auto& argument : args) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);

        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDERR_FILENO);
        // The child starts with default signal handling whatever the test
        // process has set.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t all;
        sigfillset(&all);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
        const int failed = posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        ::close(ends[1]);
        output_ = ends[0];
        ::fcntl(output_, F_SETFL, O_NONBLOCK);
        if (failed != 0) {
            ::close(output_);
            throw std::runtime_error("cannot start " + arguments.front() + ": " + std::strerror(failed));
        }
    }

    ~ChildProcess()
    {
        if (!status_) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
        ::close(output_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }

    void signal(int signalNumber) const { ::kill(pid_, signalNumber); }

    // Whether the child is still running (reaps it when it has ended).
    bool running() { return !poll(); }

    // The raw wait status once the child has ended within `guardSeconds`;
    // none if it still runs.
    std::optional<int> wait(double guardSeconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(guardSeconds);
        while (!poll() && std::chrono::steady_clock::now() < end) {
            drain(); // a child blocked on a full pipe would never end
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return status_;
    }

    // Everything the child wrote so far, standard output and error together.
    const std::string& output()
    {
        drain();
        return text_;
    }

    // Waits until the child's output contains `wanted` (true) or the guard
    // time passes or the child's output ends (false).
    bool waitForOutput(const std::string& wanted, double guardSeconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(guardSeconds);
        for (;;) {
            if (drain(); text_.find(wanted) != std::string::npos) {
                return true;
            }
            if (closed_ || std::chrono::steady_clock::now() >= end) {
                return false;
            }
            pollfd readable{output_, POLLIN, 0};
            ::poll(&readable, 1, 20);
        }
    }

    // Helpers for the raw wait status.
    static bool exitedWith(const std::optional<int>& status, int code)
    {
        return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
    }
    static std::string describe(const std::optional<int>& status)
    {
        if (!status) {
            return "still running";
        }
        if (WIFEXITED(*status)) {
            return "exited with status " + std::to_string(WEXITSTATUS(*status));
        }
        if (WIFSIGNALED(*status)) {
            return std::string("killed by signal ") + std::to_string(WTERMSIG(*status)) +
                   (WCOREDUMP(*status) ? " (core dumped)" : "");
        }
        return "stopped";
    }

private:
    bool poll()
    {
        if (status_) {
            return true;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = status;
            drain();
            return true;
        }
        return false;
    }

    void drain()
    {
        char buffer[4096];
        for (;;) {
            const ssize_t got = ::read(output_, buffer, sizeof buffer);
            if (got > 0) {
                text_.append(buffer, static_cast<std::size_t>(got));
                continue;
            }
            if (got == 0) {
                closed_ = true;
            }
            return;
        }
    }

    pid_t pid_ = -1;
    int output_ = -1;
    bool closed_ = false;
    std::string text_;
    std::optional<int> status_;
};

} // namespace gloam::testing
