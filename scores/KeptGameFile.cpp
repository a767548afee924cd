#include "scores/KeptGameFile.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/SafeFile.h"

namespace orbelix::KeptGameFile {
namespace {

// Moves a file that is no kept game out of the way, with one line for stderr that says
// what was wrong (`why`, a sentence naming the file) and where it went.
QString SetAside(const QString& path, const QString& why) {
    const QString aside = path + QStringLiteral(".rejected");
    // rename() replaces an older rejected file and moves a link or a FIFO as it is.
    const bool moved = std::rename(QFile::encodeName(path).constData(),
                                   QFile::encodeName(aside).constData()) == 0;
    if (!moved)
        return QStringLiteral("orbelix: %1, and it could not be moved aside (%2)")
            .arg(why, QString::fromLocal8Bit(std::strerror(errno)));
    return QStringLiteral("orbelix: %1; it was moved to %2").arg(why, aside);
}

}  // namespace

QString Path() {
    const QString folder = SafeFile::StateFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/kept-game");
}

Loaded Load() {
    const QString path = Path();
    if (path.isEmpty()) return {};
    const SafeFile::Contents file =
        SafeFile::ReadChecked(path, MaxKeptGameBytes, SafeFile::Trust::OwnFileOnly);
    // No file at all is no problem: there is nothing to resume.
    if (file.kind == SafeFile::Kind::Missing) return {};
    if (file.kind != SafeFile::Kind::Regular) return {std::nullopt, SetAside(path, file.problem)};
    QString problem;
    std::optional<KeptGame> game = ReadKeptGame(file.bytes, &problem);
    if (!game)
        return {std::nullopt,
                SetAside(path, QStringLiteral("the kept game %1 %2").arg(path, problem))};
    return {game, QString()};
}

namespace {

bool KeepBytes(const QByteArray& bytes, QString* problem) {
    const QString path = Path();
    if (path.isEmpty()) {
        if (problem != nullptr) *problem = QStringLiteral("there is no home folder to keep it in");
        return false;
    }
    if (SafeFile::Replace(path, bytes, problem)) return true;
    // A link, a FIFO or a stranger's file in the kept game's place goes aside, once.
    const SafeFile::Contents there =
        SafeFile::ReadChecked(path, MaxKeptGameBytes, SafeFile::Trust::OwnFileOnly);
    if (there.kind != SafeFile::Kind::Special && there.kind != SafeFile::Kind::Foreign)
        return false;
    std::fprintf(stderr, "%s\n", qPrintable(SetAside(path, there.problem)));
    return SafeFile::Replace(path, bytes, problem);
}

}  // namespace

bool Keep(const KeptGame& game, QString* problem) {
    return KeepBytes(WriteKeptGame(game), problem);
}

bool Forget(QString* problem) {
    const QString path = Path();
    if (path.isEmpty()) return true;
    if (std::remove(QFile::encodeName(path).constData()) == 0 || errno == ENOENT) return true;
    if (problem != nullptr) *problem = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

Writer::Writer() : thread_([this] { run(); }) {}

Writer::~Writer() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void Writer::keep(const KeptGame& game) {
    QByteArray bytes = WriteKeptGame(game);
    {
        const std::lock_guard lock(mutex_);
        pending_ = std::move(bytes);
    }
    wake_.notify_one();
}

void Writer::forget() {
    {
        const std::lock_guard lock(mutex_);
        pending_ = QByteArray();
    }
    wake_.notify_one();
}

void Writer::flush() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !pending_ && !busy_; });
}

void Writer::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return pending_ || stopping_; });
        if (!pending_) return;  // stopping, with nothing left to do
        const QByteArray bytes = *std::exchange(pending_, std::nullopt);
        busy_ = true;
        lock.unlock();
        QString problem;
        const bool done = bytes.isEmpty() ? Forget(&problem) : KeepBytes(bytes, &problem);
        lock.lock();
        busy_ = false;
        if (!done && !failing_)
            std::fprintf(stderr, "orbelix: the game in progress could not be kept: %s\n",
                         qPrintable(problem));
        failing_ = !done;
        idle_.notify_all();
    }
}

}  // namespace orbelix::KeptGameFile
