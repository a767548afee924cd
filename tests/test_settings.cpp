// Settings that survive a restart, the options, the Help and About screens and leaving.
#include <QDateTime>
#include <QLockFile>
#include <csignal>
#include <utility>

#include "TestSupport.h"
#include "platform/SignalBridge.h"
#include "scores/StoredText.h"
#include "ui/Pictures.h"

using namespace orbelix;
using namespace orbelix::testing;

namespace {

void WriteRawSettings(const QByteArray& text) {
    QDir().mkpath(QFileInfo(SettingsFile::Path()).path());
    QFile file(SettingsFile::Path());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

QByteArray RawSettings() {
    QFile file(SettingsFile::Path());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        UsePrivateSettings();
        Pause::SetMillisecondsPerSecond(0);
    }
    void init() { ForgetSettings(); }

    // ---- Reading and writing stored texts. ----
    void readScore_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("leading blank") << " 1520" << 1520;
        QTest::newRow("trailing letters") << "1520abc" << 1520;
        QTest::newRow("no number") << "abc" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("2.5 to even") << "2.5" << 2;
        QTest::newRow("3.5 to even") << "3.5" << 4;
        QTest::newRow("2.51 up") << "2.51" << 3;
        QTest::newRow("-2.5 to even") << "-2.5" << -2;
        QTest::newRow("negative") << "-7" << -7;
        QTest::newRow("blanks and tab") << " \t 42" << 42;
        QTest::newRow("largest") << "2147483647" << 2147483647;
        QTest::newRow("too large for 32 bits") << "2147483648" << 0;
        QTest::newRow("most negative") << "-2147483648" << -2147483647 - 1;
        QTest::newRow("too negative for 32 bits") << "-2147483649" << 0;
        QTest::newRow("far too large") << "99999999999999999999999999" << 0;
        QTest::newRow("sign only") << "-" << 0;
        QTest::newRow("fraction only") << ".7" << 1;
    }
    void readScore() {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(ReadStoredScore(text), value);
    }

