// Saving survives being killed: a process that saves in a loop is killed with SIGKILL
// at random moments; the settings file must always be the old or the new one, whole,
// and the next save must not stall on a lock the killed process left behind.
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <csignal>

#include "scores/StoredText.h"

namespace {

// Reads the INI text the way a strict reader would, without QSettings' caches.
QHash<QString, QString> ParseIni(const QByteArray& text, bool& sectionSeen) {
    QHash<QString, QString> values;
    sectionSeen = false;
    for (const QByteArray& raw : text.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty()) continue;
        if (line == QLatin1String("[Settings]")) {
            sectionSeen = true;
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) continue;
        QString value = line.mid(eq + 1);
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) &&
            value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        values.insert(line.left(eq), value);
    }
    return values;
}

}  // namespace

class CrashSafeTest : public QObject {
    Q_OBJECT

    QTemporaryDir config;

    QProcessEnvironment Environment(const QString& configHome) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
        return env;
    }
    QString IniPath() const { return config.filePath(QStringLiteral("Orbelix/Orbelix.ini")); }

    // Checks that the file is one whole generation of the writer; returns it (0: no file yet).
    int WholeGeneration() const {
        QFile file(IniPath());
        if (!file.exists()) return 0;
        if (!file.open(QIODevice::ReadOnly)) return -1;
        bool section = false;
        const auto values = ParseIni(file.readAll(), section);
        if (!section || values.size() != 22) return -1;
        const QString name = values.value(QStringLiteral("HighScoreName1"));
        if (!name.startsWith(QLatin1String("GEN"))) return -1;
        const int n = name.mid(3).toInt();
        for (int r = 1; r <= 10; ++r) {
            if (values.value(QStringLiteral("HighScoreName%1").arg(r)) != name) return -1;
            if (orbelix::ReadStoredScore(values.value(QStringLiteral("HighScore%1").arg(r))) != n)
                return -1;
        }
        return n;
    }

  private slots:
    void blockedFolderIsNotWritten() {
        QTemporaryDir dir;
        const QString blocker = dir.filePath(QStringLiteral("not-a-folder"));
        QFile(blocker).open(QIODevice::WriteOnly);
        QProcess tool;
        tool.setProcessEnvironment(Environment(blocker));
        tool.start(QStringLiteral(SETTINGS_TOOL), {QStringLiteral("once"), QStringLiteral("1")});
        QVERIFY(tool.waitForFinished(-1));
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 3);
        // The failed save says so, once.
        const QByteArray said = tool.readAllStandardError();
        QCOMPARE(said.count("not saved"), 1);
    }

    // A copy of the game that holds the lock longer than any stale-lock rule would allow
    // is waited for: both its key and the key written meanwhile survive.
    void aLiveHolderIsNeverBroken() {
        QTemporaryDir dir;
        QProcess holder;
        holder.setProcessEnvironment(Environment(dir.path()));
        holder.start(QStringLiteral(SETTINGS_TOOL),
                     {QStringLiteral("hold"), QStringLiteral("2500"), QStringLiteral("Held"),
                      QStringLiteral("yes")});
        QVERIFY(holder.waitForReadyRead(10000));
        QProcess other;
        other.setProcessEnvironment(Environment(dir.path()));
        other.start(QStringLiteral(SETTINGS_TOOL),
                    {QStringLiteral("hold"), QStringLiteral("0"), QStringLiteral("Waited"),
                     QStringLiteral("yes")});
        QVERIFY(other.waitForFinished(20000));
        QVERIFY(holder.waitForFinished(20000));
        QCOMPARE(holder.exitCode(), 0);
        QCOMPARE(other.exitCode(), 0);
        QFile file(dir.filePath(QStringLiteral("Orbelix/Orbelix.ini")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY2(text.contains("Held=yes") && text.contains("Waited=yes"), text.constData());
    }

    // Something other than a lock file in the lock's place neither hangs nor blocks saving:
    // it is named for what it is and moved aside.
    void aLockPathThatIsNoLockIsMovedAside_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("said");
        QTest::newRow("FIFO") << "FIFO" << QByteArray("a FIFO, not a lock");
        QTest::newRow("folder") << "folder" << QByteArray("a folder, not a lock");
        QTest::newRow("dangling link") << "link" << QByteArray("a symbolic link to nothing");
        QTest::newRow("unreadable file") << "file" << QByteArray("cannot be read");
        QTest::newRow("read-only file") << "read-only" << QByteArray("cannot be read or written");
        // Where a left-over lock is broken: a second file beside it, checked the same way.
        QTest::newRow("FIFO where a lock is broken") << "FIFO" << QByteArray("rmlock was a FIFO");
        QTest::newRow("folder where a lock is broken")
            << "folder" << QByteArray("rmlock was a folder");
    }
    void aLockPathThatIsNoLockIsMovedAside() {
        QFETCH(QString, kind);
        QFETCH(QByteArray, said);
        QTemporaryDir dir;
        QString lock = dir.filePath(QStringLiteral("Orbelix/Orbelix.ini.lock"));
        QDir().mkpath(QFileInfo(lock).path());
        QFile leftOver(lock);
        if (said.startsWith("rmlock")) {  // a lock whose holder has ended, to be broken
            QVERIFY(leftOver.open(QIODevice::WriteOnly) && leftOver.write("2147483646\n") > 0);
            leftOver.close();
            lock += QStringLiteral(".rmlock");
        }
        if (kind == "FIFO") QCOMPARE(::mkfifo(QFile::encodeName(lock).constData(), 0600), 0);
        if (kind == "folder") QVERIFY(QDir().mkdir(lock));
        if (kind == "link") QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), lock));
        QStringList command = QStringLiteral(SETTINGS_TOOL " once 1").split(QLatin1Char(' '));
        const auto mode = kind == "read-only" ? QFileDevice::ReadOwner : QFileDevice::Permissions();
        if ((kind == "file" || kind == "read-only") && QFile(lock).open(QIODevice::WriteOnly) &&
            QFile::setPermissions(lock, mode) && geteuid() == 0) {
            // Root may read and write any file: the tool runs as nobody, on nobody's files.
            for (const QString& path : {dir.path(), QFileInfo(lock).path(), lock})
                QCOMPARE(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
            command = QStringLiteral("setpriv --reuid=65534 --regid=65534 --clear-groups")
                          .split(QLatin1Char(' ')) +
                      command;
        }
        QProcess tool;
        tool.setProcessEnvironment(Environment(dir.path()));
        tool.start(command.takeFirst(), command);
        const bool ended = tool.waitForFinished(20000);  // far longer than a save takes
        tool.kill();
        tool.waitForFinished();
        const QByteArray told = tool.readAllStandardError();
        QVERIFY2(ended && tool.exitCode() == 0 && told.contains(said), told.constData());
        QVERIFY(!told.contains("another copy"));
    }

    // A save whose main thread is stuck under the lock still ends on a signal within
    // seconds, its change kept aside for the next save.
    void aStuckSaveEndsOnASignal() {
        QTemporaryDir dir;
        QProcess tool;
        tool.setProcessEnvironment(Environment(dir.path()));
        tool.start(QStringLiteral(SETTINGS_TOOL),
                   {QStringLiteral("stuck"), QStringLiteral("Kept=yes")});
        QVERIFY(tool.waitForReadyRead(10000));
        ::kill(static_cast<pid_t>(tool.processId()), SIGTERM);
        QVERIFY(tool.waitForFinished(20000));
        QCOMPARE(tool.exitCode(), 128 + SIGTERM);
        const QDir folder(dir.filePath(QStringLiteral("Orbelix")));
        const QStringList kept = folder.entryList({QStringLiteral("Orbelix.ini.unsaved-*")});
        QFile side(folder.filePath(kept.value(0)));
        QVERIFY(kept.size() == 1 && side.open(QIODevice::ReadOnly));
        QVERIFY(side.readAll().contains("Kept=yes"));
    }

    // A holder killed while it holds the lock leaves it behind; the next save breaks it.
    void aDeadHolderIsBroken() {
        QTemporaryDir dir;
        QProcess holder;
        holder.setProcessEnvironment(Environment(dir.path()));
        holder.start(QStringLiteral(SETTINGS_TOOL),
                     {QStringLiteral("hold"), QStringLiteral("60000"), QStringLiteral("Held"),
                      QStringLiteral("yes")});
        QVERIFY(holder.waitForReadyRead(10000));
        ::kill(static_cast<pid_t>(holder.processId()), SIGKILL);
        QVERIFY(holder.waitForFinished(10000));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("Orbelix/Orbelix.ini.lock"))));
        QElapsedTimer timer;
        timer.start();
        QProcess next;
        next.setProcessEnvironment(Environment(dir.path()));
        next.start(QStringLiteral(SETTINGS_TOOL), {QStringLiteral("once"), QStringLiteral("5")});
        QVERIFY(next.waitForFinished(20000));
        QCOMPARE(next.exitCode(), 0);
        qInfo("save after a killed holder took %lld ms", timer.elapsed());
    }

    void killedSavesLeaveAWholeFile() {
        const int kills = qEnvironmentVariableIntValue("ORBELIX_KILLS") > 0
                              ? qEnvironmentVariableIntValue("ORBELIX_KILLS")
                              : 60;
        QRandomGenerator random(20261207);
        int lastGeneration = 0;
        for (int i = 0; i < kills; ++i) {
            QProcess writer;
            writer.setProcessEnvironment(Environment(config.path()));
            writer.start(QStringLiteral(SETTINGS_TOOL), {QStringLiteral("loop")});
            QVERIFY(writer.waitForReadyRead(-1));
            QThread::usleep(random.bounded(30000));
            ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
            QVERIFY(writer.waitForFinished(-1));

            const int generation = WholeGeneration();
            QVERIFY2(generation >= 0,
                     qPrintable(QStringLiteral("broken file after kill %1").arg(i)));
            lastGeneration = std::max(lastGeneration, generation);

            // The next save goes through, whatever lock the kill left behind (how long it
            // takes is measured by the benchmark).
            QProcess next;
            next.setProcessEnvironment(Environment(config.path()));
            next.start(QStringLiteral(SETTINGS_TOOL),
                       {QStringLiteral("once"), QStringLiteral("1000000")});
            QVERIFY(next.waitForFinished(-1));
            QCOMPARE(next.exitCode(), 0);
            QCOMPARE(WholeGeneration(), 1000000);
        }
        qInfo("%d kills", kills);
        QVERIFY(lastGeneration >= 0);
    }
};

QTEST_GUILESS_MAIN(CrashSafeTest)
#include "test_crashsafe.moc"
