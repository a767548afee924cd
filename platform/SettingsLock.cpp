// The lock that every copy of the game takes to save: QLockFile's, so that copies of any
// version keep one protocol. QLockFile reads (and opens for writing) whatever it finds in
// the lock's place, which would block on a FIFO and can never succeed on a folder, a
// dangling link or a file it may not open; such things are looked at first, without
// opening them, and moved aside.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSysInfo>
#include <QThread>
#include <cerrno>

#include "platform/SettingsFileParts.h"

namespace orbelix::SettingsFile {
namespace {

// A lock file whose holder cannot be checked (empty because its writer died while making
// it, or made on another machine) counts as left over once it is this old.
constexpr qint64 UncheckableLockAgeMs = 1000;
// How often a save that may wait looks at the lock again.
constexpr std::chrono::milliseconds LookAgain{20};

// What is at `path` when it is not a lock file QLockFile can use, else an empty text.
// Nothing is opened: a FIFO's open blocks until a writer comes.
QString WhatIsNoLock(const QString& path, bool& missing) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    missing = ::lstat(name.constData(), &info) != 0 && errno == ENOENT;
    if (missing) return QString();
    if (S_ISLNK(info.st_mode)) {
        struct stat target {};
        return ::stat(name.constData(), &target) == 0
                   ? QStringLiteral("a symbolic link to %1").arg(QFileInfo(path).symLinkTarget())
                   : QStringLiteral("a symbolic link to nothing (%1)")
                         .arg(QFileInfo(path).symLinkTarget());
    }
    if (S_ISDIR(info.st_mode)) return QStringLiteral("a folder");
    if (S_ISFIFO(info.st_mode)) return QStringLiteral("a FIFO");
    if (S_ISSOCK(info.st_mode)) return QStringLiteral("a socket");
    if (!S_ISREG(info.st_mode)) return QStringLiteral("a device");
    if (::faccessat(AT_FDCWD, name.constData(), R_OK | W_OK, AT_EACCESS) != 0)
        return QStringLiteral("a file that cannot be read or written (%1)").arg(SystemError(errno));
    return QString();
}

// Moves what is at `path` aside when it is no lock file. False, with the reason, when
// something is in the way that cannot be moved.
bool ClearLockPath(const QString& path, QString& problem) {
    bool missing = false;
    const QString what = WhatIsNoLock(path, missing);
    if (missing || what.isEmpty()) return true;
    const auto taken = [](const QString& name) {
        struct stat info {};
        return ::lstat(QFile::encodeName(name).constData(), &info) == 0;
    };
    QString aside = path + QStringLiteral(".not-a-lock");
    for (int n = 1; n < 10 && taken(aside); ++n)
        aside = path + QStringLiteral(".not-a-lock-%1-%2").arg(::getpid()).arg(n);
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) != 0) {
        problem =
            QStringLiteral("the lock file %1 is %2, not a lock, and cannot be moved aside (%3)")
                .arg(path, what, SystemError(errno));
        return false;
    }
    Say(QStringLiteral("the lock file %1 was %2, not a lock; moved to %3").arg(path, what, aside));
    return true;
}

}  // namespace

LockState TakeLock(QLockFile& lock, const QString& lockPath, std::chrono::milliseconds patience,
                   QString& problem) {
    lock.setStaleLockTime(0);  // a live holder is never broken, however long it takes
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        // QLockFile also uses a second file beside the lock while it breaks a dead one.
        if (!ClearLockPath(lockPath, problem) ||
            !ClearLockPath(lockPath + QStringLiteral(".rmlock"), problem))
            return LockState::Failed;
        // QLockFile breaks a lock whose holder, a process on this machine, has ended.
        if (lock.tryLock(0)) return LockState::Taken;
        if (lock.error() != QLockFile::LockFailedError) {
            problem = QStringLiteral("cannot make the lock file %1").arg(lockPath);
            return LockState::Failed;
        }
        qint64 pid = 0;
        QString host;
        QString application;
        const bool known = lock.getLockInfo(&pid, &host, &application);
        if (known && (host.isEmpty() || host == QSysInfo::machineHostName())) {
            problem = QStringLiteral("another copy of the game (process %1) holds %2")
                          .arg(pid)
                          .arg(lockPath);
        } else {
            // A holder that cannot be checked is taken for gone once its lock is older
            // than any save takes.
            const QDateTime made = QFileInfo(lockPath).lastModified();
            const qint64 age = made.isValid() ? made.msecsTo(QDateTime::currentDateTime())
                                              : UncheckableLockAgeMs + 1;
            if (age > UncheckableLockAgeMs || age < -UncheckableLockAgeMs) {
                lock.removeStaleLockFile();
                if (lock.tryLock(0)) return LockState::Taken;
            }
            problem = QStringLiteral("%1 names no holder that can be checked").arg(lockPath);
        }
        if (waited.elapsed() >= patience.count()) return LockState::Busy;
        QThread::msleep(static_cast<unsigned long>(LookAgain.count()));
    }
}

}  // namespace orbelix::SettingsFile
