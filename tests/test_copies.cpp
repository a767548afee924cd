// Real copies of the game sharing one settings folder: games finished and windows
// closed at the same moment lose nothing, nor does a game while another copy is stopped
// holding the lock; a display that dies during name entry leaves the placed score on
// disk, and a close box pressed during the end-of-game pause ends the program.
#include <xcb/xcb.h>

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <csignal>
#include <cstring>

#include "platform/SettingsFile.h"
#include "scores/Settings.h"
#include "scores/StoredText.h"

namespace {

QHash<QString, QString> StoredKeys(const QString& config) {
    QFile file(config + QStringLiteral("/Orbelix/Orbelix.ini"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QHash<QString, QString> keys;
    for (const auto& [key, value] : orbelix::SettingsFile::ParseIni(file.readAll()))
        keys.insert(key, value);
    return keys;
}

QProcessEnvironment Environment(const QString& folder, const char* variable = "XDG_CONFIG_HOME") {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(variable), folder);
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    return env;
}

QByteArray NextLine(QProcess& process) {
    while (!process.canReadLine() && process.waitForReadyRead(20000)) {
    }
    return process.readLine().trimmed();
}

// Starts a helper process with the arguments given in one string.
void Start(QProcess& process, const QProcessEnvironment& env, const char* program,
           const QString& arguments) {
    process.setProcessEnvironment(env);
    process.start(QString::fromLocal8Bit(program), arguments.split(QLatin1Char(' ')));
}

// Starts a game_player and lets it play once it is ready.
void Play(QProcess& game, const QProcessEnvironment& env, const QString& arguments) {
    Start(game, env, GAME_PLAYER, arguments);
    QCOMPARE(NextLine(game), QByteArray("ready"));
    game.write("go\n");
}

// An Xvfb of its own on a free display from :41 to :49 (0 when there is none), gone with
// it. A killed server cannot remove its lock and socket; left, they would use up the
// displays.
struct OwnDisplay {
    QProcess server;
    int number = 0;

    explicit OwnDisplay(bool wanted = true) {
        for (int n = 41; n <= 49 && wanted && number == 0; ++n) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n))) continue;
            server.start(
                QStringLiteral("Xvfb"),
                QStringLiteral(":%1 -nolisten tcp -screen 0 800x600x24").arg(n).split(' '));
            bool ended = !server.waitForStarted();
            while (!ended && !QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
                ended = server.waitForFinished(20);
            if (!ended) number = n;
        }
    }
    ~OwnDisplay() { Kill(); }
    void Kill() {
        if (number == 0) return;
        ::kill(static_cast<pid_t>(server.processId()), SIGKILL);
        server.waitForFinished();
        QFile::remove(QStringLiteral("/tmp/.X%1-lock").arg(number));
        QFile::remove(QStringLiteral("/tmp/.X11-unix/X%1").arg(number));
        number = 0;
    }
};

// What a window manager sends when a window's close box is clicked.
void SendCloseBox(int display, xcb_window_t window) {
    xcb_connection_t* x = xcb_connect(qPrintable(QStringLiteral(":%1").arg(display)), nullptr);
    const auto atom = [x](const char* name) {
        auto* reply =
            xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, std::strlen(name), name), nullptr);
        const xcb_atom_t found = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return found;
    };
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom("WM_PROTOCOLS");
    message.data.data32[0] = atom("WM_DELETE_WINDOW");
    // Checked: the server's answer tells it has taken the message before the connection
    // goes (a request still in flight may be dropped with it).
    std::free(xcb_request_check(
        x, xcb_send_event_checked(x, 0, window, 0, reinterpret_cast<const char*>(&message))));
    xcb_disconnect(x);
}

}  // namespace

class CopiesTest : public QObject {
    Q_OBJECT

