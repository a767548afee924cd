// Changes that a copy of the game could not save before it ended, kept in side files next
// to the settings file until the next save of any copy takes them in.
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <mutex>
#include <tuple>

#include "platform/SettingsFileParts.h"

namespace orbelix::SettingsFile {
namespace {

const QString SideInfix = QStringLiteral(".unsaved-");
// A save takes in at most this many side files; any more wait for the next save.
constexpr qsizetype MostSideFilesAtOnce = 64;

// The statics here are made on first use and never destroyed: the save that exit()
// runs comes after the destructors of statics made later than it was registered.

// This process's side file: the same name for the whole run, never another process's.
QString SidePath(const QString& path) {
    static const QString* const suffix = new QString(
        QStringLiteral("%1-%2").arg(::getpid()).arg(QDateTime::currentMSecsSinceEpoch()));
    return path + SideInfix + *suffix;
}

struct InFlight {
    std::mutex mutex;
    Entries change;
    bool held = false;
};
InFlight& ChangeInFlight() {
    static InFlight* const inFlight = new InFlight;
    return *inFlight;
}

}  // namespace

bool KeepAside(const Entries& change) {
    const QString path = Path();
    if (path.isEmpty()) {
        Say(QStringLiteral(
            "settings lost: HOME is not set, so there is no folder to keep them in"));
        return false;
    }
    const QString side = SidePath(path);
    QString problem = QStringLiteral("cannot make the folder");
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) ||
        !WriteAtomically(side, FormatIni(change), problem)) {
        Say(QStringLiteral("settings lost: they could not be kept in %1 either (%2)")
                .arg(side, problem));
        return false;
    }
    Say(QStringLiteral("settings kept in %1; the next copy of the game to save takes them in")
            .arg(side));
    return true;
}

void SetChangeInFlight(const Entries& change) {
    InFlight& inFlight = ChangeInFlight();
    const std::lock_guard guard(inFlight.mutex);
    inFlight.change = change;
    inFlight.held = true;
}

void ClearChangeInFlight() {
    InFlight& inFlight = ChangeInFlight();
    const std::lock_guard guard(inFlight.mutex);
    inFlight.held = false;
}

bool KeepChangeInFlight() {
    InFlight& inFlight = ChangeInFlight();
    Entries change;
    {
        const std::lock_guard guard(inFlight.mutex);
        if (!inFlight.held) return true;
        change = inFlight.change;
    }
    return KeepAside(change);
}

QList<SideFile> SideFiles(const QString& path) {
    const QFileInfo settings(path);
    const QString prefix = settings.fileName() + SideInfix;
    // PID-TIME exactly: the temporary files of an atomic replace have more after it.
    static const QRegularExpression* const name =
        new QRegularExpression(QStringLiteral("^(\\d{1,10})-(\\d{1,19})$"));
    struct Found {
        qint64 time;
        qint64 pid;
        QString path;
    };
    QList<Found> found;
    const QDir folder = settings.absoluteDir();
    const QStringList names = folder.entryList(
        {prefix + QLatin1Char('*')}, QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
    for (const QString& entry : names) {
        const QRegularExpressionMatch match = name->match(entry.mid(prefix.size()));
        if (match.hasMatch())
            found.append({match.captured(2).toLongLong(), match.captured(1).toLongLong(),
                          folder.filePath(entry)});
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return std::tie(a.time, a.pid) < std::tie(b.time, b.pid);
    });
    QList<SideFile> sideFiles;
    for (const Found& side : found) {
        if (sideFiles.size() == MostSideFilesAtOnce) break;
        const FileContents file = ReadBounded(side.path);  // regular files only
        if (file.kind == Kind::Regular) sideFiles.append({side.path, ToKeys(ParseIni(file.bytes))});
    }
    return sideFiles;
}

void ApplySideFiles(Entries& entries, const QList<SideFile>& sideFiles, const Fold& fold) {
    if (!fold) return;
    for (const SideFile& side : sideFiles) Apply(entries, fold(ToKeys(entries), side.change));
}

}  // namespace orbelix::SettingsFile
