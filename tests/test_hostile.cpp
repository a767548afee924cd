// The settings file under attack: a real disk that fills, links and special files planted
// beside it, a crash between two steps of a save, a folder made read-only.
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QProcess>
#include <QScopeGuard>
#include <QtTest>

#include "scores/Settings.h"
#include "scores/SettingsChange.h"

using namespace orbelix;
using namespace Qt::StringLiterals;

namespace {

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

bool Put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A save of nothing new that takes the side files in, and the rows of the table on disk
// that hold `score`.
bool Save() {
    return SettingsFile::Update([](const SettingsFile::Keys&) { return SettingsFile::Entries(); },
                                ApplyKeptChange, {}) == SettingsFile::Outcome::Saved;
}
int Count(int score) {
    const SettingsFile::Keys keys = SettingsFile::ReadAll();
    int found = 0;
    for (int n = 1; n <= TableRows; ++n)
        found += keys.value(u"HighScore%1"_s.arg(n)).trimmed() == QString::number(score);
    return found;
}

}  // namespace

class HostileTest : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    QString ini;
    QString OwnSideFile() const {
        return QDir(QFileInfo(ini).path()).entryInfoList({u"*.unsaved-*"_s}).value(0).filePath();
    }

  private slots:
    void init() {
        QDir(home.filePath(u"Orbelix"_s)).removeRecursively();
        qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
        ini = SettingsFile::Path();
        QVERIFY(QDir().mkpath(QFileInfo(ini).path()));
    }

    // A real 64 KiB disk that fills during saves, by a page more each round: the file is
    // the old one byte for byte or the new one, and the change that could not be written
    // reaches the file once room is made.
    void aFullDiskNeverCostsTheOldFile() {
        QTemporaryDir disk;
        const QByteArray at = QFile::encodeName(disk.path());
        if (::mount("tmpfs", at.constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("mounting a small disk is not permitted here");
        const auto unmount = qScopeGuard([&at] { ::umount2(at.constData(), MNT_DETACH); });
        qputenv("XDG_CONFIG_HOME", at);
        ini = SettingsFile::Path();
        SettingsFile::Entries many;
        // A player's file, smaller than a buffered writer holds back until it closes: the
        // size at which a failure of that last flush went unnoticed and emptied the file.
        for (int n = 0; n < 40; ++n) many.append({u"Other%1"_s.arg(n), u"x"_s.repeated(40)});
        QVERIFY(SettingsFile::WriteAll(many));
        int failed = 0;
        for (int round = 0; round < 10; ++round) {
            SettingsStore store;
            HighScoreTable table;
            const Options options = store.LoadSettings(table);
            table.PlaceScore(1000 + round);
            QFile fill(disk.filePath(u"filler"_s));
            QVERIFY(fill.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            while (fill.write(QByteArray(4096, 'f')) == 4096) continue;
            QVERIFY(fill.resize(qMax<qint64>(0, fill.size() - round * 4096)));
            const QByteArray old = Bytes(ini);
            const bool saved = store.SaveSettings(options, table) == SaveResult::Saved;
            failed += !saved;
            QVERIFY(saved ? Count(1000 + round) == 1 : Bytes(ini) == old);
            QVERIFY(fill.remove());
            QCOMPARE(store.SaveSettings(options, table), SaveResult::Saved);
            QCOMPARE(Count(1000 + round), 1);
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
        const QString other = home.filePath(u"other.ini"_s);
        QString planted = ini + u".unsaved-1-1"_s;
        QVERIFY(Put(other, "[Settings]\nSound=1\n"));
        if (atOwnName) {
            QVERIFY(SettingsFile::KeepAside({{u"Zoom"_s, u"2"_s}}));
            QVERIFY(QFile::remove(planted = OwnSideFile()));
        }
        QVERIFY(hard ? ::link(qPrintable(other), qPrintable(planted)) == 0
                     : QFile::link(other, planted));
        if (atOwnName) QVERIFY(SettingsFile::KeepAside({{u"Zoom"_s, u"3"_s}}));
        const SettingsFile::Keys loaded = SettingsFile::Load(ApplyKeptChange);
        QVERIFY(!loaded.contains(u"Sound"_s));
        QCOMPARE(loaded.value(u"Zoom"_s), atOwnName ? u"3"_s : QString());
        QVERIFY(SettingsFile::WriteAll({{u"Mine"_s, u"1"_s}}));
        QCOMPARE(Bytes(other), "[Settings]\nSound=1\n");
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
        const QString side = OwnSideFile();
        const QByteArray kept = Bytes(side);
        if (crashed) QVERIFY(Save());
        QVERIFY(Put(crashed ? side : ini + u".unsaved-1-1"_s, kept) && Save());
        QCOMPARE(Count(4321), 1);
    }

    // What only looks like a side file is not taken in but set aside; the temporary of one
    // being written is left alone; the new files of a writer that died go at the next save.
    void onlySideFilesAreTakenIn_data() {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"too large", "FIFO", "folder", "socket", "temporary"})
            QTest::newRow(kind) << kind;
    }
    void onlySideFilesAreTakenIn() {
        QFETCH(QString, kind);
        const bool temporary = kind == "temporary";
        const QString path =
            ini + (temporary ? u".unsaved-1-1.tmp-%1-AbCdEf"_s.arg(::getpid()) : u".unsaved-1-1"_s);
        const QString deadWriters = ini + u".tmp-2147483646-AbCdEf"_s;
        QVERIFY(Put(deadWriters, "[Settings]\n"));
        const QByteArray change("[Settings]\nSound=1\n");
        if (kind == "too large")
            QVERIFY(Put(path, change + QByteArray(SettingsFile::MaxFileSize, '\n')));
        if (kind == "FIFO") QCOMPARE(::mkfifo(qPrintable(path), 0600), 0);
        if (kind == "folder") QVERIFY(QDir().mkdir(path));
        if (temporary) QVERIFY(Put(path, change));
        const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const auto closeSocket = qScopeGuard([sock] { ::close(sock); });
        sockaddr_un address{AF_UNIX, {}};
        qstrncpy(address.sun_path, qPrintable(path), sizeof address.sun_path);
        if (kind == "socket")
            QCOMPARE(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        QVERIFY(SettingsFile::WriteAll({{u"Mine"_s, u"1"_s}}));
        QVERIFY(!SettingsFile::Load(ApplyKeptChange).contains(u"Sound"_s));
        QVERIFY(!QFileInfo::exists(deadWriters));
        QCOMPARE(QFileInfo::exists(path), temporary);
    }

    // A folder the player made read-only around a file still writable: the save goes
    // into the file itself. (Run as nobody, since root may write into any folder.)
    void aReadOnlyFolderStillTakesTheChange() {
        if (::geteuid() != 0) QSKIP("changing users needs root");
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"Orbelix"_s);
        QVERIFY(QDir().mkpath(folder) && Put(folder + u"/Orbelix.ini"_s, "[Settings]\n"));
        for (const QString& path : {dir.path(), folder, folder + u"/Orbelix.ini"_s})
            QCOMPARE(::chown(qPrintable(path), 65534, 65534), 0);
        QCOMPARE(::chmod(qPrintable(folder), 0500), 0);
        qputenv("XDG_STATE_HOME", dir.filePath(u"state"_s).toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
        QProcess tool;
        tool.start(u"setpriv"_s, u"--reuid=65534 --regid=65534 --clear-groups " SETTINGS_TOOL
                                 " once 5"_s.split(' '));
        QVERIFY(tool.waitForFinished(20000));
        QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());
        QVERIFY(Bytes(folder + u"/Orbelix.ini"_s).contains("HighScoreName1=GEN5"));
    }
};

QTEST_GUILESS_MAIN(HostileTest)
#include "test_hostile.moc"
