#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace gloam::installer {

// Replaces a file's contents all at once: the new bytes go to a temporary
// file beside it, are flushed to the disk, take the given permissions and
// are renamed over the old file. A failure leaves the old file as it was and
// no temporary behind. `why` gets the system's description of a failure.
bool replaceFileAtomically(const QString& path, const QByteArray& bytes, mode_t mode, QString* why);

} // namespace gloam::installer
