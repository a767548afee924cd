#include "platform/SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/SafeFile.h"
#include "platform/SettingsFileParts.h"

namespace orbelix::SettingsFile {

void Say(const QString& line) {
    std::fprintf(stderr, "orbelix: %s\n", qPrintable(line));
}

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

namespace {

// Where the data really lives: a symbolic link (dotfile managers keep the file elsewhere)
// is followed to its final target, which need not exist yet.
QString FinalTarget(const QString& path) {
    QString target = path;
    for (int depth = 0; depth < 40 && QFileInfo(target).isSymLink(); ++depth)
        target = QFileInfo(target).symLinkTarget();
    return target;
}

}  // namespace

FileContents ReadBounded(const QString& path, SafeFile::Trust trust) {
    const QString target = trust == SafeFile::Trust::AnyRegular ? FinalTarget(path) : path;
    SafeFile::Contents read = SafeFile::ReadChecked(target, MaxFileSize, trust);
    FileContents result;
    result.bytes = std::move(read.bytes);
    result.problem = read.problem;
    switch (read.kind) {
        case SafeFile::Kind::Missing:
            result.kind = Kind::Missing;
            break;
        case SafeFile::Kind::Regular:
            result.kind = Kind::Regular;
            break;
        case SafeFile::Kind::TooLarge:
            result.kind = Kind::TooLarge;
            result.problem = QStringLiteral("larger than %1 bytes").arg(MaxFileSize);
            break;
        case SafeFile::Kind::Special:
        case SafeFile::Kind::Foreign:
            result.kind = Kind::Special;
            break;
        case SafeFile::Kind::Unreadable:
            result.kind = Kind::Unreadable;
            break;
    }
    return result;
}

Keys ToKeys(const Entries& entries) {
    Keys values;
    for (const auto& [key, text] : entries) values.insert(key, text);
    return values;
}

void Apply(Entries& entries, const Entries& changes) {
    QHash<QString, qsizetype> at;
    at.reserve(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) at.insert(entries[i].first, i);
    for (const auto& change : changes) {
        const auto same = at.constFind(change.first);
        if (same != at.cend()) {
            entries[*same].second = change.second;
        } else {
            at.insert(change.first, entries.size());
            entries.append(change);
        }
    }
}

namespace {

// Moves an oversized file out of the way so the game can start afresh beside it.
void SetAside(const QString& path, const QString& why) {
    const QString target = FinalTarget(path);
    const QString aside = target + QStringLiteral(".too-large");
    QFile::remove(aside);
    if (QFile::rename(target, aside))
        Say(QStringLiteral("settings file %1 is %2; moved to %3, starting from defaults")
                .arg(path, why, aside));
    else
        Say(QStringLiteral("settings file %1 is %2 and could not be moved aside; it is ignored")
                .arg(path, why));
}

// The lock beside the file; in the state folder when the file's folder cannot take it
// (a folder the player made read-only, the file in it still writable).
QString LockPath(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (::access(QFile::encodeName(folder).constData(), W_OK) == 0 || errno == ENOENT ||
        SafeFile::StateFolder().isEmpty())
        return path + QStringLiteral(".lock");
    QString problem;
    SafeFile::MakeFolder(SafeFile::StateFolder(), problem);
    return SafeFile::StateFolder() + QLatin1Char('/') + QFileInfo(path).fileName() +
           QStringLiteral(".lock");
}

// Whether the last save found the lock busy, or failed, and said so; said again only
// after a save has gone through.
bool busySaid = false;
bool failSaid = false;

}  // namespace

QString Path() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) {
        const QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty() || !QDir::isAbsolutePath(home)) return QString();
        base = home + QStringLiteral("/.config");
    }
    return QDir::cleanPath(base + QStringLiteral("/Orbelix/Orbelix.ini"));
}

Keys ReadAll() {
    const QString path = Path();
    if (path.isEmpty()) return {};
    const FileContents file = ReadBounded(path, SafeFile::Trust::AnyRegular);
    return file.kind == Kind::Regular ? ToKeys(ParseIni(file.bytes)) : Keys();
}

