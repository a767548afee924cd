// The settings file shared by several copies of the game: merging the table and the
// options, the INI text, and files that are not what they should be.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <utility>

#include <QSettings>

#include "TestSupport.h"
#include "platform/Environment.h"
#include "scores/Settings.h"
#include "scores/StoredText.h"
#include "scores/TableMerge.h"

using namespace orbelix;
using namespace orbelix::testing;

namespace {

// "A500 B400 _0" style tables: a name (or _ for none) and a score per entry, padded with
// empty rows to ten.
ScoreTable T(const QString& text) {
    ScoreTable table;
    for (const QString& item : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        qsizetype digit = 0;
        while (digit < item.size() && !item[digit].isDigit() && item[digit] != QLatin1Char('-'))
            ++digit;
        const QString name = item.left(digit);
        table.append({name == QLatin1String("_") ? QString() : name, item.mid(digit).toInt()});
    }
    while (table.size() < TableRows) table.append(TableEntry{});
    return table;
}

QString Show(const ScoreTable& table) {
    QStringList items;
    for (const TableEntry& e : table)
        items << (e.name.isEmpty() ? QStringLiteral("_") : e.name) + QString::number(e.score);
    return items.join(QLatin1Char(' '));
}

// Another copy of the game places `score`, names it and saves; the table it then holds.
HighScoreTable OtherCopySaves(int32_t score, QChar name) {
    SettingsStore other;
    HighScoreTable table;
    const Options options = other.LoadSettings(table);
    table.PlaceScore(score);
    table.AppendToName(name);
    other.SaveSettings(options, table);
    return table;
}

}  // namespace

Q_DECLARE_METATYPE(ScoreTable)

class StoreTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        UsePrivateSettings();
        Pause::SetMillisecondsPerSecond(0);
    }
    void init() { ForgetSettings(); }

    void merge_data() {
        QTest::addColumn<ScoreTable>("base");
        QTest::addColumn<ScoreTable>("ours");
        QTest::addColumn<ScoreTable>("disk");
        QTest::addColumn<bool>("reset");
        QTest::addColumn<int>("ourNewRow");
        QTest::addColumn<ScoreTable>("merged");
        QTest::addColumn<int>("mergedNewRow");
        QTest::newRow("a copy that never played keeps the other's entry")
            << T("") << T("") << T("X482") << false << 0 << T("X482") << 0;
        QTest::newRow("both played: both entries, by score")
            << T("") << T("A502") << T("B516") << false << 0 << T("B516 A502") << 0;
        QTest::newRow("ours lower than the other's")
            << T("C600") << T("C600 A100") << T("C600 B516") << false << 0 << T("C600 B516 A100")
            << 0;
        QTest::newRow("a new entry goes above an equal one on disk")
            << T("") << T("_500") << T("B500") << false << 1 << T("_500 B500") << 1;
        QTest::newRow("ties among our own keep their order")
            << T("") << T("A500 C500") << T("B500") << false << 0 << T("A500 C500 B500") << 0;
        QTest::newRow("the row awaiting a name follows its entry")
            << T("Z900") << T("Z900 _300") << T("Z900 Y800 X700") << false << 2
            << T("Z900 Y800 X700 _300") << 4;
        QTest::newRow("a name typed after the placement was saved")
            << T("Y800 _500") << T("Y800 BOB500") << T("Y800 X600 _500") << false << 0
            << T("Y800 X600 BOB500") << 0;
        QTest::newRow("a name typed when another equal entry came above")
            << T("_500") << T("BOB500") << T("X500 _500") << false << 0 << T("X500 BOB500") << 0;
        QTest::newRow("no entry twice when both hold it")
            << T("A9 B8 C7") << T("A9 B8 C7") << T("A9 B8 C7") << false << 0 << T("A9 B8 C7") << 0;
        QTest::newRow("a full table: the lowest drop out")
            << T("A10 A9 A8 A7 A6 A5 A4 A3 A2 A1") << T("A10 A9 A8 A7 A6 N5 A5 A4 A3 A2")
            << T("A10 A9 M9 A8 A7 A6 A5 A4 A3 A2") << false << 0
            << T("A10 A9 M9 A8 A7 A6 N5 A5 A4 A3") << 0;
        QTest::newRow("a score below a full table takes no row")
            << T("A10 A9 A8 A7 A6 A5 A4 A3 A2 A1") << T("A10 A9 A8 A7 A6 A5 A4 A3 A2 A1")
            << T("A10 A9 A8 A7 A6 A5 A4 A3 A2 M2") << false << 0
            << T("A10 A9 A8 A7 A6 A5 A4 A3 A2 M2") << 0;
        QTest::newRow("a reset empties what this copy saw, not what it never saw")
            << T("A9 B8") << T("") << T("A9 X8 B8") << true << 0 << T("X8") << 0;
        QTest::newRow("a reset then a new game")
            << T("A9 B8") << T("N3") << T("A9 B8") << true << 0 << T("N3") << 0;
        QTest::newRow("the other copy reset: our new entry survives")
            << T("A9 B8") << T("A9 N8 B8") << T("") << false << 0 << T("N8") << 0;
    }
    void merge() {
        QFETCH(ScoreTable, base);
        QFETCH(ScoreTable, ours);
        QFETCH(ScoreTable, disk);
        QFETCH(bool, reset);
        QFETCH(int, ourNewRow);
        QFETCH(ScoreTable, merged);
        QFETCH(int, mergedNewRow);
        const MergedTable result =
            MergeTables(base, ours, disk, reset, static_cast<int16_t>(ourNewRow));
        QCOMPARE(Show(result.table), Show(merged));
        QCOMPARE(int(result.newEntryRow), mergedNewRow);
    }

    // ---- The INI text, as QSettings reads and writes it. ----
    void iniTextIsQSettingsText_data() {
        QTest::addColumn<QString>("value");
        for (const char* value : {"", "0", " 1520", "-5", "ANN", "a,b", "x;y", "k=v", "quote\"d",
                                  "back\\slash", "@at", "tab\tand\nline",
                                  "\x01"
                                  "2",
                                  "  both  ", "\xc3\xa9t\xc3\xa9"})
            QTest::newRow(value) << QString::fromUtf8(value);
    }
    void iniTextIsQSettingsText() {
        QFETCH(QString, value);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.ini"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(SettingsFile::FormatIni({{QStringLiteral("Key"), value}}));
        }
        QCOMPARE(
            QSettings(path, QSettings::IniFormat).value(QStringLiteral("Settings/Key")).toString(),
            value);
        const QString other = dir.filePath(QStringLiteral("b.ini"));
        {
            QSettings settings(other, QSettings::IniFormat);
            settings.setValue(QStringLiteral("Settings/Key"), value);
        }
        QFile written(other);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const auto entries = SettingsFile::ParseIni(written.readAll());
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].second, value);
    }

    void keysOfOthersAreKept() {
        QDir().mkpath(QFileInfo(SettingsFile::Path()).path());
        QVERIFY(SettingsFile::WriteAll({{QStringLiteral("Zoom"), QStringLiteral("2")}}));
        {
            frmMain window;
            window.show();
            window.close();
        }
        QCOMPARE(SettingsFile::ReadAll().value(QStringLiteral("Zoom")), QStringLiteral("2"));
        QCOMPARE(SettingsFile::ReadAll().size(), 23);
    }

    // ---- Options: each copy writes only what it changed. ----
    void anOptionIsWrittenOnlyWhenChanged() {
        frmMain changer;
        frmMain idle;
        Click(Control(changer, "pctColors", 0));  // 7 colours
        Click(Control(idle, "pctSound"));         // sound on
        changer.SaveSettings();
        idle.SaveSettings();
        changer.SaveSettings();
        const auto stored = SettingsFile::ReadAll();
        QCOMPARE(stored.value(QStringLiteral("ColorCount")), QStringLiteral("7"));
        QCOMPARE(stored.value(QStringLiteral("Sound")), QStringLiteral("1"));
        // A choice made after a copy's save is not undone by that copy's next save.
        Click(Control(idle, "pctColors", 0));
        Click(Control(idle, "pctColors", 0));  // 8 colours
        idle.SaveSettings();
        changer.SaveSettings();
        QCOMPARE(SettingsFile::ReadAll().value(QStringLiteral("ColorCount")), QStringLiteral("8"));
    }

    // A reset counts at the next save even when the save right after it failed: a result
    // then equal to another copy's entry is the newer one, above it, where the name goes.
    void aResetCountsPastAFailedSave() {
        const auto row = [](const char* name, const char* score) {
            return SettingsFile::Entries{{QStringLiteral("HighScoreName1"), QLatin1String(name)},
                                         {QStringLiteral("HighScore1"), QLatin1String(score)}};
        };
        QDir().mkpath(QFileInfo(SettingsFile::Path()).path());
        QVERIFY(SettingsFile::WriteAll(row("A", " 9")));
        SettingsStore store;
        HighScoreTable table;
        store.LoadSettings(table);
        table.ClearHighScores();
        ForgetSettings();
        QVERIFY(QDir().mkpath(SettingsFile::Path()));  // a folder in its place: the save fails
        QVERIFY(store.SaveSettings({}, table) == SaveResult::Failed);
        QVERIFY(QDir(SettingsFile::Path()).removeRecursively());
        QVERIFY(SettingsFile::WriteAll(
            row("X", " 9") +
            SettingsFile::Entries{{QStringLiteral("HighScoreName2"), QStringLiteral("A")},
                                  {QStringLiteral("HighScore2"), QStringLiteral(" 9")}}));
        table.PlaceScore(9);
        QVERIFY(store.SaveSettings({}, table) == SaveResult::Saved);
        QCOMPARE(table.newEntryRow(), int16_t(1));
        QCOMPARE(table.name(2), QStringLiteral("X"));
        QCOMPARE(table.score(3), 0);
    }

    // A Reset not saved yet (another copy held the lock) holds when the table is shown
    // again, which re-reads the file, and in the change kept aside at exit: a 9 scored
    // after it is a new entry, placed above the equal 9 that another copy saved
    // meanwhile, not the old 9 renamed in its place.
    void anUnsavedResetHolds_data() {
        QTest::addColumn<bool>("keptAside");
        QTest::newRow("the table re-read") << false;
        QTest::newRow("kept aside, taken in by the next copy") << true;
    }
    void anUnsavedResetHolds() {
        QFETCH(bool, keptAside);
        QDir().mkpath(QFileInfo(SettingsFile::Path()).path());
        QVERIFY(SettingsFile::WriteAll({{QStringLiteral("HighScoreName1"), QStringLiteral("A")},
                                        {QStringLiteral("HighScore1"), QStringLiteral(" 9")}}));
        SettingsStore store;
        HighScoreTable table;
        const Options options = store.LoadSettings(table);
        const HighScoreTable othersTable = OtherCopySaves(9, QLatin1Char('C'));
        QCOMPARE(othersTable.name(1) + othersTable.name(2), QStringLiteral("CA"));
        table.ClearHighScores();
        table.PlaceScore(9);
        table.AppendToName(QLatin1Char('Z'));
        if (keptAside) {
            QVERIFY(store.KeepAside(options, table));
            SettingsStore next;
            next.LoadSettings(table);
        } else {
            store.ReloadTable(table);
        }
        QCOMPARE(table.name(1) + table.name(2) + table.name(3), QStringLiteral("ZC"));
    }

    // Two copies that could not save kept their changes aside: the next copy takes in
    // both, the later one last (whatever order their names sort in), and removes them.
    void theLaterChangeKeptAsideWins() {
        const QString path = SettingsFile::Path();
        QDir().mkpath(QFileInfo(path).path());
        const std::pair<const char*, const char*> kept[] = {{"900-1000", "7"}, {"1000-2000", "9"}};
        for (const auto& [pidAndTime, colours] : kept) {
            QFile side(path + QStringLiteral(".unsaved-") + QLatin1String(pidAndTime));
            QVERIFY(side.open(QIODevice::WriteOnly));
            side.write(QByteArray("[Settings]\nColorCount=") + colours + "\n");
        }
        SettingsStore store;
        HighScoreTable table;
        const Options options = store.LoadSettings(table);
        QCOMPARE(options.ColorCount, int16_t(9));
        QVERIFY(store.SaveSettings(options, table) == SaveResult::Saved);
        QCOMPARE(SettingsFile::ReadAll().value(QStringLiteral("ColorCount")), QStringLiteral("9"));
        QVERIFY(QFileInfo(path).dir().entryList({QStringLiteral("*.unsaved-*")}).isEmpty());
    }

    // ---- The table shown is the table on disk. ----
    // Another copy saves a new entry while this one runs: opening the high-score window
    // shows it, and a Reset clicked there empties it, even one saved while the window was up.
    void theTableShownIsTheTableOnDisk_data() {
        QTest::addColumn<bool>("reset");
        QTest::newRow("opening the window") << false;
        QTest::newRow("reset") << true;
    }
    void theTableShownIsTheTableOnDisk() {
        QFETCH(bool, reset);
        frmMain window;
        OtherCopySaves(500, QLatin1Char('X'));
        QString shown;
        WhenModal([&](QWidget* modal) {
            shown = window.table().name(1) + QString::number(window.table().score(1));
            if (reset) OtherCopySaves(600, QLatin1Char('X'));
            Click(Control(*modal, reset ? "pctReset" : "pctOk"));
        });
        Click(Control(window, "pctHighScores"));
        QCOMPARE(shown, QStringLiteral("X500"));
        QCOMPARE(TableFromKeys(SettingsFile::ReadAll()).first().score, reset ? 0 : 500);
    }

    // ---- Files that are not what they should be. ----
    void specialFilesAreNeitherReadNorReplaced_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "FIFO";
        QTest::newRow("folder") << "folder";
        QTest::newRow("link to a device") << "device";
    }
    void specialFilesAreNeitherReadNorReplaced() {
        QFETCH(QString, kind);
        const QString path = SettingsFile::Path();
        QDir().mkpath(QFileInfo(path).path());
        QTemporaryDir elsewhere;
        const QString device = elsewhere.filePath(QStringLiteral("null"));
        if (kind == QLatin1String("FIFO")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(path));
        } else {
            if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
                QSKIP("making a device node needs root");
            QVERIFY(QFile::link(device, path));
        }
        {
            frmMain window;  // must not hang in open()
            QCOMPARE(window.game().colorCount(), int16_t(6));
            QVERIFY(SettingsFile::Update([](const auto&) { return SettingsFile::Entries{}; }, {},
                                         {}) == SettingsFile::Outcome::Failed);
        }
        struct stat info {};
        QCOMPARE(
            ::lstat(QFile::encodeName(kind == QLatin1String("device") ? device : path).constData(),
                    &info),
            0);
        QVERIFY(kind != QLatin1String("FIFO") || S_ISFIFO(info.st_mode));
        QVERIFY(kind != QLatin1String("folder") || S_ISDIR(info.st_mode));
        QVERIFY(kind != QLatin1String("device") || S_ISCHR(info.st_mode));
        QFile::remove(path);
        QDir(path).removeRecursively();
    }

    // A file over the size limit is moved aside (replacing one moved aside before) and
    // the game starts from defaults; a file of the largest size allowed is read.
    void anOversizedFileIsSetAside_data() {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("olderSetAside");
        QTest::addColumn<bool>("kept");
        const qint64 limit = 1024 * 1024;
        QTest::newRow("200 MB") << 200LL * 1024 * 1024 << false << false;
        QTest::newRow("one byte over the limit") << limit + 1 << false << false;
        QTest::newRow("the largest allowed is kept") << limit << false << true;
        QTest::newRow("over the limit, beside an older one set aside")
            << limit + 1 << true << false;
    }
    void anOversizedFileIsSetAside() {
        QFETCH(qint64, size);
        QFETCH(bool, olderSetAside);
        QFETCH(bool, kept);
        const QString path = SettingsFile::Path();
        const QString aside = path + QStringLiteral(".too-large");
        QDir().mkpath(QFileInfo(path).path());
        QFile::remove(aside);
        if (olderSetAside) {
            QFile older(aside);
            QVERIFY(older.open(QIODevice::WriteOnly));
            older.write("[Settings]\nColorCount=8\n");
        }
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[Settings]\nColorCount=9\n");
            QVERIFY(file.resize(size));  // sparse
        }
        {
            frmMain window;
            QCOMPARE(window.game().colorCount(), int16_t(kept ? 9 : 6));
            window.show();
            window.close();
        }
        QCOMPARE(QFileInfo::exists(aside), !kept);
        if (!kept) QCOMPARE(QFileInfo(aside).size(), size);
        QVERIFY(QFileInfo(path).size() < 4096);
        QCOMPARE(SettingsFile::ReadAll().value(QStringLiteral("ColorCount")),
                 kept ? QStringLiteral("9") : QStringLiteral("6"));
        QFile::remove(aside);
    }

    // A link, or a chain of links as long as the system follows (40), is written through
    // to its target; a longer chain is not written at all.
    void linksAreWrittenThrough_data() {
        QTest::addColumn<bool>("targetFolderExists");
        QTest::addColumn<int>("links");
        QTest::addColumn<bool>("written");
        QTest::newRow("to a file") << true << 1 << true;
        QTest::newRow("into a missing folder") << false << 1 << true;
        QTest::newRow("a chain of 40 links") << true << 40 << true;
        QTest::newRow("a chain of 41 links") << true << 41 << false;
    }
    void linksAreWrittenThrough() {
        QFETCH(bool, targetFolderExists);
        QFETCH(int, links);
        QFETCH(bool, written);
        QTemporaryDir dotfiles;
        const QString target =
            dotfiles.filePath(targetFolderExists ? QStringLiteral("Orbelix.ini")
                                                 : QStringLiteral("missing/deeper/Orbelix.ini"));
        if (targetFolderExists) QVERIFY(QFile(target).open(QIODevice::WriteOnly));
        QString next = target;
        for (int i = links; i >= 2; --i) {
            const QString link = dotfiles.filePath(QStringLiteral("link%1").arg(i));
            QVERIFY(QFile::link(next, link));
            next = link;
        }
        const QString path = SettingsFile::Path();
        QDir().mkpath(QFileInfo(path).path());
        QVERIFY(QFile::link(next, path));
        QCOMPARE(SettingsFile::WriteAll({{QStringLiteral("ColorCount"), QStringLiteral("8")}}),
                 written);
        QVERIFY(QFileInfo(path).isSymLink());
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().contains("ColorCount=8"), written);
        QFile::remove(path);
    }

    // ---- The window on its screen. ----
    void windowStaysReachable_data() {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QPoint>("place");
        QTest::newRow("a large screen: centred") << QRect(0, 0, 1024, 768) << QPoint(184, 202);
        QTest::newRow("a second screen to the right")
            << QRect(1920, 0, 1024, 768) << QPoint(2104, 202);
        QTest::newRow("narrower than the window") << QRect(0, 0, 640, 480) << QPoint(0, 58);
        QTest::newRow("smaller, with a top panel") << QRect(0, 30, 600, 300) << QPoint(0, 30);
    }
    void windowStaysReachable() {
        QFETCH(QRect, area);
        QFETCH(QPoint, place);
        QCOMPARE(CentredOnScreen(area, QSize(656, 364)), place);
    }
};

QTEST_MAIN(StoreTest)
#include "test_store.moc"
