#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Reading and replacing the files the game keeps, bounded in size and kind: nothing here
// follows a symbolic link, blocks on a FIFO or reads more than it was allowed to.
namespace orbelix::SafeFile {

// The whole file at `path` when it is a regular file of this user, not a link, with one
// name, of at most `maxBytes` bytes; otherwise nothing, with the reason in `problem`.
std::optional<QByteArray> Read(const QString& path, qint64 maxBytes, QString* problem);

// Replaces the file at `path` with `bytes` atomically: the data is written, flushed and
// synced to a new file beside it, which then takes its name. On failure the old file
// stays as it was and `problem` tells why.
bool Replace(const QString& path, const QByteArray& bytes, QString* problem);

}  // namespace orbelix::SafeFile
