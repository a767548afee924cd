#include "platform/SafeFileInterim.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace orbelix::SafeFile {
namespace {

bool Fail(QString* problem, const QString& text) {
    if (problem != nullptr) *problem = text;
    return false;
}

QString SystemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool WriteAll(int fd, const QByteArray& bytes) {
    const char* at = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        at += written;
        left -= written;
    }
    return true;
}

}  // namespace

std::optional<QByteArray> Read(const QString& path, qint64 maxBytes, QString* problem) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Fail(problem, errno == ELOOP ? QStringLiteral("a symbolic link") : SystemError());
        return std::nullopt;
    }
    struct stat info {};
    std::optional<QByteArray> bytes;
    if (::fstat(fd, &info) != 0) {
        Fail(problem, SystemError());
    } else if (!S_ISREG(info.st_mode)) {
        Fail(problem, QStringLiteral("not a regular file"));
    } else if (info.st_uid != ::geteuid() || info.st_nlink != 1) {
        Fail(problem, QStringLiteral("not a file of this user's own with one link"));
    } else if (info.st_size > maxBytes) {
        Fail(problem, QStringLiteral("larger than %1 bytes").arg(maxBytes));
    } else {
        QByteArray data(static_cast<qsizetype>(maxBytes) + 1, Qt::Uninitialized);
        qint64 got = 0;
        while (got <= maxBytes) {
            const ssize_t n =
                ::read(fd, data.data() + got, static_cast<size_t>(maxBytes + 1 - got));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += n;
        }
        if (got > maxBytes) {
            Fail(problem, QStringLiteral("larger than %1 bytes").arg(maxBytes));
        } else {
            data.truncate(static_cast<qsizetype>(got));
            bytes = data;
        }
    }
    ::close(fd);
    return bytes;
}

bool Replace(const QString& path, const QByteArray& bytes, QString* problem) {
    const QByteArray name = QFile::encodeName(path);
    const QByteArray temporary = name + ".new-" + QByteArray::number(::getpid());
    ::unlink(temporary.constData());
    const int fd = ::open(temporary.constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return Fail(problem, SystemError());
    const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    const QString writeError = SystemError();
    ::close(fd);
    if (!written || ::rename(temporary.constData(), name.constData()) != 0) {
        const QString error = written ? SystemError() : writeError;
        ::unlink(temporary.constData());
        return Fail(problem, error);
    }
    const QByteArray folder = QFile::encodeName(QFileInfo(path).path());
    if (const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace orbelix::SafeFile
