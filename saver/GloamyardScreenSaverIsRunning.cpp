#include "saver/GloamyardScreenSaverIsRunning.h"

#include "saver/XScreenSaverStatus.h"

#include <X11/Xlib.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <system_error>

namespace gloam::saver {

namespace {

// One connection for the query, opened on the first call and kept: the
// query runs once a second while a scene is shown.
struct StatusConnection {
    std::mutex mutex;
    Display* display = nullptr;
};

StatusConnection& connection()
{
    static StatusConnection shared;
    static std::once_flag opened;
    std::call_once(opened, [] { shared.display = XOpenDisplay(nullptr); });
    return shared;
}

} // namespace

std::optional<bool> screenSaverStatus()
{
    StatusConnection& shared = connection();
    std::lock_guard lock(shared.mutex);
    if (shared.display == nullptr) {
        return std::nullopt;
    }
    return XScreenSaverStatus::read(shared.display);
}

bool userProcessRunning(std::string_view name, std::string_view procRoot)
{
    std::error_code error;
    const uid_t me = ::getuid();
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(procRoot), error)) {
        const std::string pid = entry.path().filename().string();
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        struct stat info {};
        if (::stat(entry.path().c_str(), &info) != 0 || info.st_uid != me) {
            continue;
        }
        std::ifstream comm(entry.path() / "comm");
        std::string command;
        if (std::getline(comm, command) && command == name) {
            return true;
        }
    }
    return false;
}

} // namespace gloam::saver

extern "C" int GloamyardScreenSaverIsRunning()
{
    if (const auto status = gloam::saver::screenSaverStatus()) {
        return *status ? 1 : 0;
    }
    return gloam::saver::userProcessRunning("xscreensaver") ? 1 : 0;
}
