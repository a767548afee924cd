#include "platform/SafeFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orbelix::SafeFile {
namespace {

QString Error(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

// Why the file described by `info` may not be taken for one of ours; empty when it may.
QString Refusal(const QString& path, const struct stat& info, Trust trust) {
    if (S_ISDIR(info.st_mode)) return QStringLiteral("%1 is a folder").arg(path);
    if (S_ISFIFO(info.st_mode)) return QStringLiteral("%1 is a FIFO").arg(path);
    if (S_ISSOCK(info.st_mode)) return QStringLiteral("%1 is a socket").arg(path);
    if (S_ISLNK(info.st_mode)) return QStringLiteral("%1 is a symbolic link").arg(path);
    if (!S_ISREG(info.st_mode)) return QStringLiteral("%1 is a device").arg(path);
    if (trust == Trust::AnyRegular) return QString();
    if (info.st_uid != ::geteuid()) return QStringLiteral("%1 belongs to another user").arg(path);
    if (info.st_nlink != 1)
        return QStringLiteral("%1 has %2 names (hard links)").arg(path).arg(info.st_nlink);
    return QString();
}

bool WriteAll(int fd, const QByteArray& bytes, off_t offset) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::pwrite(fd, bytes.constData() + done,
                                       static_cast<size_t>(bytes.size() - done), offset + done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            if (wrote == 0) errno = ENOSPC;
            return false;
        }
        done += wrote;
    }
    return true;
}

