#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Reading and replacing a small file of this user's safely: only a regular file of this
// user with one link is read, without following a link or blocking on a FIFO, and never
// more than a bound; a replacement is written beside it, synced and renamed into place,
// so that the file always holds either the old bytes or the new ones.
namespace orbelix::SafeFile {

// The file's bytes, or nullopt with the reason in `problem` (when given).
std::optional<QByteArray> Read(const QString& path, qint64 maxBytes, QString* problem);
// Replaces the file with `bytes`. Returns false with the reason in `problem`.
bool Replace(const QString& path, const QByteArray& bytes, QString* problem);

}  // namespace orbelix::SafeFile
