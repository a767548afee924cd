// Plays scripted, seeded scenarios through the real windows and writes, after every
// step, a hash of each window's grab, of the settings file's bytes and of what the
// accessibility tree says. Two builds that behave the same write the same lines.
//   recorder [--scale 2] [--write FILE | --expect FILE]
// With --expect, each line is compared with the file and the program fails on the
// first step that differs.
#include <QAccessible>
#include <QCryptographicHash>
#include <QTextStream>
#include <cstdio>

#include "ZoomSupport.h"
#include "ui/frmHighScore.h"

using namespace orbelix;
using namespace orbelix::testing;

namespace {

// ---- The few places where the recorder reaches into the game's state. ----
void Seed(frmMain& window, uint32_t seed) {
    window.Seed(seed);
}
const BoardGrid& BoardOf(const frmMain& window) {
    return window.game().board();
}
bool InProgress(const frmMain& window) {
    return window.game().gameInProgress();
}
// The steps after a game's end wait for its verdict, searched in the background.
void AwaitVerdict(const frmMain& window) {
    for (int wait = 0; !window.verdict() && wait < 6000; ++wait) QTest::qWait(10);
}

QList<QString> lines;

QByteArray Hash(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(16);
}

QByteArray GrabHash(QWidget* window) {
    if (window == nullptr || !window->isVisible()) return "-";
    const QImage shot = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QByteArray bytes =
        QByteArray::number(shot.width()) + 'x' + QByteArray::number(shot.height()) + ':';
    for (int y = 0; y < shot.height(); ++y)
        bytes.append(reinterpret_cast<const char*>(shot.constScanLine(y)), shot.width() * 4);
    return Hash(bytes);
}

void Describe(QAccessibleInterface* iface, QByteArray& out, int depth) {
    if (iface == nullptr || !iface->isValid() || depth > 6) return;
    const QAccessible::State state = iface->state();
    out += QByteArray::number(depth) + ' ' + QByteArray::number(iface->role()) + ' ' +
           iface->text(QAccessible::Name).toUtf8() + '|' +
           iface->text(QAccessible::Description).toUtf8() + '|' +
           iface->text(QAccessible::Value).toUtf8() + '|' + (state.invisible ? "i" : "v") +
           (state.focused ? "f" : "") + '\n';
    for (int i = 0; i < iface->childCount(); ++i) Describe(iface->child(i), out, depth + 1);
}

QByteArray AccessHash(QWidget* window) {
    if (window == nullptr) return "-";
    QByteArray tree;
    Describe(QAccessible::queryAccessibleInterface(window), tree, 0);
    return Hash(tree);
}

QByteArray SettingsHash() {
    QFile file(SettingsFile::Path());
    if (!file.open(QIODevice::ReadOnly)) return "none";
    return Hash(file.readAll());
}

frmMain* mainWindow = nullptr;

void Record(const QString& step) {
    QCoreApplication::processEvents();
    QWidget* modal = QApplication::activeModalWidget();
    const QString line =
        QStringLiteral("%1 main=%2 table=%3 settings=%4 a11y=%5 a11y-table=%6")
            .arg(step, QString::fromLatin1(GrabHash(mainWindow)),
                 QString::fromLatin1(GrabHash(modal)), QString::fromLatin1(SettingsHash()),
                 QString::fromLatin1(AccessHash(mainWindow)),
                 QString::fromLatin1(AccessHash(modal)));
    lines.append(line);
}

void ClickOn(QWidget& window, const QString& name) {
    Click(Control(window, name));
}

void Key(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
}

// A key through the window system, where shortcuts are matched.
void SystemKey(QWidget* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    if (!window->isActiveWindow()) {
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window)) qFatal("the window did not become active");
    }
    QTest::keyClick(window->windowHandle(), static_cast<Qt::Key>(key), modifiers);
}

