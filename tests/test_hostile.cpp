// The settings file under attack: a real disk that fills, links and special files planted
// beside it, a crash between two steps of a save, a folder made read-only, a huge file.
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QProcess>
#include <QScopeGuard>
#include <QtTest>
#include <cstring>

#include "platform/SettingsFile.h"
#include "scores/Settings.h"
#include "scores/SettingsChange.h"

using namespace orbelix;

namespace {

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

bool Put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool Save() {
    return SettingsFile::Update([](const SettingsFile::Keys&) { return SettingsFile::Entries(); },
                                ApplyKeptChange,
                                std::chrono::milliseconds(0)) == SettingsFile::Outcome::Saved;
}

int Count(const SettingsFile::Keys& keys, const QString& score) {
    int found = 0;
    for (int n = 1; n <= TableRows; ++n)
        found += keys.value(QStringLiteral("HighScore%1").arg(n)).trimmed() == score;
    return found;
}

}  // namespace

class HostileTest : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    QString ini;
    QString Beside(const QString& suffix) const { return ini + suffix; }

  private slots:
    void init() {
        QDir(home.filePath(QStringLiteral("Orbelix"))).removeRecursively();
        qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
        ini = SettingsFile::Path();
        QVERIFY(QDir().mkpath(QFileInfo(ini).path()));
    }

    // A real 64 KiB disk that fills during saves, by a page more each round: the file is
    // the old one byte for byte or the new one, and the change that could not be written
    // reaches the file once room is made.
    void aFullDiskNeverCostsTheOldFile() {
        QTemporaryDir disk;
        if (::mount("tmpfs", QFile::encodeName(disk.path()).constData(), "tmpfs", 0, "size=64k") !=
            0)
            QSKIP("mounting a small disk is not permitted here");
        const auto unmount =
            qScopeGuard([&] { ::umount2(QFile::encodeName(disk.path()).constData(), MNT_DETACH); });
        qputenv("XDG_CONFIG_HOME", disk.path().toLocal8Bit());
        ini = SettingsFile::Path();
        SettingsFile::Entries many;
        for (int n = 0; n < 400; ++n)
            many.append({QStringLiteral("Other%1").arg(n), QStringLiteral("x").repeated(40)});
        QVERIFY(SettingsFile::WriteAll(many));
        int failed = 0;
        for (int round = 0; round < 10; ++round) {
            SettingsStore store;
            HighScoreTable table;
            const Options options = store.LoadSettings(table);
            table.PlaceScore(1000 + round);
            const QString filler = disk.filePath(QStringLiteral("filler"));
            QFile fill(filler);
            QVERIFY(fill.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            while (fill.write(QByteArray(4096, 'f')) == 4096) {
            }
            QVERIFY(fill.resize(qMax<qint64>(0, fill.size() - round * 4096)));
            const QByteArray old = Bytes(ini);
            const bool saved = store.SaveSettings(options, table) == SaveResult::Saved;
            failed += !saved;
            QVERIFY2(saved ? Count(SettingsFile::ReadAll(), QString::number(1000 + round)) == 1
                           : Bytes(ini) == old,
                     qPrintable(QStringLiteral("round %1: %2 bytes, was %3")
                                    .arg(round)
                                    .arg(Bytes(ini).size())
                                    .arg(old.size())));
            fill.close();
            QVERIFY(QFile::remove(filler));
            QCOMPARE(store.SaveSettings(options, table), SaveResult::Saved);
            QCOMPARE(Count(SettingsFile::ReadAll(), QString::number(1000 + round)), 1);
        }
        QVERIFY(failed > 0);  // the disk did fill
    }

    // A link or a hard link to another file of the player, where a side file is looked
    // for or where this copy keeps its own: never read, never written through.
    void linksBesideTheFileAreNeverFollowed_data() {
        QTest::addColumn<bool>("hard");
        QTest::addColumn<bool>("atOwnName");
        QTest::newRow("symbolic link read") << false << false;
        QTest::newRow("hard link read") << true << false;
        QTest::newRow("symbolic link at our own name") << false << true;
        QTest::newRow("hard link at our own name") << true << true;
    }
    void linksBesideTheFileAreNeverFollowed() {
        QFETCH(bool, hard);
        QFETCH(bool, atOwnName);
        const QString other = home.filePath(QStringLiteral("other.ini"));
        const QByteArray theirs("[Settings]\nSound=1\nHighScore1=777\n");
        QVERIFY(Put(other, theirs));
        QString planted = Beside(QStringLiteral(".unsaved-1-1"));
        if (atOwnName) {
            QVERIFY(SettingsFile::KeepAside({{QStringLiteral("Zoom"), QStringLiteral("2")}}));
            planted = QDir(QFileInfo(ini).path())
                          .entryInfoList({QStringLiteral("*.unsaved-*")})
                          .value(0)
                          .filePath();
            QVERIFY(QFile::remove(planted));
        }
        QVERIFY(hard ? ::link(QFile::encodeName(other).constData(),
                              QFile::encodeName(planted).constData()) == 0
                     : QFile::link(other, planted));
        if (atOwnName)
            QVERIFY(SettingsFile::KeepAside({{QStringLiteral("Zoom"), QStringLiteral("3")}}));
        const SettingsFile::Keys loaded = SettingsFile::Load(ApplyKeptChange);
        QVERIFY(!loaded.contains(QStringLiteral("Sound")));
        QCOMPARE(loaded.value(QStringLiteral("Zoom")), atOwnName ? QStringLiteral("3") : QString());
        QVERIFY(SettingsFile::WriteAll({{QStringLiteral("Mine"), QStringLiteral("1")}}));
        QCOMPARE(Bytes(other), theirs);
    }

    // A crash after the file took a kept change in and before its side file went, or the
    // same side file twice: the change counts once.
    void aKeptChangeIsTakenInOnce_data() {
        QTest::addColumn<bool>("crashed");
        QTest::newRow("left behind by a crash") << true;
        QTest::newRow("two identical side files") << false;
    }
    void aKeptChangeIsTakenInOnce() {
        QFETCH(bool, crashed);
        SettingsStore store;
        HighScoreTable table;
        const Options options = store.LoadSettings(table);
        table.PlaceScore(4321);
        QVERIFY(store.KeepAside(options, table));
        const QString side = QDir(QFileInfo(ini).path())
                                 .entryInfoList({QStringLiteral("*.unsaved-*")})
                                 .value(0)
                                 .filePath();
        const QByteArray kept = Bytes(side);
        if (crashed) QVERIFY(Save());
        QVERIFY(Put(crashed ? side : Beside(QStringLiteral(".unsaved-1-1")), kept));
        QVERIFY(Save());
        QCOMPARE(Count(SettingsFile::ReadAll(), QStringLiteral("4321")), 1);
    }

    // What is not a side file is not taken in; what only looks like one is named and set
    // aside; new files left by a writer that died at its rename go at the next save.
    void onlySideFilesAreTakenIn_data() {
        QTest::addColumn<QString>("kind");
        for (const char* kind :
             {"too large", "FIFO", "folder", "socket", "temporary of a side file"})
            QTest::newRow(kind) << kind;
    }
    void onlySideFilesAreTakenIn() {
        QFETCH(QString, kind);
        const bool temporary = kind.startsWith(QLatin1String("temporary"));
        const QString path =
            Beside(temporary ? QStringLiteral(".unsaved-1-1.tmp-%1-AbCdEf").arg(::getpid())
                             : QStringLiteral(".unsaved-1-1"));
        const QString deadWriters = Beside(QStringLiteral(".tmp-2147483646-AbCdEf"));
        QVERIFY(Put(deadWriters, "[Settings]\n"));
        const QByteArray change("[Settings]\nSound=1\n");
        if (kind == "too large")
            QVERIFY(Put(path, change + QByteArray(SettingsFile::MaxFileSize, '\n')));
        if (kind == "FIFO") QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        if (kind == "folder") QVERIFY(QDir().mkdir(path));
        if (temporary) QVERIFY(Put(path, change));
        const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const auto closeSocket = qScopeGuard([sock] { ::close(sock); });
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, QFile::encodeName(path).constData(),
                     sizeof address.sun_path - 1);
        if (kind == "socket")
            QCOMPARE(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        QVERIFY(SettingsFile::WriteAll({{QStringLiteral("Mine"), QStringLiteral("1")}}));
        QVERIFY(!SettingsFile::Load(ApplyKeptChange).contains(QStringLiteral("Sound")));
        QVERIFY(!QFileInfo::exists(deadWriters));
        QCOMPARE(QFileInfo::exists(path) || QFileInfo(path).isSymLink(), temporary);  // set aside
    }

    // A folder the player made read-only around a file still writable: the save goes
    // into the file itself. (Run as nobody, since root may write into any folder.)
    void aReadOnlyFolderStillTakesTheChange() {
        if (::geteuid() != 0) QSKIP("changing users needs root");
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("Orbelix"));
        QVERIFY(QDir().mkpath(folder) &&
                Put(folder + QStringLiteral("/Orbelix.ini"), "[Settings]\nSound=0\n"));
        for (const QString& path : {dir.path(), folder, folder + QStringLiteral("/Orbelix.ini")})
            QCOMPARE(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0500), 0);
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        environment.insert(QStringLiteral("XDG_STATE_HOME"), dir.filePath(QStringLiteral("state")));
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral("setpriv"),
                   {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                    QStringLiteral("--clear-groups"), QStringLiteral(SETTINGS_TOOL),
                    QStringLiteral("once"), QStringLiteral("5")});
        QVERIFY(tool.waitForFinished(20000));
        QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());
        QVERIFY(Bytes(folder + QStringLiteral("/Orbelix.ini")).contains("HighScoreName1=GEN5"));
    }

    // A file of 40,000 keys goes through a save and a load whole (the time they take is
    // measured in the benchmarks).
    void aHugeFileGoesThroughWhole() {
        SettingsFile::Entries many;
        for (int n = 0; n < 40000; ++n)
            many.append({QStringLiteral("K%1").arg(n), QString::number(n % 7)});
        many.append({QStringLiteral("K0"), QStringLiteral("last")});
        QVERIFY(SettingsFile::WriteAll(many));
        const SettingsFile::Keys back = SettingsFile::ReadAll();
        QCOMPARE(back.size(), 40000);
        QCOMPARE(back.value(QStringLiteral("K0")), QStringLiteral("last"));
        QCOMPARE(back.value(QStringLiteral("K39999")), QStringLiteral("1"));
        QCOMPARE(SettingsFile::ParseIni(Bytes(ini)).value(1).first, QStringLiteral("K1"));
    }
};

QTEST_GUILESS_MAIN(HostileTest)
#include "test_hostile.moc"
