#include "platform/SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QSysInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orbelix::SettingsFile {
namespace {

// How long a save waits for another copy of the game that holds the lock. A save holds
// it for a few milliseconds; one that holds it this long is stuck, and this save gives up.
constexpr int LongestWaitMs = 10000;
// A lock file whose holder cannot be checked (empty because its writer died while making
// it, or made on another machine) counts as left over once it is this old.
constexpr qint64 UncheckableLockAgeMs = 1000;

void Say(const QString& line) {
    std::fprintf(stderr, "orbelix: %s\n", qPrintable(line));
}

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// ---- Reading the file, bounded in size and kind. ----

enum class Kind { Missing, Regular, TooLarge, Special, Unreadable };

struct FileContents {
    Kind kind = Kind::Missing;
    QByteArray bytes;
    QString problem;
};

// Opens without blocking (a FIFO in the file's place must not hang the game) and reads
// only a regular file of at most MaxFileSize bytes. Symbolic links are followed.
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

QHash<QString, QString> ToHash(const Entries& entries) {
    QHash<QString, QString> values;
    for (const auto& [key, text] : entries) values.insert(key, text);
    return values;
}

// ---- The lock shared by every copy of the game. ----

// Takes the lock next to the settings file. QLockFile breaks a lock whose holder, a
// process on this machine, has ended (it knows the holder's PID and host); a live
// holder is waited for, never broken by age. A lock file that names no holder it can
// check is broken once it is older than any save takes.
bool Acquire(QLockFile& lock, const QString& lockPath, QString& problem) {
    lock.setStaleLockTime(0);
    QElapsedTimer waited;
    waited.start();
    while (!lock.tryLock(20)) {
        if (lock.error() != QLockFile::LockFailedError) {
            problem = QStringLiteral("cannot make the lock file %1").arg(lockPath);
            return false;
        }
        qint64 pid = 0;
        QString host;
        QString application;
        const bool known = lock.getLockInfo(&pid, &host, &application);
        const bool checkable = known && (host.isEmpty() || host == QSysInfo::machineHostName());
        if (!checkable) {
            const QDateTime made = QFileInfo(lockPath).lastModified();
            const qint64 age = made.isValid() ? made.msecsTo(QDateTime::currentDateTime())
                                              : UncheckableLockAgeMs + 1;
            if (age > UncheckableLockAgeMs || age < -UncheckableLockAgeMs)
                lock.removeStaleLockFile();
        }
        if (waited.elapsed() > LongestWaitMs) {
            problem = QStringLiteral("another copy of the game holds %1").arg(lockPath);
            return false;
        }
    }
    return true;
}

bool Write(const QString& path, const QByteArray& bytes, QString& problem) {
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

QHash<QString, QString> ReadAll() {
    const QString path = Path();
    if (path.isEmpty()) return {};
    const FileContents file = ReadBounded(path);
    return file.kind == Kind::Regular ? ToHash(ParseIni(file.bytes)) : QHash<QString, QString>();
}

QHash<QString, QString> Load() {
    const QString path = Path();
    if (path.isEmpty()) return {};
    const FileContents file = ReadBounded(path);
    switch (file.kind) {
        case Kind::Regular:
            return ToHash(ParseIni(file.bytes));
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
    return {};
}

bool Update(const Merge& merge) {
    const QString path = Path();
    if (path.isEmpty()) {
        Say(QStringLiteral(
            "settings not saved: HOME is not set, so there is no folder to keep them in"));
        return false;
    }
    const auto fail = [&path](const QString& problem) {
        Say(QStringLiteral("settings not saved to %1: %2").arg(path, problem));
        return false;
    };

    // The folder of the path holds the lock; the folder of a link's target gets the data.
    const QString target = FinalTarget(path);
    for (const QString& folder : {QFileInfo(path).absolutePath(), QFileInfo(target).absolutePath()})
        if (!QDir().mkpath(folder))
            return fail(QStringLiteral("cannot make the folder %1").arg(folder));

    const QString lockPath = path + QStringLiteral(".lock");
    QLockFile lock(lockPath);
    QString problem;
    if (!Acquire(lock, lockPath, problem)) return fail(problem);

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
    const Entries changes = merge(ToHash(entries));
    for (const auto& change : changes) {
        const auto same = std::find_if(entries.begin(), entries.end(), [&change](const auto& e) {
            return e.first == change.first;
        });
        if (same != entries.end())
            same->second = change.second;
        else
            entries.append(change);
    }
    if (!Write(target, FormatIni(entries), problem)) return fail(problem);
    return true;
}

bool WriteAll(const Entries& entries) {
    return Update([&entries](const QHash<QString, QString>&) { return entries; });
}

}  // namespace orbelix::SettingsFile