// Start-up, a seeded game played by mouse and keys, Undo, the options, the screens.
void PlayTheMainScreen(frmMain& window) {
    Record(QStringLiteral("start"));
    Seed(window, 7);
    ClickOn(window, QStringLiteral("pctNew"));
    Record(QStringLiteral("new"));
    for (int move = 1; move <= 4; ++move) {
        const Cell cell = FirstMove(BoardOf(window));
        PressOnBall(window, cell.column, cell.row, cell.layer);
        Record(QStringLiteral("click-%1").arg(move));
    }
    ClickOn(window, QStringLiteral("pctUndo"));
    Record(QStringLiteral("undo"));
    ClickOn(window, QStringLiteral("pctUndo"));
    Record(QStringLiteral("undo-again"));
    for (int key :
         {Qt::Key_Right, Qt::Key_Right, Qt::Key_Down, Qt::Key_L, Qt::Key_L, Qt::Key_Left}) {
        Key(&window, key);
        Record(QStringLiteral("key-%1").arg(key, 0, 16));
    }
    Key(&window, Qt::Key_Return);
    Record(QStringLiteral("key-return"));
    Key(&window, Qt::Key_Space);
    Record(QStringLiteral("key-space"));
    Key(&window, Qt::Key_Z, Qt::ControlModifier);
    Record(QStringLiteral("ctrl-z"));
    Key(&window, Qt::Key_S);
    Record(QStringLiteral("symbols-on"));
    PressOnBall(window, 3, 3, 1);
    Record(QStringLiteral("click-hides-cursor"));
    Key(&window, Qt::Key_S);
    Record(QStringLiteral("symbols-off"));
    for (int step = 1; step <= 9; ++step) {
        ClickOn(window, QStringLiteral("pctColors_0"));
        Record(QStringLiteral("colours-%1").arg(step));
    }
    for (int step = 1; step <= 2; ++step) {
        ClickOn(window, QStringLiteral("pctSound"));
        Record(QStringLiteral("sound-%1").arg(step));
    }
    ClickOn(window, QStringLiteral("pctHelp"));
    Record(QStringLiteral("help"));
    ClickOn(window, QStringLiteral("pctHelpText"));
    Record(QStringLiteral("help-closed"));
    ClickOn(window, QStringLiteral("pctAbout"));
    Record(QStringLiteral("about"));
    Key(&window, Qt::Key_Escape);
    Record(QStringLiteral("about-closed"));
    Key(&window, Qt::Key_F1);
    Record(QStringLiteral("f1"));
    Key(&window, Qt::Key_Return);
    Record(QStringLiteral("f1-closed"));
    Key(&window, Qt::Key_Tab);
    Record(QStringLiteral("tab"));
    Key(&window, Qt::Key_Tab);
    Record(QStringLiteral("tab-2"));
}