    // Each stored option as the next start reads it: a value at each end of its range
    // comes back, one past it gives the default.
    void storedOptionsComeBack_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        const QList<std::tuple<const char*, const char*, const char*, int>> rows = {
            {"9 colours", "ColorCount", "9", 9},
            {"6 colours, the fewest", "ColorCount", "6", 6},
            {"13 colours, the most", "ColorCount", "13", 13},
            {"12.5 colours to even", "ColorCount", "12.5", 12},
            {"5 colours", "ColorCount", "5", 6},
            {"14 colours", "ColorCount", "14", 6},
            {"lots of colours", "ColorCount", "lots", 6},
            {"70000 colours", "ColorCount", "70000", 6},
            {"zoom 4, the largest", "Zoom", "4", 4},
            {"zoom 5", "Zoom", "5", 1},
            {"zoom 1", "Zoom", "1", 1},
            {"zoom 0", "Zoom", "0", 1},
            {"sound 1", "Sound", "1", 1},
            {"sound -1", "Sound", "-1", 1},
            {"sound 2", "Sound", "2", 1},
            {"sound 0", "Sound", "0", 0},
            {"sound yes", "Sound", "yes", 0},
            {"sound 32767, the largest 16-bit number", "Sound", "32767", 1},
            {"sound 32768", "Sound", "32768", 0},
            {"symbols 1", "Symbols", "1", 1},
        };
        for (const auto& [row, key, text, value] : rows)
            QTest::newRow(row) << QString::fromLatin1(key) << QString::fromLatin1(text) << value;
    }
    void storedOptionsComeBack() {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(int, value);
        WriteRawSettings("[Settings]\n" + key.toLatin1() + '=' + text.toLatin1() + '\n');
        frmMain window;
        const QHash<QString, int> read = {
            {QStringLiteral("ColorCount"), window.game().colorCount()},
            {QStringLiteral("Zoom"), window.storedZoom()},
            {QStringLiteral("Sound"), window.SoundIsOn()},
            {QStringLiteral("Symbols"), window.showSymbols()}};
        QCOMPARE(read.value(key), value);
    }

    void writtenTexts() {
        QCOMPARE(WriteStoredScore(0), QStringLiteral(" 0"));
        QCOMPARE(WriteStoredScore(1520), QStringLiteral(" 1520"));
        QCOMPARE(WriteStoredScore(-5), QStringLiteral("-5"));
        QCOMPARE(WriteStoredColorCount(9), QStringLiteral("9"));
        QCOMPARE(WriteStoredSound(true), QStringLiteral("1"));
        QCOMPARE(WriteStoredSound(false), QStringLiteral("0"));
    }

    // ---- The store through the window. ----
    void firstRunDefaultsAndAllKeysOnClose() {
        {
            frmMain window;
            QVERIFY(!window.SoundIsOn());
            QCOMPARE(window.game().colorCount(), int16_t(6));
            for (int r = 1; r <= 10; ++r) {
                QVERIFY(window.table().name(r).isEmpty());
                QCOMPARE(window.table().score(r), 0);
            }
            window.show();
            window.close();
        }
        const auto stored = SettingsFile::ReadAll();
        QCOMPARE(stored.size(), 22);
        QCOMPARE(stored.value("Sound"), QStringLiteral("0"));
        QCOMPARE(stored.value("ColorCount"), QStringLiteral("6"));
        for (int r = 1; r <= 10; ++r) {
            QCOMPARE(stored.value(QStringLiteral("HighScore%1").arg(r)), QStringLiteral(" 0"));
            QVERIFY(stored.contains(QStringLiteral("HighScoreName%1").arg(r)));
            QCOMPARE(stored.value(QStringLiteral("HighScoreName%1").arg(r)), QString());
        }
        QVERIFY(SettingsFile::Path().endsWith(QStringLiteral("/Orbelix/Orbelix.ini")));
        QVERIFY(RawSettings().startsWith("[Settings]"));
    }

    void settingsSurviveARestart() {
        {
            frmMain window;
            window.show();
            for (int i = 0; i < 3; ++i) Click(Control(window, "pctColors", 0));
            Click(Control(window, "pctSound"));
            window.table().setRow(1, QStringLiteral("ANN"), 1520);
            Click(Control(window, "pctExit"));
            QCOMPARE(window.saveCount(), 2);  // the click and the unload both write
        }
        const QByteArray first = RawSettings();
        frmMain again;
        QCOMPARE(again.game().colorCount(), int16_t(9));
        QVERIFY(again.SoundIsOn());
        QVERIFY(
            Control(again, "pctColors", 0)->samePicture(Control(again, "pctColors", 4)->picture()));
        QCOMPARE(again.table().name(1), QStringLiteral("ANN"));
        QCOMPARE(again.table().score(1), 1520);
        const auto stored = SettingsFile::ReadAll();
        QCOMPARE(stored.value("Sound"), QStringLiteral("1"));
        QCOMPARE(stored.value("ColorCount"), QStringLiteral("9"));
        QCOMPARE(stored.value("HighScore1"), QStringLiteral(" 1520"));
        QVERIFY(!first.isEmpty());
    }

    void wholeTableSurvivesARestart() {
        const QStringList names = {"ANN",  "BO", "C3",      "DEE", "E0",
                                   "FAYE", "G",  "HAL9000", "IVY", "JO"};
        {
            frmMain window;
            window.show();
            for (int r = 1; r <= 10; ++r) window.table().setRow(r, names[r - 1], 2000 - 100 * r);
            window.close();
        }
        frmMain again;
        for (int r = 1; r <= 10; ++r) {
            QCOMPARE(again.table().name(r), names[r - 1]);
            QCOMPARE(again.table().score(r), 2000 - 100 * r);
        }
    }

    void closeBoxWritesOnce() {
        frmMain window;
        window.show();
        window.close();
        QCOMPARE(window.saveCount(), 1);
        QVERIFY(QFile::exists(SettingsFile::Path()));
    }

    void handEditedValuesAreSafe() {
        WriteRawSettings(
            "[Settings]\nSound=maybe\nColorCount=42\nHighScoreName1=a,b\nHighScore1=99999999999\n"
            "HighScoreName2=@Invalid()\nHighScore2=-12\n\x01\xff garbage line\n");
        frmMain window;
        QVERIFY(!window.SoundIsOn());
        QCOMPARE(window.game().colorCount(), int16_t(6));
        QCOMPARE(window.table().name(1), QStringLiteral("a,b"));
        QCOMPARE(window.table().score(1), 0);
        QCOMPARE(window.table().score(2), -12);
        QVERIFY(Control(window, "pctColors", 0)
                    ->samePicture(Control(window, "pctColors", 1)->picture()));
    }

    void garbageFileStartsWithDefaults() {
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i) garbage.append(static_cast<char>((i * 7919) % 256));
        WriteRawSettings(garbage);
        frmMain window;
        QCOMPARE(window.game().colorCount(), int16_t(6));
        window.show();
        window.close();
        QCOMPARE(SettingsFile::ReadAll().value("ColorCount"), QStringLiteral("6"));
    }

    void staleLockDoesNotStallSaving() {
        QDir().mkpath(QFileInfo(SettingsFile::Path()).path());
        // Left empty by a crash, named by a dead holder, or dated ahead by a clock set back.
        const std::pair<QByteArray, int> locks[] = {
            {QByteArray(), 0}, {QByteArray("999999\nOrbelix\nhost\n"), 0}, {QByteArray(), 3600}};
        for (const auto& [content, secondsAhead] : locks) {
            QFile lock(SettingsFile::Path() + QStringLiteral(".lock"));
            QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
            lock.write(content);
            lock.setFileTime(QDateTime::currentDateTime().addSecs(secondsAhead),
                             QFileDevice::FileModificationTime);
            lock.close();
            // How long the save takes past the lock is measured by the benchmark.
            QVERIFY(SettingsFile::WriteAll({{QStringLiteral("ColorCount"), QStringLiteral("7")}}));
            QCOMPARE(SettingsFile::ReadAll().value("ColorCount"), QStringLiteral("7"));
        }
    }

    // A store that cannot be written: the finished game, its name, the table's closing
    // and the window's closing each fail to save. The table in memory keeps every
    // result, and what the file held stays as it was.
    void aFailingStoreKeepsTheTable_data() {
        QTest::addColumn<QString>("store");
        QTest::newRow("HOME unset") << "no home";
        QTest::newRow("read-only folder") << "read-only";
        QTest::newRow("a file where the folder goes") << "file";
    }
    void aFailingStoreKeepsTheTable() {
        QFETCH(QString, store);
        if (store == QLatin1String("read-only") && geteuid() == 0)
            QSKIP("root can write into a read-only folder");
        WriteRawSettings("[Settings]\nHighScoreName1=ANN\nHighScore1= 900\n");
        const QString folder = QFileInfo(SettingsFile::Path()).path();
        const QByteArray before = RawSettings();
        const QByteArray config = qgetenv("XDG_CONFIG_HOME");
        const QByteArray home = qgetenv("HOME");
        frmMain window;
        window.show();
        if (store == QLatin1String("no home")) {
            qunsetenv("XDG_CONFIG_HOME");
            qunsetenv("HOME");
        } else if (store == QLatin1String("read-only")) {
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        } else {
            QVERIFY(QFile::rename(folder, folder + QStringLiteral(".away")));
            QFile file(folder);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        WhenModal([](QWidget* modal) {
            QTest::keyClicks(modal, QStringLiteral("bo"));
            QTest::keyClick(modal, Qt::Key_Return);
            Click(Control(*modal, "pctOk"));
        });
        FinishGameWith(window, 500);
        window.close();
        qputenv("XDG_CONFIG_HOME", config);
        qputenv("HOME", home);
        if (store == QLatin1String("file")) {
            QCOMPARE(QFileInfo(folder).size(), 0);
            QVERIFY(QFile::remove(folder));
            QVERIFY(QFile::rename(folder + QStringLiteral(".away"), folder));
        }
        QFile::setPermissions(
            folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(window.table().name(1), QStringLiteral("ANN"));
        QCOMPARE(window.table().score(1), 900);
        QCOMPARE(window.table().name(2), QStringLiteral("BO"));
        QCOMPARE(window.table().score(2), 500);
        QVERIFY(window.saveCount() >= 4);  // the game, the name, the table, the window
        QCOMPARE(RawSettings(), before);
        QVERIFY(!QFile::exists(QStringLiteral("/.config/Orbelix/Orbelix.ini")));
    }

    void signalClosesTheWindowAndSaves() {
        frmMain window;
        SignalBridge sessionEnd([&window] { window.RequestClose(); });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Click(Control(window, "pctSound"));
        std::raise(SIGTERM);
        // The signal arrives through a socket: wait for it without a time limit of our own.
        while (window.isVisible()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCOMPARE(window.saveCount(), 1);
        QCOMPARE(SettingsFile::ReadAll().value("Sound"), QStringLiteral("1"));
    }

    void anInheritedIgnoreIsKept_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("SIGINT") << SIGINT;
    }
    void anInheritedIgnoreIsKept() {
        QFETCH(int, signal);
        std::signal(signal, SIG_IGN);
        {
            frmMain window;
            SignalBridge sessionEnd([&window] { window.RequestClose(); });
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            std::raise(signal);
            QTest::qWait(50);
            QVERIFY(window.isVisible());
            QCOMPARE(window.saveCount(), 0);
            struct sigaction now {};
            sigaction(signal, nullptr, &now);
            QVERIFY(now.sa_handler == SIG_IGN);
        }
        std::signal(signal, SIG_DFL);
    }

    // ---- Options. ----
    void colourCountCycles() {
        frmMain window;
        window.show();
        QList<int> seen;
        for (int i = 0; i < 8; ++i) {
            Click(Control(window, "pctColors", 0));
            seen.append(window.game().colorCount());
            QVERIFY(
                Control(window, "pctColors", 0)
                    ->samePicture(
                        Control(window, "pctColors", window.game().colorCount() - 5)->picture()));
        }
        QCOMPARE(seen, (QList<int>{7, 8, 9, 10, 11, 12, 13, 6}));
        Click(Control(window, "pctColors", 3));  // only the visible button counts
        QCOMPARE(window.game().colorCount(), int16_t(6));
    }

    void colourCountChangeWaitsForTheNextGame() {
        frmMain window;
        window.show();
        Click(Control(window, "pctNew"));
        const BoardGrid board = window.game().board();
        for (int i = 0; i < 7; ++i) Click(Control(window, "pctColors", 0));
        QCOMPARE(window.game().colorCount(), int16_t(13));
        QCOMPARE(window.game().board(), board);
        QSet<int> codes;
        for (int game = 0; game < 4; ++game) {
            Click(Control(window, "pctNew"));
            for (int c = 1; c <= Columns; ++c)
                for (int r = 1; r <= Rows; ++r)
                    for (int l = 1; l <= Layers; ++l) codes.insert(window.game().board()(c, r, l));
        }
        QCOMPARE(codes.size(), 13);
    }

    void soundSwitchFlipsByPicture() {
        frmMain window;
        window.show();
        // Two loads of one picture are two picture objects, as the button's own picture and
        // the "No Sound" store are: only the store's counts as off-by-identity.
        QVERIFY(LoadPicture(QStringLiteral("pctSoundOff")).cacheKey() !=
                LoadPicture(QStringLiteral("pctSoundOff")).cacheKey());
        Click(Control(window, "pctSound"));
        QVERIFY(window.SoundIsOn());
        Click(Control(window, "pctSound"));
        QVERIFY(!window.SoundIsOn());
        QVERIFY(
            Control(window, "pctSound")->samePicture(Control(window, "pctSoundOff")->picture()));
    }

    // ---- Help and About. ----
    void helpIsCentredOnTheOuterSize() {
        frmMain window;
        window.show();
        Click(Control(window, "pctNew"));
        Click(Control(window, "pctHelp"));
        const QSize outer = window.placement().outerSize();
        QVERIFY(Control(window, "pctHelpText")->isVisible());
        QCOMPARE(Control(window, "pctHelpText")->size(), QSize(292, 172));
        QCOMPARE(Control(window, "pctHelpText")->pos(),
                 QPoint((outer.width() - 292) / 2, (outer.height() - 172) / 2));
        QVERIFY(!Control(window, "pctBoard")->isVisible());
        Click(Control(window, "pctHelpText"));
        QVERIFY(!Control(window, "pctHelpText")->isVisible());
        QVERIFY(Control(window, "pctBoard")->isVisible());
        QVERIFY(!Control(window, "pctOrbelix")->isVisible());
    }

    void aboutShowsTheVersionUnderThePicture() {
        frmMain window;
        window.show();
        Click(Control(window, "pctAbout"));
        const QSize outer = window.placement().outerSize();
        QCOMPARE(Control(window, "pctAboutText")->size(), QSize(343, 123));
        QCOMPARE(Control(window, "pctAboutText")->pos(),
                 QPoint((outer.width() - 343) / 2, (outer.height() - 123) / 2));
        const int bottom =
            Control(window, "pctAboutText")->y() + Control(window, "pctAboutText")->height();
        const int cell = Control(window, "pctVersion", 0)->width();
        QCOMPARE(cell, 22);
        const int middle = outer.width() / 2;
        const int expectedDigits[3] = {ORBELIX_VERSION_MAJOR, 10, ORBELIX_VERSION_MINOR};
        for (int i = 0; i < 3; ++i) {
            QVERIFY(Control(window, "pctVersion", i)->isVisible());
            QCOMPARE(Control(window, "pctVersion", i)->pos(),
                     QPoint(middle - (2 - i) * cell, bottom));
            QVERIFY(Control(window, "pctVersion", i)
                        ->samePicture(Control(window, "imgDigit", expectedDigits[i])->picture()));
        }
        Click(Control(window, "pctAboutText"));
        for (int i = 0; i < 3; ++i) QVERIFY(!Control(window, "pctVersion", i)->isVisible());
        QVERIFY(Control(window, "pctOrbelix")->isVisible());
        QVERIFY(Control(window, "pctNew")->isVisible());
    }
};

QTEST_MAIN(SettingsTest)
#include "test_settings.moc"
