#include "scores/KeptGameFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Environment.h"
#include "platform/SafeFileInterim.h"

namespace orbelix::KeptGameFile {
namespace {

QString SetAside(const QString& path, const QString& why) {
    const QString aside = path + QStringLiteral(".rejected");
    // rename() replaces an older rejected file and moves a link or a FIFO as it is.
    const bool moved = std::rename(QFile::encodeName(path).constData(),
                                   QFile::encodeName(aside).constData()) == 0;
    if (!moved)
        return QStringLiteral("orbelix: the kept game %1 %2, and could not be moved aside (%3)")
            .arg(path, why, QString::fromLocal8Bit(std::strerror(errno)));
    return QStringLiteral("orbelix: the kept game %1 %2; it was moved to %3")
        .arg(path, why, aside);
}

}  // namespace

QString Path() {
    const QString folder = StateFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/kept-game");
}

Loaded Load() {
    const QString path = Path();
    if (path.isEmpty()) return {};
    // No file at all (not even a dangling link) is no problem: there is nothing to resume.
    if (!QFileInfo(path).exists() && !QFileInfo(path).isSymLink()) return {};
    QString problem;
    const std::optional<QByteArray> bytes = SafeFile::Read(path, MaxKeptGameBytes, &problem);
    if (!bytes)
        return {std::nullopt, SetAside(path, QStringLiteral("cannot be read (%1)").arg(problem))};
    std::optional<KeptGame> game = ReadKeptGame(*bytes, &problem);
    if (!game) return {std::nullopt, SetAside(path, problem)};
    return {game, QString()};
}

bool Keep(const KeptGame& game, QString* problem) {
    const QString path = Path();
    if (path.isEmpty()) {
        if (problem != nullptr) *problem = QStringLiteral("there is no home folder");
        return false;
    }
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder)) {
        if (problem != nullptr) *problem = QStringLiteral("cannot make the folder %1").arg(folder);
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