bool SyncFolder(const QString& folder) {
    const int fd = ::open(Native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return synced;
}

// The new files of writers that have ended (a crash between writing and renaming) are
// removed; a live writer's are left alone.
void RemoveDeadTemporaries(const QString& folder, const QString& fileName) {
    static const QRegularExpression* const temporary =
        new QRegularExpression(QStringLiteral("\\.tmp-(\\d{1,10})-[A-Za-z0-9]{6}$"));
    DIR* dir = ::opendir(Native(folder).constData());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (!name.startsWith(fileName)) continue;
        const QRegularExpressionMatch match = temporary->match(name);
        if (!match.hasMatch()) continue;
        const pid_t pid = static_cast<pid_t>(match.captured(1).toLongLong());
        if (pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
        struct stat info {};
        if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && info.st_uid == ::geteuid())
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

// Writes over the file itself, for a folder that cannot take a new file. The room is
// claimed before the first byte changes, so a full disk leaves the file as it was.
bool RewriteInPlace(const QString& path, const QByteArray& bytes, Trust trust, QString& problem) {
    const int fd =
        ::open(Native(path).constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        problem = QStringLiteral("%1 cannot be written (%2)").arg(path, Error(errno));
        return false;
    }
    struct stat info {};
    bool done = false;
    if (::fstat(fd, &info) != 0) {
        problem = QStringLiteral("%1 cannot be checked (%2)").arg(path, Error(errno));
    } else if (const QString refused = Refusal(path, info, trust); !refused.isEmpty()) {
        problem = refused;
    } else if (!bytes.isEmpty() && ::fallocate(fd, 0, 0, bytes.size()) != 0 &&
               errno != EOPNOTSUPP) {
        problem = QStringLiteral("%1 cannot be written (%2)").arg(path, Error(errno));
    } else if (!WriteAll(fd, bytes, 0) || ::ftruncate(fd, bytes.size()) != 0 || ::fsync(fd) != 0) {
        problem = QStringLiteral("%1 could not be written to the end (%2)").arg(path, Error(errno));
    } else {
        done = true;
    }
    ::close(fd);
    return done;
}

}  // namespace

Contents ReadChecked(const QString& path, qint64 maxBytes, Trust trust) {
    Contents result;
    const int fd =
        ::open(Native(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        result.kind = error == ENOENT  ? Kind::Missing
                      : error == ELOOP ? Kind::Foreign
                                       : Kind::Unreadable;
        result.problem = error == ELOOP
                             ? QStringLiteral("%1 is a symbolic link").arg(path)
                             : QStringLiteral("%1 cannot be read (%2)").arg(path, Error(error));
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        result.kind = Kind::Unreadable;
        result.problem = QStringLiteral("%1 cannot be checked (%2)").arg(path, Error(errno));
    } else if (const QString refused = Refusal(path, info, trust); !refused.isEmpty()) {
        result.kind = S_ISREG(info.st_mode) ? Kind::Foreign : Kind::Special;
        result.problem = refused;
    } else if (info.st_size > maxBytes) {
        result.kind = Kind::TooLarge;
        result.problem = QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(maxBytes);
    } else {
        result.kind = Kind::Regular;
        result.bytes.resize(maxBytes + 1);
        qsizetype total = 0;
        while (total < result.bytes.size()) {
            const ssize_t got = ::read(fd, result.bytes.data() + total,
                                       static_cast<size_t>(result.bytes.size() - total));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                result.kind = Kind::Unreadable;
                result.problem = QStringLiteral("%1 cannot be read (%2)").arg(path, Error(errno));
                break;
            }
            if (got == 0) break;
            total += got;
        }
        result.bytes.truncate(total);
        if (result.kind == Kind::Regular && total > maxBytes) {  // it grew while being read
            result.kind = Kind::TooLarge;
            result.problem = QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(maxBytes);
        }
    }
    ::close(fd);
    if (result.kind != Kind::Regular) result.bytes.clear();
    return result;
}

bool MakeFolder(const QString& folder, QString& problem) {
    const QString clean = QDir::cleanPath(folder);
    struct stat info {};
    if (::stat(Native(clean).constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return true;
        problem = QStringLiteral("%1 is not a folder").arg(clean);
        return false;
    }
    const QString parent = QFileInfo(clean).path();
    if (parent != clean && !MakeFolder(parent, problem)) return false;
    if (::mkdir(Native(clean).constData(), 0700) != 0 && errno != EEXIST) {
        problem = QStringLiteral("the folder %1 cannot be made (%2)").arg(clean, Error(errno));
        return false;
    }
    return true;
}

bool ReplaceChecked(const QString& path, const QByteArray& bytes, Trust trust, bool inPlaceIfNeeded,
                    QString& problem) {
    const QFileInfo where(path);
    const QString folder = where.absolutePath();
    if (!MakeFolder(folder, problem)) return false;
    struct stat old {};
    const bool exists = ::lstat(Native(path).constData(), &old) == 0;
    if (exists) {
        if (const QString refused = Refusal(path, old, trust); !refused.isEmpty()) {
            problem = refused + QStringLiteral(", so it is not replaced");
            return false;
        }
    }
    RemoveDeadTemporaries(folder, where.fileName());

    QString temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        QString suffix;
        for (int i = 0; i < 6; ++i)
            suffix += QLatin1Char("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
                                      [QRandomGenerator::global()->bounded(62)]);
        temporary = QStringLiteral("%1.tmp-%2-%3").arg(path).arg(::getpid()).arg(suffix);
        fd = ::open(Native(temporary).constData(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        const int error = errno;
        if (inPlaceIfNeeded && exists && (error == EACCES || error == EPERM)) {
            if (!RewriteInPlace(path, bytes, trust, problem)) return false;
            std::fprintf(stderr,
                         "orbelix: the folder %s cannot be written to; %s was rewritten in place\n",
                         qPrintable(folder), qPrintable(path));
            return true;
        }
        problem = QStringLiteral("no new file can be made beside %1 (%2)").arg(path, Error(error));
        return false;
    }
    const QByteArray name = Native(temporary);
    const auto fail = [&](const QString& what) {
        const int error = errno;
        if (fd >= 0) ::close(fd);
        ::unlink(name.constData());
        problem = QStringLiteral("%1 was not replaced: %2 (%3)").arg(path, what, Error(error));
        return false;
    };
    // The settings file keeps the permissions the player gave it.
    if (exists && trust == Trust::AnyRegular) ::fchmod(fd, old.st_mode & 07777);
    if (!WriteAll(fd, bytes, 0)) return fail(QStringLiteral("the data could not be written"));
    if (::fsync(fd) != 0) return fail(QStringLiteral("the data could not be synced"));
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) return fail(QStringLiteral("the data could not be written"));
    if (::rename(name.constData(), Native(path).constData()) != 0)
        return fail(QStringLiteral("the new file could not be put in its place"));
    SyncFolder(folder);
    return true;
}

std::optional<QByteArray> Read(const QString& path, qint64 maxBytes, QString* problem) {
    Contents contents = ReadChecked(path, maxBytes, Trust::OwnFileOnly);
    if (contents.kind == Kind::Regular) return std::move(contents.bytes);
    if (problem != nullptr)
        *problem = contents.kind == Kind::Missing ? QStringLiteral("%1 does not exist").arg(path)
                                                  : contents.problem;
    return std::nullopt;
}

bool Replace(const QString& path, const QByteArray& bytes, QString* problem) {
    QString why;
    const bool replaced = ReplaceChecked(path, bytes, Trust::OwnFileOnly, false, why);
    if (problem != nullptr) *problem = why;
    return replaced;
}

QString StateFolder() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) {
        const QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty() || !QDir::isAbsolutePath(home)) return QString();
        base = home + QStringLiteral("/.local/state");
    }
    return QDir::cleanPath(base + QStringLiteral("/Orbelix"));
}

}  // namespace orbelix::SafeFile
