#include "engine/prefs/SaverDiagnostics.h"

#include "engine/prefs/GloamyardPreferences.h"

#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace gloam {

bool diagnosticsSwitchValue(const char* value)
{
    return value != nullptr && std::strcmp(value, "1") == 0;
}

bool saverDiagnosticsEnabled()
{
    static const bool enabled = diagnosticsSwitchValue(std::getenv("HALLOWEEN_SAVER_DIAGNOSTICS"));
    return enabled;
}

SaverDiagnosticsLog::SaverDiagnosticsLog(std::filesystem::path folder, std::string fileName)
    : folder_(std::move(folder))
    , fileName_(std::move(fileName))
{}

SaverDiagnosticsLog& SaverDiagnosticsLog::process()
{
    static SaverDiagnosticsLog log = [] {
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
        // With no cache directory the folder stays empty and records are skipped.
        std::filesystem::path folder;
        if (!cache.isEmpty()) {
            folder = std::filesystem::path(cache.toStdString()) / std::string(GloamyardPreferences::bundleIdentifier);
        }
        return SaverDiagnosticsLog(folder, "lifecycle-" + std::to_string(::getpid()) + ".txt");
    }();
    return log;
}

std::string SaverDiagnosticsLog::timestamp(std::time_t time)
{
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return std::string(text, length);
}

void SaverDiagnosticsLog::record(const std::function<std::string()>& message) const
{
    if (folder_.empty()) {
        return;
    }
    std::error_code ignored;
    std::filesystem::create_directories(folder_, ignored);

    std::string line = timestamp(std::time(nullptr));
    line += ' ';
    line += message();
    line += '\n';

    // O_APPEND makes the one write land at the end even if another writer
    // appended meanwhile; the file is complete after every line.
    const int fd = ::open(file().c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;
    }
    const char* data = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    ::close(fd);
}

} // namespace gloam
