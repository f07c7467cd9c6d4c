#include "installer/DisplayModeRegistration.h"

#include "installer/XScreenSaverPrograms.h"

#include <QCryptographicHash>
#include <QFile>

namespace gloam::installer {

namespace {

using Problem = DisplayModeRegistration::Problem;
using State = XScreenSaverSettingsFile::State;

} // namespace

DisplayModeRegistration::DisplayModeRegistration(QString settingsFile, QStringList defaultFiles, QByteArray program,
                                                 QByteArray entry)
    : file_(std::move(settingsFile))
    , defaultFiles_(std::move(defaultFiles))
    , program_(std::move(program))
    , entry_(std::move(entry))
{}

QString DisplayModeRegistration::sha256Hex(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QList<QByteArray> DisplayModeRegistration::defaultList(const QStringList& files)
{
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            continue;
        }
        const XScreenSaverPrograms defaults(file.readAll(), "*programs:");
        QList<QByteArray> entries;
        for (const auto& entry : defaults.entries()) {
            entries.append(entry.text);
        }
        if (!entries.isEmpty()) {
            return entries;
        }
    }
    return {};
}

DisplayModeRegistration::Edit DisplayModeRegistration::planAdd() const
{
    Edit edit;
    QByteArray text;
    switch (file_.read(&text)) {
    case State::damaged:
        edit.problem = Problem::damaged;
        return edit;
    case State::unreadable:
        edit.problem = Problem::unreadable;
        return edit;
    case State::missing:
        edit.createsFile = true;
        break;
    case State::readable:
        break;
    }
    XScreenSaverPrograms programs(text);
    if (programs.hasMixedLineEnds()) {
        edit.problem = Problem::damaged;
        return edit;
    }
    QList<QByteArray> seed;
    if (!programs.hasList()) {
        // A list of ours alone would hide every mode XScreenSaver offers.
        seed = defaultList(defaultFiles_);
        if (seed.isEmpty()) {
            edit.problem = Problem::noDefaultList;
            return edit;
        }
        edit.seedsList = true;
    }
    edit.changes = programs.add(entry_, program_, seed);
    if (edit.changes && file_.isReadOnly()) {
        edit.problem = Problem::readOnly;
    }
    edit.text = programs.text();
    return edit;
}

DisplayModeRegistration::Edit DisplayModeRegistration::planRemove(const InstallRecord& record) const
{
    Edit edit;
    QByteArray text;
    switch (file_.read(&text)) {
    case State::damaged:
        edit.problem = Problem::damaged;
        return edit;
    case State::unreadable:
        edit.problem = Problem::unreadable;
        return edit;
    case State::missing:
        return edit;
    case State::readable:
        break;
    }
    XScreenSaverPrograms programs(text);
    if (programs.hasMixedLineEnds()) {
        edit.problem = Problem::damaged;
        return edit;
    }
    if (record.createdSettingsFile && sha256Hex(text) == record.settingsWritten) {
        edit.changes = edit.removesFile = true;
        return edit;
    }
    if (!programs.remove(program_)) {
        edit.text = text;
        return edit;
    }
    if (record.seededProgramsList) {
        QList<QByteArray> left;
        for (const auto& entry : programs.entries()) {
            left.append(entry.text);
        }
        if (left == defaultList(defaultFiles_)) {
            programs.removeList();
        }
    }
    edit.changes = true;
    edit.text = programs.text();
    if (file_.isReadOnly()) {
        edit.problem = Problem::readOnly;
    }
    return edit;
}

bool DisplayModeRegistration::apply(const Edit& edit, bool* madeBackup, QString* why) const
{
    *madeBackup = false;
    if (edit.problem != Problem::none) {
        return false;
    }
    if (!edit.changes) {
        return true;
    }
    if (edit.removesFile) {
        QFile file(file_.target());
        if (!file.remove()) {
            *why = file.errorString();
            return false;
        }
        return true;
    }
    return file_.write(edit.text, why, madeBackup);
}

bool DisplayModeRegistration::isEnabled() const
{
    QByteArray text;
    return file_.read(&text) == State::readable && XScreenSaverPrograms(text).isEnabled(program_);
}

} // namespace gloam::installer
