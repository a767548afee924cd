#include "scores/KeptGameFile.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

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

bool Keep(const KeptGame& game, QString* problem) {
    const QString path = Path();
    if (path.isEmpty()) {
        if (problem != nullptr) *problem = QStringLiteral("there is no home folder");
        return false;
    }
    return SafeFile::Replace(path, WriteKeptGame(game), problem);
}

bool Forget(QString* problem) {
    const QString path = Path();
    if (path.isEmpty()) return true;
    if (std::remove(QFile::encodeName(path).constData()) == 0 || errno == ENOENT) return true;
    if (problem != nullptr) *problem = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

}  // namespace orbelix::KeptGameFile
