#include "platform/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace orbelix::SafeFile {
namespace {

QString Said(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool Fail(QString* problem, const QString& why) {
    if (problem != nullptr) *problem = why;
    return false;
}

// Writes all of `bytes` to `fd`, through short writes and interruptions.
bool WriteAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += wrote;
    }
    return true;
}

}  // namespace

std::optional<QByteArray> Read(const QString& path, qint64 maxBytes, QString* problem) {
    const QByteArray name = QFile::encodeName(path);
    const int fd =
        ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        Fail(problem, errno == ELOOP ? QStringLiteral("a symbolic link") : Said(errno));
        return std::nullopt;
    }
    std::optional<QByteArray> bytes;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        Fail(problem, Said(errno));
    } else if (!S_ISREG(info.st_mode)) {
        Fail(problem, QStringLiteral("not a regular file"));
    } else if (info.st_uid != ::geteuid()) {
        Fail(problem, QStringLiteral("owned by another user"));
    } else if (info.st_nlink != 1) {
        Fail(problem, QStringLiteral("a file with more than one name"));
    } else if (info.st_size > maxBytes) {
        Fail(problem, QStringLiteral("larger than %1 bytes").arg(maxBytes));
    } else {
        QByteArray read(static_cast<qsizetype>(maxBytes) + 1, Qt::Uninitialized);
        qsizetype total = 0;
        bool failed = false;
        while (total < read.size()) {
            const ssize_t got =
                ::read(fd, read.data() + total, static_cast<size_t>(read.size() - total));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                Fail(problem, Said(errno));
                failed = true;
            }
            if (got <= 0) break;
            total += got;
        }
        if (!failed && total > maxBytes)
            Fail(problem, QStringLiteral("larger than %1 bytes").arg(maxBytes));
        else if (!failed)
            bytes = read.left(total);
    }
    ::close(fd);
    return bytes;
}

bool Replace(const QString& path, const QByteArray& bytes, QString* problem) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return Fail(problem, QStringLiteral("%1 is not a regular file").arg(path));
    const QByteArray temporary =
        name + ".new-" + QByteArray::number(static_cast<qint64>(::getpid()));
    ::unlink(temporary.constData());  // a leftover of this process id, never followed
    const int fd =
        ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return Fail(problem, Said(errno));
    const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !written) {
        ::unlink(temporary.constData());
        return Fail(problem, Said(written ? errno : writeError));
    }
    if (::rename(temporary.constData(), name.constData()) != 0) {
        const int renameError = errno;
        ::unlink(temporary.constData());
        return Fail(problem, Said(renameError));
    }
    // The new name reaches the disk with the folder.
    const int folder = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

}  // namespace orbelix::SafeFile
