#include "installer/MenuFiles.h"

#include "installer/AtomicFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cctype>

namespace gloam::installer {

namespace {

// An Exec argument quoted as desktop entries require: inside double quotes,
// '"', '`', '$' and '\' take a backslash, which the string escape of the
// file doubles; '%' is written "%%".
QByteArray quotedExecArgument(const QByteArray& path)
{
    QByteArray quoted = "\"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += "\\\\";
            quoted += c;
        } else if (c == '%') {
            quoted += "%%";
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

bool needsQuotes(const QByteArray& path)
{
    for (const char c : path) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '.' || c == '_' || c == '-' ||
              c == '+')) {
            return true;
        }
    }
    return false;
}

bool readAll(const QString& path, QByteArray* bytes, QString* why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (why) {
            *why = path + QStringLiteral(": ") + file.errorString();
        }
        return false;
    }
    *bytes = file.readAll();
    return true;
}

} // namespace

MenuFiles::MenuFiles(QString carriedTree, QString installedAppDir, QString applicationsDir, QString iconThemeDir)
    : carriedTree_(std::move(carriedTree))
    , installedAppDir_(std::move(installedAppDir))
    , applicationsDir_(std::move(applicationsDir))
    , iconThemeDir_(std::move(iconThemeDir))
{}

QByteArray MenuFiles::rewritten(const QByteArray& entry) const
{
    QList<QByteArray> lines = entry.split('\n');
    for (QByteArray& line : lines) {
        const bool exec = line.startsWith("Exec=");
        const bool tryExec = line.startsWith("TryExec=");
        if (!exec && !tryExec) {
            continue;
        }
        const qsizetype valueAt = line.indexOf('=') + 1;
        const QByteArray value = line.mid(valueAt);
        const qsizetype space = value.indexOf(' ');
        const QByteArray program = space < 0 ? value : value.left(space);
        const QByteArray rest = space < 0 ? QByteArray() : value.mid(space);
        const QString carried = carriedTree_ + QStringLiteral("/bin/") + QString::fromUtf8(program);
        if (program.isEmpty() || program.contains('/') || !QFileInfo(carried).isFile()) {
            continue;
        }
        const QByteArray path =
            QFile::encodeName(installedAppDir_ + QStringLiteral("/bin/") + QString::fromUtf8(program));
        const QByteArray written = tryExec || !needsQuotes(path) ? path : quotedExecArgument(path);
        line = line.left(valueAt) + written + rest;
    }
    return lines.join('\n');
}

std::vector<MenuFiles::File> MenuFiles::files(QString* why) const
{
    std::vector<File> files;
    const QDir entries(carriedTree_ + QStringLiteral("/share/applications"));
    for (const QString& name : entries.entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name)) {
        QByteArray bytes;
        if (!readAll(entries.filePath(name), &bytes, why)) {
            return {};
        }
        files.push_back({QDir(applicationsDir_).filePath(name), rewritten(bytes), false});
    }
    const QString icons = carriedTree_ + QStringLiteral("/share/gloamyard/Resources/Icons/hicolor");
    QDirIterator walk(icons, {QStringLiteral("*.png"), QStringLiteral("*.svg")}, QDir::Files,
                      QDirIterator::Subdirectories);
    std::vector<File> found;
    while (walk.hasNext()) {
        const QString path = walk.next();
        QByteArray bytes;
        if (!readAll(path, &bytes, why)) {
            return {};
        }
        found.push_back({iconThemeDir_ + path.mid(icons.size()), bytes, true});
    }
    std::sort(found.begin(), found.end(), [](const File& a, const File& b) { return a.path < b.path; });
    files.insert(files.end(), found.begin(), found.end());
    return files;
}

QStringList MenuFiles::missingFolders(const std::vector<File>& files)
{
    QStringList missing;
    for (const File& file : files) {
        QStringList chain;
        for (QString folder = QFileInfo(file.path).absolutePath();
             !QFileInfo::exists(folder) && folder != QStringLiteral("/"); folder = QFileInfo(folder).absolutePath()) {
            chain.prepend(folder);
        }
        for (const QString& folder : chain) {
            if (!missing.contains(folder)) {
                missing.append(folder);
            }
        }
    }
    // Outermost first: a folder's parents come before it.
    std::stable_sort(missing.begin(), missing.end(),
                     [](const QString& a, const QString& b) { return a.count(u'/') < b.count(u'/'); });
    return missing;
}

bool MenuFiles::write(const File& file, QString* why)
{
    const QString folder = QFileInfo(file.path).absolutePath();
    if (!QDir().mkpath(folder)) {
        *why = folder + QStringLiteral(": cannot create the folder");
        return false;
    }
    return replaceFileAtomically(file.path, file.bytes, 0644, why);
}

} // namespace gloam::installer
