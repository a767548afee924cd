#include "platform/SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/SettingsFileParts.h"

namespace orbelix::SettingsFile {

void Say(const QString& line) {
    std::fprintf(stderr, "orbelix: %s\n", qPrintable(line));
}

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

FileContents ReadBounded(const QString& path) {
    FileContents result;
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        result.kind = errno == ENOENT ? Kind::Missing : Kind::Unreadable;
        result.problem = SystemError(errno);
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        result.kind = Kind::Special;
        result.problem = QStringLiteral("not a regular file");
    } else if (info.st_size > MaxFileSize) {
        result.kind = Kind::TooLarge;
        result.problem = QStringLiteral("larger than %1 bytes").arg(MaxFileSize);
    } else {
        result.kind = Kind::Regular;
        result.bytes.resize(MaxFileSize + 1);
        qsizetype total = 0;
        while (total < result.bytes.size()) {
            const ssize_t got = ::read(fd, result.bytes.data() + total,
                                       static_cast<size_t>(result.bytes.size() - total));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                result.kind = Kind::Unreadable;
                result.problem = SystemError(errno);
                break;
            }
            if (got == 0) break;
            total += got;
        }
        result.bytes.truncate(total);
        if (result.kind == Kind::Regular && total > MaxFileSize) {
            result.kind = Kind::TooLarge;  // it grew while being read
            result.problem = QStringLiteral("larger than %1 bytes").arg(MaxFileSize);
        }
    }
    ::close(fd);
    return result;
}

bool WriteAtomically(const QString& path, const QByteArray& bytes, QString& problem) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        problem = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        problem = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

Keys ToKeys(const Entries& entries) {
    Keys values;
    for (const auto& [key, text] : entries) values.insert(key, text);
    return values;
}

void Apply(Entries& entries, const Entries& changes) {
    for (const auto& change : changes) {
        const auto same = std::find_if(entries.begin(), entries.end(), [&change](const auto& e) {
            return e.first == change.first;
        });
        if (same != entries.end())
            same->second = change.second;
        else
            entries.append(change);
    }
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

QString LockPath(const QString& path) {
    return path + QStringLiteral(".lock");
}

// Whether the last save found the lock busy and said so; said again only after a save
// has gone through.
bool busySaid = false;

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
    const FileContents file = ReadBounded(path);
    return file.kind == Kind::Regular ? ToKeys(ParseIni(file.bytes)) : Keys();
}

Keys Load(const Fold& fold) {
    const QString path = Path();
    if (path.isEmpty()) return {};
    const FileContents file = ReadBounded(path);
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
    QLockFile lock(LockPath(path));
    QString problem;
    if (QFileInfo(path).absoluteDir().exists())
        TakeLock(lock, LockPath(path), std::chrono::milliseconds::zero(), problem);
    const FileContents file = ReadBounded(path);
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
        Say(QStringLiteral("settings not saved to %1: %2").arg(path, problem));
        return Outcome::Failed;
    };

    // The folder of the path holds the lock; the folder of a link's target gets the data.
    const QString target = FinalTarget(path);
    for (const QString& folder : {QFileInfo(path).absolutePath(), QFileInfo(target).absolutePath()})
        if (!QDir().mkpath(folder))
            return fail(QStringLiteral("cannot make the folder %1").arg(folder));

    QLockFile lock(LockPath(path));
    QString problem;
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

    FileContents file = ReadBounded(target);
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
    if (!WriteAtomically(target, FormatIni(entries), problem)) return fail(problem);
    // The side files' changes are in the file now. (A crash right here would apply them
    // once more at the next save: an entry twice rather than none.)
    for (const SideFile& side : sideFiles) QFile::remove(side.path);
    busySaid = false;
    return Outcome::Saved;
}

bool WriteAll(const Entries& entries) {
    return Update([&entries](const Keys&) { return entries; }, Fold(), std::chrono::seconds(10)) ==
           Outcome::Saved;
}

}  // namespace orbelix::SettingsFile
