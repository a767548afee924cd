// Changes that a copy of the game could not save before it ended, kept in side files next
// to the settings file until the next save of any copy takes them in.
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <atomic>
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

// The key of a side file that marks its change, and the settings file's key that lists the
// marks of the last changes taken in.
const QString MarkKey = QStringLiteral("KeptChange");
const QString TakenInKey = QStringLiteral("KeptChangesTakenIn");
constexpr qsizetype MarksRemembered = 256;

// This process's side file: one name for the whole run, never another process's; a new
// one only when something not of ours has been put in its place.
QString SidePath(const QString& path, bool anew = false) {
    static QString* const suffix = new QString;
    static qint64 made = 0;
    if (suffix->isEmpty() || anew) {
        // A new name is never the one it replaces, even within the same millisecond: the
        // same name would meet the same thing in its way, and the change would be lost.
        made = std::max(QDateTime::currentMSecsSinceEpoch(), made + 1);
        *suffix = QStringLiteral("%1-%2").arg(::getpid()).arg(made);
    }
    return path + SideInfix + *suffix;
}

QString NewMark() {
    static std::atomic<int> count{0};
    return QStringLiteral("%1-%2-%3-%4")
        .arg(::getpid())
        .arg(QDateTime::currentMSecsSinceEpoch())
        .arg(++count)
        .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

// Side files and things in their place that are not taken in, each named once a run.
void NameOnce(const QString& line, const QString& path) {
    static QSet<QString>* const named = new QSet<QString>;
    static std::mutex mutex;
    const std::lock_guard guard(mutex);
    if (named->contains(path)) return;
    named->insert(path);
    Say(line);
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
    QString side = SidePath(path);
    const QByteArray text = FormatIni(change + Entries{{MarkKey, NewMark()}});
    QString problem;
    bool kept = SafeFile::ReplaceChecked(side, text, SafeFile::Trust::OwnFileOnly, false, problem);
    struct stat info {};
    if (!kept && ::lstat(QFile::encodeName(side).constData(), &info) == 0 &&
        (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid() || info.st_nlink != 1)) {
        // Something not of ours in its place (a link, say) is left alone.
        Say(QStringLiteral("%1; settings kept under another name").arg(problem));
        side = SidePath(path, true);
        kept = SafeFile::ReplaceChecked(side, text, SafeFile::Trust::OwnFileOnly, false, problem);
    }
    if (!kept) {
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
        {prefix + QLatin1Char('*')},
        QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden, QDir::Name);
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
        const FileContents file = ReadBounded(side.path, SafeFile::Trust::OwnFileOnly);
        if (file.kind == Kind::Missing) continue;  // taken in by another copy meanwhile
        if (file.kind != Kind::Regular) {
            // Never taken in; set aside, so that no copy looks at it again.
            const QString aside = side.path + QStringLiteral(".not-taken-in");
            const bool moved = !QFileInfo::exists(aside) && QFile::rename(side.path, aside);
            NameOnce(QStringLiteral("kept settings %1 not taken in: %2; %3")
                         .arg(side.path, file.problem,
                              moved ? QStringLiteral("moved to %1").arg(aside)
                                    : QStringLiteral("left where it is")),
                     side.path);
            continue;
        }
        Keys change = ToKeys(ParseIni(file.bytes));
        const QString mark = change.take(MarkKey);
        sideFiles.append({side.path, change, mark});
    }
    return sideFiles;
}

void ApplySideFiles(Entries& entries, const QList<SideFile>& sideFiles, const Fold& fold) {
    if (!fold || sideFiles.isEmpty()) return;
    Keys keys = ToKeys(entries);
    QStringList taken = keys.value(TakenInKey).split(QLatin1Char(','), Qt::SkipEmptyParts);
    QSet<QString> seen(taken.begin(), taken.end());
    for (const SideFile& side : sideFiles) {
        if (!side.mark.isEmpty() && seen.contains(side.mark)) continue;  // taken in already
        Apply(entries, fold(keys, side.change));
        if (!side.mark.isEmpty()) {
            seen.insert(side.mark);
            taken.append(side.mark);
        }
        keys = ToKeys(entries);
    }
    if (taken.size() > MarksRemembered) taken = taken.mid(taken.size() - MarksRemembered);
    Apply(entries, {{TakenInKey, taken.join(QLatin1Char(','))}});
}

}  // namespace orbelix::SettingsFile