  private slots:
    void twoCopiesFinishAndLeaveTogether() {
        const int rounds = qEnvironmentVariableIntValue("ORBELIX_ROUNDS") > 0
                               ? qEnvironmentVariableIntValue("ORBELIX_ROUNDS")
                               : 10;
        QTemporaryDir config;
        QProcessEnvironment env = Environment(config.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QRandomGenerator random(1207);
        QList<int> scores;
        for (int s = 100; s < 100 + 8 * rounds; s += 4) scores.append(s);
        std::shuffle(scores.begin(), scores.end(), random);

        QList<std::pair<int, QString>> everEntered;
        for (int round = 1; round <= rounds; ++round) {
            QProcess copies[2];
            for (int c = 0; c < 2; ++c) {
                const int score = scores[2 * (round - 1) + c];
                const QString name =
                    QStringLiteral("%1R%2").arg(QLatin1Char(c == 0 ? 'A' : 'B')).arg(round);
                everEntered.append({score, name});
                copies[c].setProcessEnvironment(env);
                copies[c].start(
                    QStringLiteral(GAME_PLAYER),
                    {QString::number(score), name, QLatin1String(c == 0 ? "colours" : "sound")});
            }
            for (QProcess& copy : copies) {
                QVERIFY(copy.waitForReadyRead(20000));
                QCOMPARE(copy.readLine().trimmed(), QByteArray("ready"));
            }
            for (QProcess& copy : copies) copy.write("go\n");
            for (QProcess& copy : copies) {
                QVERIFY(copy.waitForFinished(20000));
                QCOMPARE(copy.exitCode(), 0);
            }

            // Every entry the rules keep: the ten best of all games so far (no ties).
            std::sort(everEntered.begin(), everEntered.end(),
                      [](const auto& a, const auto& b) { return a.first > b.first; });
            const auto keys = StoredKeys(config.path());
            for (int r = 1; r <= 10; ++r) {
                const QString name =
                    r <= everEntered.size() ? everEntered[r - 1].second : QString();
                const int score = r <= everEntered.size() ? everEntered[r - 1].first : 0;
                QVERIFY2(keys.value(QStringLiteral("HighScoreName%1").arg(r)) == name &&
                             orbelix::ReadStoredScore(
                                 keys.value(QStringLiteral("HighScore%1").arg(r))) == score,
                         qPrintable(QStringLiteral("round %1, row %2: %3 %4 instead of %5 %6")
                                        .arg(round)
                                        .arg(r)
                                        .arg(keys.value(QStringLiteral("HighScoreName%1").arg(r)),
                                             keys.value(QStringLiteral("HighScore%1").arg(r)), name)
                                        .arg(score)));
            }
            // Each copy's own option change survives the other's save.
            QCOMPARE(keys.value(QStringLiteral("ColorCount")), QString::number(6 + round % 8));
            QCOMPARE(keys.value(QStringLiteral("Sound")),
                     QLatin1String(round % 2 == 1 ? "1" : "0"));
        }
        qInfo("%d rounds of two copies leaving together, nothing lost", rounds);
    }

    // The display or the compositor dying during name entry: the placed score and the
    // letters typed by then are saved on the way out.
    void aDyingDisplayKeepsThePlacedScore_data() {
        QTest::addColumn<bool>("wayland");
        QTest::newRow("X11 server") << false;
        QTest::newRow("Wayland compositor") << true;
    }
    void aDyingDisplayKeepsThePlacedScore() {
        QFETCH(bool, wayland);
        QTemporaryDir config;
        QTemporaryDir runtime;  // private (0700), as the compositor wants it
        QProcessEnvironment env = Environment(config.path());
        QProcess compositor;
        OwnDisplay display(!wayland);
        if (wayland) {
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
            Start(compositor, env, "weston",
                  QStringLiteral("--backend=headless-backend.so --use-pixman "
                                 "--socket=wl-copies --idle-time=0 --no-config"));
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(runtime.filePath(QStringLiteral("wl-copies"))),
                                     20000);
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
            env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wl-copies"));
        } else {
            if (display.number == 0) QSKIP("no Xvfb, or no free display between :41 and :49");
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
            env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":%1").arg(display.number));
        }
        QProcess game;
        Play(game, env, QStringLiteral("516 ZED stay"));
        QCOMPARE(NextLine(game), QByteArray("naming"));

        if (wayland) compositor.kill();
        display.Kill();
        QVERIFY(game.waitForFinished(20000));
        qInfo("the game ended with status %d: %s", game.exitCode(),
              game.readAllStandardError().trimmed().constData());
        const auto keys = StoredKeys(config.path());
        QCOMPARE(keys.value(QStringLiteral("HighScore1")), QStringLiteral(" 516"));
        // The letters typed before the display died were saved on the way out.
        QCOMPARE(keys.value(QStringLiteral("HighScoreName1")), QStringLiteral("ZE"));
    }

    // Another copy stopped while it holds the lock (Ctrl+Z, a debugger) during a game:
    // nothing of the game is lost, whether the holder goes on later or is killed.
    void aStoppedHolderLosesNothing_data() {
        QTest::addColumn<bool>("resumed");
        QTest::newRow("resumed while the game runs") << true;
        QTest::newRow("killed after a signal ended the game") << false;
    }
    void aStoppedHolderLosesNothing() {
        QFETCH(bool, resumed);
        QTemporaryDir config;
        QProcessEnvironment env = Environment(config.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess holder;
        Start(holder, env, SETTINGS_TOOL, QStringLiteral("hold 3000 Held yes"));
        QCOMPARE(NextLine(holder), QByteArray("locked"));
        ::kill(static_cast<pid_t>(holder.processId()), SIGSTOP);

        QProcess game;
        Play(game, env, QStringLiteral("516 ZED sound ") + (resumed ? "linger" : "stay"));
        QCOMPARE(NextLine(game), QByteArray(resumed ? "played" : "naming"));
        if (resumed) {
            ::kill(static_cast<pid_t>(holder.processId()), SIGCONT);
            QVERIFY(holder.waitForFinished(20000));
            // The game saves in the background once the holder has let go.
            QTRY_COMPARE_WITH_TIMEOUT(StoredKeys(config.path()).value(QStringLiteral("HighScore1")),
                                      QStringLiteral(" 516"), 10000);
            game.write("close\n");
        } else {
            ::kill(static_cast<pid_t>(game.processId()), SIGTERM);
        }
        QVERIFY(game.waitForFinished(20000));
        if (!resumed) {
            holder.kill();
            QVERIFY(holder.waitForFinished(20000));
            // The next copy to save takes in what the game kept aside.
            qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
            orbelix::SettingsStore next;
            orbelix::HighScoreTable table;
            next.SaveSettings(next.LoadSettings(table), table);
        }
        const auto keys = StoredKeys(config.path());
        QCOMPARE(keys.value(QStringLiteral("HighScore1")) + keys.value("HighScoreName1"),
                 QLatin1String(resumed ? " 516ZED" : " 516ZE"));
        QCOMPARE(keys.value(QStringLiteral("Sound")) + keys.value("Held"),
                 QLatin1String(resumed ? "1yes" : "1"));
        QVERIFY(QDir(config.filePath(QStringLiteral("Orbelix")))
                    .entryList({QStringLiteral("*unsaved*")})
                    .isEmpty());
    }

    // The close box pressed during the end-of-game pause of a game ended by a real click,
    // through a real X server with and without a window manager: the program ends (a
    // name window would keep it up) with the placed score saved.
    void aCloseDuringThePauseIsHonoured_data() {
        QTest::addColumn<bool>("windowManager");
        QTest::newRow("no window manager") << false;
        QTest::newRow("openbox") << true;
    }
    void aCloseDuringThePauseIsHonoured() {
        QFETCH(bool, windowManager);
        const int runs = std::max(10, qEnvironmentVariableIntValue("ORBELIX_ROUNDS"));
        OwnDisplay display;
        if (display.number == 0) QSKIP("no Xvfb, or no free display between :41 and :49");
        QProcessEnvironment env = Environment(QString());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":%1").arg(display.number));
        QProcess manager;
        if (windowManager) {
            manager.setProcessEnvironment(env);
            manager.start(QStringLiteral("openbox"),
                          {QStringLiteral("--startup"), QStringLiteral("echo started")});
            for (int line = 0; line < 20 && NextLine(manager) != "started"; ++line) {
            }
        }
        QRandomGenerator random(2107);
        for (int run = 1; run <= runs; ++run) {
            QTemporaryDir config;
            env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
            QProcess game;
            QProcess click;
            Play(game, env, QStringLiteral("516 ZED closebox"));
            const QList<QByteArray> where = NextLine(game).split(' ');  // click X Y WINDOW
            Start(click, env, "xdotool",
                  QStringLiteral("mousemove %1 %2 click 1").arg(where.value(1), where.value(2)));
            QVERIFY(click.waitForFinished());
            QThread::msleep(100 + random.bounded(1400));  // the pause lasts two seconds
            SendCloseBox(display.number, where.value(3).toUInt());
            const bool ended = game.waitForFinished(10000);
            game.kill();
            game.waitForFinished();
            QVERIFY2(ended, qPrintable(QStringLiteral("run %1: the game did not end").arg(run)));
            QCOMPARE(StoredKeys(config.path()).value(QStringLiteral("HighScore1")),
                     QStringLiteral(" 516"));
        }
        qInfo("%d closes during the pause honoured", runs);
    }

    // The display dies during the end-of-game pause of a game ended by a real click: the
    // game's score is on disk all the same.
    void aDisplayDyingInThePauseCostsNoScore() {
        for (int run = 1; run <= 8; ++run) {
            OwnDisplay display;
            if (display.number == 0) QSKIP("no Xvfb, or no free display between :41 and :49");
            QTemporaryDir config;
            QProcessEnvironment env = Environment(config.path());
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
            env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":%1").arg(display.number));
            QProcess game;
            QProcess click;
            Play(game, env, QStringLiteral("516 ZED closebox"));
            const QList<QByteArray> where = NextLine(game).split(' ');  // click X Y WINDOW
            Start(click, env, "xdotool",
                  QStringLiteral("mousemove %1 %2 click 1").arg(where.value(1), where.value(2)));
            QVERIFY(click.waitForFinished());
            QThread::msleep(200 + 150 * run);  // the pause lasts two seconds
            display.Kill();
            QVERIFY(game.waitForFinished(20000));
            QCOMPARE(StoredKeys(config.path()).value(QStringLiteral("HighScore1")),
                     QStringLiteral(" 516"));
        }
    }
};

QTEST_GUILESS_MAIN(CopiesTest)
#include "test_copies.moc"
