#include "scores/StatisticsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

}  // namespace

QString StatisticsStore::Path() {
    const QString folder = SafeFile::StateFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/statistics.txt");
}

std::optional<Statistics> StatisticsStore::ReadFile(const QString& path, bool mayMoveAside) {
    SafeFile::Contents file =
        SafeFile::ReadChecked(path, MaxFileSize, SafeFile::Trust::OwnFileOnly);
    QString suffix;
    switch (file.kind) {
        case SafeFile::Kind::Missing:
            return Statistics();
        case SafeFile::Kind::Regular:
            if (std::optional<Statistics> read = Statistics::FromText(file.bytes, &file.problem))
                return read;
            file.problem = QStringLiteral("statistics file %1: %2").arg(path, file.problem);
            suffix = QStringLiteral(".damaged");
            break;
        case SafeFile::Kind::TooLarge:
            suffix = QStringLiteral(".too-large");
            break;
        case SafeFile::Kind::Special:
            suffix = QStringLiteral(".not-a-file");
            break;
        case SafeFile::Kind::Foreign:
            suffix = QStringLiteral(".not-ours");
            break;
        case SafeFile::Kind::Unreadable:
            suffix = QStringLiteral(".unreadable");
            break;
    }
    // `problem` names the file.
    if (!mayMoveAside) {
        Say(QStringLiteral("%1; not read").arg(file.problem));
        return std::nullopt;
    }
    // The name is moved, never what a link points to.
    const QString aside = path + suffix;
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) != 0) {
        Say(QStringLiteral("%1; not read, and it cannot be moved aside (%2)")
                .arg(file.problem, QString::fromLocal8Bit(std::strerror(errno))));
        return std::nullopt;
    }
    Say(QStringLiteral("%1; moved to %2, statistics start afresh").arg(file.problem, aside));
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
    QString problem;
    if (!SafeFile::MakeFolder(QFileInfo(path).absolutePath(), problem)) return fail(problem);

    FileLock::Held lock;
    switch (lock.take(path + QStringLiteral(".lock"), patience, problem)) {
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
        FileLock::Held lock;
        QString problem;
        const bool locked =
            lock.take(path + QStringLiteral(".lock"), std::chrono::milliseconds::zero(), problem) ==
            FileLock::State::Taken;
        statistics = ReadFile(path, locked);
    }
    Statistics shown = statistics.value_or(Statistics());
    for (const GameRecord& game : waiting_) shown.Record(game);
    return shown;
}

}  // namespace orbelix
