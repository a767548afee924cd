// The lock that every copy of the game takes to save, in QLockFile's format and protocol so
// that copies of any version keep one lock: a file made exclusively that names its holder
// (process, program, machine), removed when the holder lets go, broken when the holder has
// ended. Unlike QLockFile, nothing here ever follows a link or opens the lock's place so
// that it can block (a FIFO put there at any moment); what is opened is checked on the
// opened descriptor. Whatever is in the lock's place and is no lock file is moved aside.
#include <fcntl.h>
#include <signal.h>
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
constexpr int NewFile = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

// What a look at the lock's place found.
struct Seen {
    bool missing = false;
    QString notALock;  // what is there instead of a lock file; empty for a lock file
    QByteArray text;
    qint64 ageMs = 0;
    dev_t device = 0;
    ino_t inode = 0;
};

QString Describe(const QString& path, const struct stat& info) {
    if (S_ISLNK(info.st_mode)) {
        struct stat target {};
        return ::stat(QFile::encodeName(path).constData(), &target) == 0
                   ? QStringLiteral("a symbolic link to %1").arg(QFileInfo(path).symLinkTarget())
                   : QStringLiteral("a symbolic link to nothing (%1)")
                         .arg(QFileInfo(path).symLinkTarget());
    }
    if (S_ISDIR(info.st_mode)) return QStringLiteral("a folder");
    if (S_ISFIFO(info.st_mode)) return QStringLiteral("a FIFO");
    if (S_ISSOCK(info.st_mode)) return QStringLiteral("a socket");
    return QStringLiteral("a device");
}

Seen Look(const QString& path) {
    Seen seen;
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    const int fd =
        ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        if (::lstat(name.constData(), &info) != 0) {
            seen.missing = true;  // gone since; look again
            return seen;
        }
        seen.notALock =
            S_ISREG(info.st_mode)
                ? QStringLiteral("a file that cannot be read (%1)").arg(SystemError(error))
                : Describe(path, info);
    } else {
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            seen.notALock = Describe(path, info);
        } else if (::faccessat(AT_FDCWD, name.constData(), R_OK | W_OK, AT_EACCESS) != 0) {
            seen.notALock = QStringLiteral("a file that cannot be read or written (%1)")
                                .arg(SystemError(errno));
        } else {
            seen.text.resize(4096);
            const ssize_t got = ::read(fd, seen.text.data(), static_cast<size_t>(seen.text.size()));
            seen.text.truncate(got > 0 ? got : 0);
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            seen.ageMs =
                now - (qint64{info.st_mtim.tv_sec} * 1000 + info.st_mtim.tv_nsec / 1000000);
        }
        ::close(fd);
    }
    seen.device = info.st_dev;
    seen.inode = info.st_ino;
    return seen;
}

// Moves what was seen at `path` aside, unless something else has taken its place since.
bool MoveAside(const QString& path, const Seen& seen, QString& problem) {
    struct stat now {};
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &now) != 0 || now.st_dev != seen.device ||
        now.st_ino != seen.inode)
        return true;
    const auto taken = [](const QString& other) {
        struct stat info {};
        return ::lstat(QFile::encodeName(other).constData(), &info) == 0;
    };
    QString aside = path + QStringLiteral(".not-a-lock");
    for (int n = 1; n < 10 && taken(aside); ++n)
        aside = path + QStringLiteral(".not-a-lock-%1-%2").arg(::getpid()).arg(n);
    if (::rename(name.constData(), QFile::encodeName(aside).constData()) != 0) {
        problem =
            QStringLiteral("the lock file %1 is %2, not a lock, and cannot be moved aside (%3)")
                .arg(path, seen.notALock, SystemError(errno));
        return false;
    }
    Say(QStringLiteral("the lock file %1 was %2, not a lock; moved to %3")
            .arg(path, seen.notALock, aside));
    return true;
}

// What QLockFile writes: process, program, machine, and the machine's and boot's ids.
QByteArray HolderText() {
    const QString program =
        QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).fileName();
    return QByteArray::number(::getpid()) + '\n' + program.toUtf8() + '\n' +
           QSysInfo::machineHostName().toUtf8() + '\n' + QSysInfo::machineUniqueId() + '\n' +
           QSysInfo::bootUniqueId() + '\n';
}

