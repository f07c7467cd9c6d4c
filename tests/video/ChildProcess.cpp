#include "tests/video/ChildProcess.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace gloam::testing {

namespace {

std::string readAll(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int counter = 0;

} // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::filesystem::path& outputFolder, const Options& options)
{
    const std::string tag = std::to_string(++counter);
    out_ = outputFolder / ("stdout-" + tag + ".txt");
    err_ = outputFolder / ("stderr-" + tag + ".txt");
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    pid_ = ::fork();
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
        const int out = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, STDIN_FILENO);
        for (const auto& [name, value] : options.environment) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
        if (options.fileSizeLimit) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{static_cast<rlim_t>(*options.fileSizeLimit),
                               static_cast<rlim_t>(*options.fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        // The test runner may have blocked or ignored these; the child starts clean.
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGTERM, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        std::vector<char*> raw;
        for (std::string& a : argv) {
            raw.push_back(a.data());
        }
        raw.push_back(nullptr);
        ::execv(program.c_str(), raw.data());
        ::_exit(127);
    }
}

ChildProcess::~ChildProcess()
{
    if (!status_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int ignored = 0;
        ::waitpid(pid_, &ignored, 0);
    }
}

void ChildProcess::signal(int number) const
{
    ::kill(pid_, number);
}

int ChildProcess::wait(double limitSeconds)
{
    if (status_) {
        return *status_;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(limitSeconds);
    int raw = 0;
    while (true) {
        const pid_t done = ::waitpid(pid_, &raw, WNOHANG);
        if (done == pid_) {
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &raw, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return *status_;
}

std::string ChildProcess::standardOutput() const
{
    return readAll(out_);
}

std::string ChildProcess::standardError() const
{
    return readAll(err_);
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::stringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        result.push_back(line);
    }
    return result;
}

} // namespace gloam::testing