// A column emptied and closed up, then the game played to its end, into name entry.
void PlayToTheTable(frmMain& window) {
    StartGameWith(window, ColumnBoard());
    Record(QStringLiteral("column-board"));
    PressOnBall(window, 3, 5, 1);
    Record(QStringLiteral("column-closed"));

    WhenModal([](QWidget* modal) {
        Record(QStringLiteral("name-entry"));
        for (const char* keys : {"ab", "1"}) {
            QTest::keyClicks(modal, QString::fromLatin1(keys));
            Record(QStringLiteral("typed-%1").arg(QString::fromLatin1(keys)));
        }
        QTest::keyClick(modal, Qt::Key_Backspace);
        Record(QStringLiteral("backspace"));
        QTest::keyClicks(modal, QStringLiteral("z"));
        QTest::keyClick(modal, Qt::Key_Return);
        Record(QStringLiteral("name-done"));
        ClickOn(*modal, QStringLiteral("pctOk"));
    });
    for (int move = 1; InProgress(window) && move < 300; ++move) {
        const Cell cell = FirstMove(BoardOf(window));
        if (cell.row == 0) break;
        PressOnBall(window, cell.column, cell.row, cell.layer);
        if (move % 10 == 0) Record(QStringLiteral("play-%1").arg(move));
    }
    AwaitVerdict(window);
    Record(QStringLiteral("game-over"));

    WhenModal([](QWidget* modal) {
        Record(QStringLiteral("table-viewed"));
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    ClickOn(window, QStringLiteral("pctHighScores"));
    Record(QStringLiteral("table-closed"));
    WhenModal([](QWidget* modal) {
        Record(QStringLiteral("table-for-reset"));
        ClickOn(*modal, QStringLiteral("pctReset"));
    });
    ClickOn(window, QStringLiteral("pctHighScores"));
    Record(QStringLiteral("table-reset"));
}

// Every zoom, with the main screen and the table.
void ZoomThrough(frmMain& window) {
    for (int zoom = 2; zoom <= 4; ++zoom) {
        SystemKey(&window, Qt::Key_Plus, Qt::ControlModifier);
        Record(QStringLiteral("zoom-in-%1").arg(zoom));
    }
    WhenModal([](QWidget* modal) {
        Record(QStringLiteral("zoomed-table"));
        SystemKey(modal, Qt::Key_Minus, Qt::ControlModifier);
        Record(QStringLiteral("zoomed-table-out"));
        ClickOn(*modal, QStringLiteral("pctOk"));
    });
    ClickOn(window, QStringLiteral("pctHighScores"));
    SystemKey(&window, Qt::Key_0, Qt::ControlModifier);
    Record(QStringLiteral("zoom-reset"));
    ClickOn(window, QStringLiteral("pctExit"));
    Record(QStringLiteral("exit"));
}

// At a desktop scale of 2: start-up, a game, a move, every zoom.
void PlayAtScaleTwo(frmMain& window) {
    Record(QStringLiteral("start"));
    Seed(window, 11);
    ClickOn(window, QStringLiteral("pctNew"));
    Record(QStringLiteral("new"));
    const Cell cell = FirstMove(BoardOf(window));
    PressOnBall(window, cell.column, cell.row, cell.layer);
    Record(QStringLiteral("click"));
    ZoomThrough(window);
}

// A start on a settings file that another run left: options and a table read back.
void StartOnStoredSettings() {
    QFile file(SettingsFile::Path());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write the settings");
    file.write(
        "[Settings]\nSound=1\nColorCount=9\nSymbols=1\nZoom=2\nHighScoreName1=ANN\nHighScore1= "
        "480\n"
        "HighScoreName2=BO\nHighScore2= 120\nHighScoreName3=C3\nHighScore3=-4\n");
    file.close();
    frmMain window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) qFatal("the window was not shown");
    mainWindow = &window;
    Record(QStringLiteral("stored-start"));
    Seed(window, 5);
    ClickOn(window, QStringLiteral("pctNew"));
    Record(QStringLiteral("stored-new"));
    WhenModal([](QWidget* modal) {
        Record(QStringLiteral("stored-table"));
        ClickOn(*modal, QStringLiteral("pctOk"));
    });
    ClickOn(window, QStringLiteral("pctHighScores"));
    ClickOn(window, QStringLiteral("pctExit"));
    Record(QStringLiteral("stored-exit"));
    mainWindow = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    const bool scaleTwo =
        args.contains(QStringLiteral("--scale")) &&
        args.value(args.indexOf(QStringLiteral("--scale")) + 1) == QLatin1String("2");
    qputenv("QT_SCALE_FACTOR", scaleTwo ? "2" : "1");
    UseLargeOffscreenScreen(6000, 3200);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::Round);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orbelix"));
    QApplication::setApplicationName(QStringLiteral("Orbelix"));

    {
        auto window = OpenFreshWindow();
        mainWindow = window.get();
        // Shortcuts (the zoom keys) reach an active window only.
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get())) qFatal("the window did not become active");
        if (scaleTwo) {
            PlayAtScaleTwo(*window);
        } else {
            PlayTheMainScreen(*window);
            PlayToTheTable(*window);
            ZoomThrough(*window);
        }
        mainWindow = nullptr;
    }
    if (!scaleTwo) StartOnStoredSettings();

    const qsizetype write = args.indexOf(QStringLiteral("--write"));
    const qsizetype expect = args.indexOf(QStringLiteral("--expect"));
    if (write >= 0) {
        QFile out(args.value(write + 1));
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write the record");
        for (const QString& line : lines) out.write(line.toUtf8() + '\n');
    } else if (expect >= 0) {
        QFile in(args.value(expect + 1));
        if (!in.open(QIODevice::ReadOnly)) qFatal("cannot read the record");
        const QStringList expected =
            QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        int differing = 0;
        for (qsizetype i = 0; i < std::max(expected.size(), lines.size()); ++i) {
            if (expected.value(i) == lines.value(i)) continue;
            std::fprintf(stderr, "step %lld differs:\n  expected %s\n  recorded %s\n",
                         static_cast<long long>(i + 1), qPrintable(expected.value(i)),
                         qPrintable(lines.value(i)));
            ++differing;
        }
        std::printf("%lld steps, %d differ\n", static_cast<long long>(lines.size()), differing);
        return differing == 0 ? 0 : 1;
    } else {
        for (const QString& line : lines) std::printf("%s\n", qPrintable(line));
    }
    return 0;
}
