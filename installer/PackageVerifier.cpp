#include "installer/PackageVerifier.h"

#include "installer/InstallerError.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <map>
#include <memory>

#include <sys/stat.h>

namespace gloam::installer {

namespace {

const QString fileManifestName = QStringLiteral("FileManifest");
const QByteArray manifestHeader = "Gloamyard file manifest 2";

bool fail(QString* why, const QString& text)
{
    if (why) {
        *why = text;
    }
    return false;
}

} // namespace

PackageVerifier::PackageVerifier(QString root, Expectation expected)
    : root_(std::move(root))
    , expected_(std::move(expected))
{}

bool PackageVerifier::programManifestMatches(const QString& manifest, const QString& identifier) const
{
    QFile file(root_ + u'/' + manifest);
    if (!file.open(QIODevice::ReadOnly)) {
        throw InstallerError::system(file.fileName() + QStringLiteral(": ") + file.errorString());
    }
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parse);
    if (parse.error != QJsonParseError::NoError) {
        throw InstallerError::system(file.fileName() + QStringLiteral(": ") + parse.errorString());
    }
    const QJsonObject object = document.object();
    if (!document.isObject() || object.isEmpty()) {
        return false;
    }
    const auto equals = [&object](const char* key, const QString& expected) {
        const auto value = object.value(QLatin1String(key));
        return value.isString() && value.toString() == expected;
    };
    return equals("identifier", identifier) && equals("version", expected_.version) && equals("build", expected_.build);
}

QByteArray PackageVerifier::sha256OfFile(const QString& path, bool* ok)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    *ok = file.open(QIODevice::ReadOnly) && hash.addData(&file);
    return hash.result().toHex();
}

bool PackageVerifier::filesValid(const QStringList& identifiers, QString* why) const
{
    QFile manifestFile(root_ + u'/' + fileManifestName);
    if (!manifestFile.open(QIODevice::ReadOnly)) {
        return fail(why, QStringLiteral("the file manifest is missing"));
    }
    const QByteArray manifest = manifestFile.readAll();
    QList<QByteArray> lines = manifest.split('\n');
    if (lines.isEmpty() || lines.takeFirst() != manifestHeader) {
        return fail(why, QStringLiteral("the file manifest has an unknown format"));
    }
    QSet<QString> declared;
    struct Listed {
        QByteArray sha;
        bool executable;
    };
    std::map<QString, Listed> listed;
    for (const QByteArray& line : lines) {
        if (line.isEmpty()) {
            continue;
        }
        if (line.startsWith("identifier ")) {
            declared.insert(QString::fromUtf8(line.mid(11)));
        } else {
            // "<sha256> <x or -> <path>"
            if (line.size() < 68 || line[64] != ' ' || line[66] != ' ' || (line[65] != 'x' && line[65] != '-')) {
                return fail(why, QStringLiteral("a file manifest line is malformed"));
            }
            const QString path = QString::fromUtf8(line.mid(67));
            if (path.startsWith(u'/') || path.split(u'/').contains(QStringLiteral(".."))) {
                return fail(why, QStringLiteral("the file manifest names a path outside the package"));
            }
            listed[path] = Listed{line.left(64).toLower(), line[65] == 'x'};
        }
    }
    for (const QString& identifier : identifiers) {
        if (!declared.contains(identifier)) {
            return fail(why, QStringLiteral("the file manifest does not name ") + identifier);
        }
    }

    std::size_t seen = 0;
    QDirIterator walk(root_, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                      QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = walk.next();
        const QString relative = path.mid(root_.size() + 1);
        struct stat info {};
        if (lstat(QFile::encodeName(path).constData(), &info) != 0) {
            return fail(why, QStringLiteral("cannot read ") + relative);
        }
        if (S_ISDIR(info.st_mode)) {
            continue;
        }
        if (!S_ISREG(info.st_mode)) {
            return fail(why, relative + QStringLiteral(" is not a regular file"));
        }
        if (relative == fileManifestName) {
            continue;
        }
        const auto entry = listed.find(relative);
        if (entry == listed.end()) {
            return fail(why, relative + QStringLiteral(" is not in the file manifest"));
        }
        bool ok = false;
        if (sha256OfFile(path, &ok) != entry->second.sha || !ok) {
            return fail(why, relative + QStringLiteral(" does not match its SHA-256"));
        }
        if (entry->second.executable && (info.st_mode & S_IXUSR) == 0) {
            return fail(why, relative + QStringLiteral(" is not executable"));
        }
        ++seen;
    }
    if (seen != listed.size()) {
        return fail(why, QStringLiteral("files of the file manifest are missing"));
    }
    return true;
}

} // namespace gloam::installer
