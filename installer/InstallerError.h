#pragma once

#include <QString>

#include <stdexcept>

namespace gloam::installer {

// An error with a domain and a code, whose description is the text the
// installer shows. The installer's own messages are of the domain
// "GloamyardInstaller", code 1; errors of the system (a tool that cannot be
// started, a file that cannot be read) carry the system's own description.
class InstallerError : public std::runtime_error {
public:
    InstallerError(QString domain, int code, const QString& description)
        : std::runtime_error(description.toStdString())
        , domain_(std::move(domain))
        , code_(code)
    {}

    const QString& domain() const noexcept { return domain_; }
    int code() const noexcept { return code_; }
    QString localizedDescription() const { return QString::fromUtf8(what()); }

    static constexpr const char* installerDomain = "GloamyardInstaller";
    static constexpr const char* systemDomain = "System";

    static InstallerError system(const QString& description) { return {systemDomain, 0, description}; }

private:
    QString domain_;
    int code_;
};

} // namespace gloam::installer