bool Write(int fd, const QByteArray& text) {
    qsizetype done = 0;
    while (done < text.size()) {
        const ssize_t wrote =
            ::write(fd, text.constData() + done, static_cast<size_t>(text.size() - done));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += wrote;
    }
    return true;
}

enum class Holder { Alive, Gone, Unknown };
Holder HolderOf(const Seen& seen) {
    const QList<QByteArray> lines = seen.text.split('\n');
    const qint64 pid = lines.value(0).toLongLong();
    const QString host = QString::fromUtf8(lines.value(2));
    if (pid <= 0 || (!host.isEmpty() && host != QSysInfo::machineHostName()))
        return seen.ageMs > UncheckableLockAgeMs || seen.ageMs < -UncheckableLockAgeMs
                   ? Holder::Gone
                   : Holder::Unknown;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM ? Holder::Alive : Holder::Gone;
}

// Removes the lock seen at `path`, whose holder has ended. The second file beside it
// makes sure that of two copies breaking it at once, one does, and never the lock the
// other has just made.
// False when another copy is breaking it.
bool BreakLeftOver(const QString& path, const Seen& seen, QString& problem) {
    const QString breaking = path + QStringLiteral(".rmlock");
    const QByteArray name = QFile::encodeName(breaking);
    const int fd = ::open(name.constData(), NewFile, 0644);
    if (fd < 0) {
        if (errno != EEXIST) return false;
        const Seen other = Look(breaking);
        if (!other.notALock.isEmpty()) return MoveAside(breaking, other, problem);
        if (other.missing) return true;
        if (HolderOf(other) != Holder::Gone) return false;
        ::unlink(name.constData());
        return true;
    }
    Write(fd,
          QByteArray::number(::getpid()) + "\n\n" + QSysInfo::machineHostName().toUtf8() + '\n');
    ::close(fd);
    const Seen again = Look(path);
    if (!again.missing && again.device == seen.device && again.inode == seen.inode &&
        HolderOf(again) == Holder::Gone)
        ::unlink(QFile::encodeName(path).constData());
    ::unlink(name.constData());
    return true;
}

}  // namespace

HeldLock::~HeldLock() {
    if (!path_.isEmpty()) ::unlink(QFile::encodeName(path_).constData());
}

LockState TakeLock(HeldLock& lock, const QString& lockPath, std::chrono::milliseconds patience,
                   QString& problem) {
    QElapsedTimer waited;
    waited.start();
    const QByteArray name = QFile::encodeName(lockPath);
    for (;;) {
        // Things that keep turning up in the lock's place do not hold a save for ever.
        if (waited.elapsed() > patience.count() + 2000) {
            problem = QStringLiteral("%1 keeps changing").arg(lockPath);
            return LockState::Busy;
        }
        const int fd = ::open(name.constData(), NewFile, 0644);
        if (fd >= 0) {
            const bool written = Write(fd, HolderText());
            ::close(fd);
            if (written) {
                lock.path_ = lockPath;
                return LockState::Taken;
            }
            ::unlink(name.constData());
            problem = QStringLiteral("cannot write the lock file %1").arg(lockPath);
            return LockState::Failed;
        }
        if (errno != EEXIST) {
            problem = QStringLiteral("cannot make the lock file %1 (%2)")
                          .arg(lockPath, SystemError(errno));
            return LockState::Failed;
        }
        const Seen seen = Look(lockPath);
        if (seen.missing) continue;
        if (!seen.notALock.isEmpty()) {
            if (!MoveAside(lockPath, seen, problem)) return LockState::Failed;
            continue;
        }
        switch (HolderOf(seen)) {
            case Holder::Gone:
                if (BreakLeftOver(lockPath, seen, problem)) continue;
                problem =
                    QStringLiteral("another copy is breaking the left-over lock %1").arg(lockPath);
                break;
            case Holder::Alive:
                problem = QStringLiteral("another copy of the game (process %1) holds %2")
                              .arg(QString::fromUtf8(seen.text.split('\n').value(0)), lockPath);
                break;
            case Holder::Unknown:
                problem = QStringLiteral("%1 names no holder that can be checked").arg(lockPath);
                break;
        }
        if (waited.elapsed() >= patience.count()) return LockState::Busy;
        QThread::msleep(static_cast<unsigned long>(LookAgain.count()));
    }
}

}  // namespace orbelix::SettingsFile
