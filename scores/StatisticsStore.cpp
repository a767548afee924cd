#include "scores/StatisticsStore.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/FileLock.h"
#include "platform/SafeFile.h"

namespace orbelix {
namespace {

void Say(const QString& line) {
    std::fprintf(stderr, "orbelix: %s\n", qPrintable(line));
}

// What is at `path` when it is no regular file ("a FIFO"), else an empty text; `missing`
// when nothing is there. Nothing is opened.
QString WhatIsThere(const QString& path, bool& missing) {
    struct stat info {};
    missing = ::lstat(QFile::encodeName(path).constData(), &info) != 0 && errno == ENOENT;
    if (missing || S_ISREG(info.st_mode)) return QString();
    if (S_ISLNK(info.st_mode)) return QStringLiteral("a symbolic link");
    if (S_ISDIR(info.st_mode)) return QStringLiteral("a folder");
    if (S_ISFIFO(info.st_mode)) return QStringLiteral("a FIFO");
    if (S_ISSOCK(info.st_mode)) return QStringLiteral("a socket");
    return QStringLiteral("a device");
}

}  // namespace

QString StatisticsStore::Path() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) {
        const QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty() || !QDir::isAbsolutePath(home)) return QString();
        base = home + QStringLiteral("/.local/state");
    }
    return QDir::cleanPath(base + QStringLiteral("/Orbelix/statistics.txt"));
}

std::optional<Statistics> StatisticsStore::ReadFile(const QString& path, bool mayMoveAside) {
    bool missing = false;
    QString problem = WhatIsThere(path, missing);
    if (missing) return Statistics();
    QString suffix = QStringLiteral(".not-a-file");
    if (problem.isEmpty()) {
        const std::optional<QByteArray> bytes = SafeFile::Read(path, MaxFileSize, &problem);
        if (bytes) {
            std::optional<Statistics> read = Statistics::FromText(*bytes, &problem);
            if (read) return read;
            suffix = QStringLiteral(".damaged");
        } else {
            suffix = QStringLiteral(".unreadable");
        }
    }
    if (!mayMoveAside) {
        Say(QStringLiteral("statistics file %1 cannot be used (%2)").arg(path, problem));
        return std::nullopt;
    }
    const QString aside = path + suffix;
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) != 0) {
        Say(QStringLiteral("statistics file %1 cannot be used (%2) nor moved aside (%3)")
                .arg(path, problem, QString::fromLocal8Bit(std::strerror(errno))));
        return std::nullopt;
    }
    Say(QStringLiteral("statistics file %1 cannot be used (%2); moved to %3, counting afresh")
            .arg(path, problem, aside));
    return Statistics();
}

bool StatisticsStore::Record(const GameRecord& game, std::chrono::milliseconds patience) {
    waiting_.append(game);
    return Flush(patience);
}

bool StatisticsStore::Flush(std::chrono::milliseconds patience) {
    if (waiting_.isEmpty()) return true;
    const QString path = Path();
    const auto fail = [&path](const QString& problem) {
        Say(QStringLiteral("statistics not saved to %1: %2").arg(path, problem));
        return false;
    };
    if (path.isEmpty())
        return fail(QStringLiteral("HOME is not set, so there is no folder to keep them in"));
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("cannot make the folder %1").arg(folder));

    const QString lockPath = path + QStringLiteral(".lock");
    QLockFile lock(lockPath);
    QString problem;
    switch (FileLock::Take(lock, lockPath, patience, problem)) {
        case FileLock::State::Taken:
            break;
        case FileLock::State::Busy:
            // Said once; the games wait for the next record or the end of the program.
            if (!busySaid_) Say(QStringLiteral("statistics not saved yet: %1").arg(problem));
            busySaid_ = true;
            return false;
        case FileLock::State::Failed:
            return fail(problem);
    }
    busySaid_ = false;
    std::optional<Statistics> statistics = ReadFile(path, true);
    if (!statistics) return false;
    for (const GameRecord& game : waiting_) statistics->Record(game);
    if (!SafeFile::Replace(path, statistics->ToText(), &problem)) return fail(problem);
    waiting_.clear();
    return true;
}

Statistics StatisticsStore::Load() {
    const QString path = Path();
    std::optional<Statistics> statistics;
    if (!path.isEmpty() && QFileInfo(path).absoluteDir().exists()) {
        // The file is only ever replaced whole, so it can be read without the lock; only
        // moving a bad file aside needs it.
        const QString lockPath = path + QStringLiteral(".lock");
        QLockFile lock(lockPath);
        QString problem;
        const bool locked = FileLock::Take(lock, lockPath, std::chrono::milliseconds::zero(),
                                           problem) == FileLock::State::Taken;
        statistics = ReadFile(path, locked);
    }
    Statistics shown = statistics.value_or(Statistics());
    for (const GameRecord& game : waiting_) shown.Record(game);
    return shown;
}

}  // namespace orbelix
