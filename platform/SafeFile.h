#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Files the game keeps for the player, read and replaced so that nothing planted beside
// them (a symbolic link, a hard link, a FIFO, another user's file) is ever followed or
// taken in, and so that a failing write (a full disk, a crash) never leaves less than the
// old file, byte for byte.
namespace orbelix::SafeFile {

// Reads a whole file, only when it is a regular file owned by this user with exactly one
// link, opened without following a link and without blocking and checked on the opened
// descriptor, of at most maxBytes. On refusal or error: nothing, and `problem` says why
// in a short sentence naming the file.
std::optional<QByteArray> Read(const QString& path, qint64 maxBytes, QString* problem = nullptr);

// Replaces `path` by `bytes`: a new file beside it, created exclusively without following
// links (mode 0600), written to the end, synced, renamed over `path`, and the folder
// synced. Makes missing folders (mode 0700). Refuses when `path` exists and is not a
// regular file of this user with one link. On any failure the old file stays as it was,
// the new one is removed, false is returned and `problem` says why. Left-over new files
// of writers that have ended are removed.
bool Replace(const QString& path, const QByteArray& bytes, QString* problem = nullptr);

// Where the game keeps what it saves for itself: $XDG_STATE_HOME/Orbelix, or
// ~/.local/state/Orbelix; empty when there is no home folder.
QString StateFolder();

// ---- The same, for callers that must tell the cases apart. ----
enum class Kind { Missing, Regular, TooLarge, Special, Foreign, Unreadable };
struct Contents {
    Kind kind = Kind::Missing;
    QByteArray bytes;
    QString problem;  // a short sentence naming the file, when kind is not Regular
};
enum class Trust {
    OwnFileOnly,  // a regular file of this user with one link
    AnyRegular,   // any regular file (the player's own settings file, which may be linked)
};
Contents ReadChecked(const QString& path, qint64 maxBytes, Trust trust);
// As Replace; with `inPlaceIfNeeded`, a file whose folder cannot be written to is
// rewritten in place instead (its room claimed first, so a full disk changes nothing).
bool ReplaceChecked(const QString& path, const QByteArray& bytes, Trust trust, bool inPlaceIfNeeded,
                    QString& problem);
// Makes `folder` and any missing folder above it, mode 0700.
bool MakeFolder(const QString& folder, QString& problem);

}  // namespace orbelix::SafeFile