Keys Load(const Fold& fold) {
    const QString path = Path();
    if (path.isEmpty()) return {};
    const FileContents file = ReadBounded(path, SafeFile::Trust::AnyRegular);
    Entries entries;
    switch (file.kind) {
        case Kind::Regular:
            entries = ParseIni(file.bytes);
            break;
        case Kind::Missing:
            break;
        case Kind::TooLarge:
            SetAside(path, file.problem);
            break;
        case Kind::Special:
        case Kind::Unreadable:
            Say(QStringLiteral("settings file %1 cannot be read (%2); starting from defaults")
                    .arg(path, file.problem));
            break;
    }
    ApplySideFiles(entries, SideFiles(path), fold);
    return ToKeys(entries);
}

std::optional<Keys> ReadCurrent(const Fold& fold) {
    const QString path = Path();
    if (path.isEmpty()) return std::nullopt;
    HeldLock lock;
    QString problem;
    if (QFileInfo(path).absoluteDir().exists())
        TakeLock(lock, LockPath(path), std::chrono::milliseconds::zero(), problem);
    const FileContents file = ReadBounded(path, SafeFile::Trust::AnyRegular);
    if (file.kind != Kind::Regular && file.kind != Kind::Missing) return std::nullopt;
    Entries entries = ParseIni(file.bytes);
    ApplySideFiles(entries, SideFiles(path), fold);
    return ToKeys(entries);
}

Outcome Update(const Merge& merge, const Fold& fold, std::chrono::milliseconds patience) {
    const QString path = Path();
    if (path.isEmpty()) {
        Say(QStringLiteral(
            "settings not saved: HOME is not set, so there is no folder to keep them in"));
        return Outcome::Failed;
    }
    const auto fail = [&path](const QString& problem) {
        if (!failSaid)
            Say(QStringLiteral("settings not saved to %1: %2; kept until a save goes through")
                    .arg(path, problem));
        failSaid = true;
        return Outcome::Failed;
    };

    // The folder of the path holds the lock; the folder of a link's target gets the data.
    const QString target = FinalTarget(path);
    QString problem;
    for (const QString& folder : {QFileInfo(path).absolutePath(), QFileInfo(target).absolutePath()})
        if (!SafeFile::MakeFolder(folder, problem)) return fail(problem);

    HeldLock lock;
    switch (TakeLock(lock, LockPath(path), patience, problem)) {
        case LockState::Taken:
            break;
        case LockState::Busy:
            if (!busySaid)
                Say(QStringLiteral("settings not saved yet: %1; they will be saved when it lets go")
                        .arg(problem));
            busySaid = true;
            return Outcome::Busy;
        case LockState::Failed:
            return fail(problem);
    }

    FileContents file = ReadBounded(target, SafeFile::Trust::AnyRegular);
    switch (file.kind) {
        case Kind::Regular:
        case Kind::Missing:
            break;
        case Kind::TooLarge:
            SetAside(path, file.problem);
            file = FileContents{};
            break;
        case Kind::Special:
        case Kind::Unreadable:
            return fail(file.problem);
    }
    struct stat info {};
    if (::lstat(QFile::encodeName(target).constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return fail(QStringLiteral("%1 is not a regular file").arg(target));

    Entries entries = ParseIni(file.bytes);
    const QList<SideFile> sideFiles = fold ? SideFiles(path) : QList<SideFile>();
    ApplySideFiles(entries, sideFiles, fold);
    Apply(entries, merge(ToKeys(entries)));
    if (!SafeFile::ReplaceChecked(target, FormatIni(entries), SafeFile::Trust::AnyRegular, true,
                                  problem))
        return fail(problem);
    // The side files' changes are in the file now, with their marks: a crash right here
    // leaves side files that the next save recognises and only removes.
    for (const SideFile& side : sideFiles) QFile::remove(side.path);
    busySaid = false;
    failSaid = false;
    return Outcome::Saved;
}

bool WriteAll(const Entries& entries) {
    return Update([&entries](const Keys&) { return entries; }, Fold(), std::chrono::seconds(10)) ==
           Outcome::Saved;
}

}  // namespace orbelix::SettingsFile
