// The game binary as a whole: its command line, and the signals that end a session,
// each of which must close the window the normal way and save the settings.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <functional>

class ProgramTest : public QObject {
    Q_OBJECT

    static QProcessEnvironment Environment(const QString& config) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        env.insert(QStringLiteral("XDG_STATE_HOME"), config + QStringLiteral("/state"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
        env.insert(QStringLiteral("ORBELIX_REPORT_FIRST_FRAME"), QStringLiteral("1"));
        return env;
    }

    // Starts the game, waits for its first frame and ends it (with SIGTERM unless told
    // otherwise): true when it got there and ended normally with `status`. What it wrote
    // on stderr goes to `said`.
    static bool RunToFirstFrame(
        const QProcessEnvironment& env, QByteArray& said,
        const std::function<void(QProcess&)>& end =
            [](QProcess& game) { ::kill(static_cast<pid_t>(game.processId()), SIGTERM); },
        int status = 0) {
        QProcess game;
        game.setProcessEnvironment(env);
        game.start(QStringLiteral(ORBELIX_BINARY), {});
        if (!game.waitForReadyRead(30000) || game.readLine().trimmed() != "first-frame")
            return false;
        end(game);
        if (!game.waitForFinished(30000)) return false;
        said = game.readAllStandardError();
        return game.exitStatus() == QProcess::NormalExit && game.exitCode() == status;
    }

  private slots:
    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::newRow("--version") << QStringList{"--version"} << 0 << "Orbelix 1.0";
        QTest::newRow("--help") << QStringList{"--help"} << 0 << "Usage:";
        QTest::newRow("--help-all")
            << QStringList{"--help-all"} << 0 << "platform <name[:options]>";
        QTest::newRow("Qt option, then an unknown one")
            << QStringList{"-style", "fusion", "-bogus"} << 2 << "Unknown option 'bogus'";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "Unknown option 'bogus'";
        QTest::newRow("--zoom past 4")
            << QStringList{"--zoom", "5"} << 2 << "--zoom takes a whole number from 1 to 4";
        QTest::newRow("unexpected argument")
            << QStringList{"file.txt"} << 2 << "unexpected argument 'file.txt'";
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QTemporaryDir config;
        QProcess game;
        // No display at all: the command line must not need one.
        QProcessEnvironment env = Environment(config.path());
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        game.setProcessEnvironment(env);
        game.start(QStringLiteral(ORBELIX_BINARY), arguments);
        QVERIFY(game.waitForFinished(-1));
        QCOMPARE(game.exitStatus(), QProcess::NormalExit);
        QCOMPARE(game.exitCode(), exitCode);
        const QString printed =
            QString::fromLocal8Bit(game.readAllStandardOutput() + game.readAllStandardError());
        QVERIFY2(printed.contains(output), qPrintable(printed));
    }

    // Qt's own options are taken by Qt: -platform alone is enough to start without a display.
    void qtOptionsStartTheGame_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("-platform") << QStringList{"-platform", "offscreen"};
        QTest::newRow("-style") << QStringList{"-platform", "offscreen", "-style", "fusion"};
        QTest::newRow("-session") << QStringList{"-platform", "offscreen", "-session", "1234abcd"};
        QTest::newRow("-display") << QStringList{"--platform", "offscreen", "-display", ":1"};
        QTest::newRow("-geometry")
            << QStringList{"-platform", "offscreen", "-geometry", "656x364+10+10"};
    }
    void qtOptionsStartTheGame() {
        QFETCH(QStringList, arguments);
        QTemporaryDir config;
        QProcess game;
        QProcessEnvironment env = Environment(config.path());
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        game.setProcessEnvironment(env);
        game.start(QStringLiteral(ORBELIX_BINARY), arguments);
        QVERIFY(game.waitForReadyRead(30000));
        QCOMPARE(game.readLine().trimmed(), QByteArray("first-frame"));
        ::kill(static_cast<pid_t>(game.processId()), SIGTERM);
        QVERIFY(game.waitForFinished(30000));
        QCOMPARE(game.exitStatus(), QProcess::NormalExit);
        QCOMPARE(game.exitCode(), 0);
    }

    void signalsSaveBeforeTheEnd_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void signalsSaveBeforeTheEnd() {
        QFETCH(int, signal);
        QTemporaryDir config;
        QProcess game;
        game.setProcessEnvironment(Environment(config.path()));
        game.start(QStringLiteral(ORBELIX_BINARY), {});
        // The first painted frame means the window, and its signal handling, are up.
        QVERIFY(game.waitForReadyRead(-1));
        QCOMPARE(game.readLine().trimmed(), QByteArray("first-frame"));
        ::kill(static_cast<pid_t>(game.processId()), signal);
        QVERIFY(game.waitForFinished(-1));
        QCOMPARE(game.exitStatus(), QProcess::NormalExit);
        QCOMPARE(game.exitCode(), 0);
        QFile ini(config.filePath(QStringLiteral("Orbelix/Orbelix.ini")));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray text = ini.readAll();
        QVERIFY(text.startsWith("[Settings]"));
        QCOMPARE(text.count('\n'), 23);
    }

    // The sound library is loaded only for a game with the sound on: with it off, not
    // from the first frame to the end (the dynamic loader tells each library it opens).
    void soundLibraryOnlyWithTheSoundOn_data() {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<bool>("loaded");
        QTest::newRow("sound off") << QByteArray("[Settings]\nSound=0\n") << false;
        QTest::newRow("sound on") << QByteArray("[Settings]\nSound=1\n") << true;
    }
    void soundLibraryOnlyWithTheSoundOn() {
        QFETCH(QByteArray, settings);
        QFETCH(bool, loaded);
        QTemporaryDir config;
        QDir(config.path()).mkpath(QStringLiteral("Orbelix"));
        QFile ini(config.filePath(QStringLiteral("Orbelix/Orbelix.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(settings);
        ini.close();
        QProcessEnvironment env = Environment(config.path());
        env.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
        QByteArray said;
        QVERIFY(RunToFirstFrame(env, said));
        QCOMPARE(said.contains("libSDL2"), loaded);
    }

    // A bogus or missing display: one line and status 1, no core dump.
    void unusableDisplay_data() {
        QTest::addColumn<QString>("display");
        QTest::newRow("no DISPLAY") << "";
        QTest::newRow("nothing at :97") << ":97";
        QTest::newRow("nonsense") << "not a display";
    }
    void unusableDisplay() {
        QFETCH(QString, display);
        QTemporaryDir config;
        QProcessEnvironment env = Environment(config.path());
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("DISPLAY"));
        if (!display.isEmpty()) env.insert(QStringLiteral("DISPLAY"), display);
        QProcess game;
        game.setProcessEnvironment(env);
        game.start(QStringLiteral(ORBELIX_BINARY), {});
        QVERIFY(game.waitForFinished(30000));
        QCOMPARE(game.exitStatus(), QProcess::NormalExit);
        QCOMPARE(game.exitCode(), 1);
        const QByteArray said = game.readAllStandardError();
        QCOMPARE(said.count('\n'), 1);
        QVERIFY2(said.startsWith("orbelix: "), said.constData());
    }

    // The X server going away under a running game (a session that ends without telling
    // its programs): the game ends with Qt's status 1, not a crash, and its settings saved.
    void aDyingXServerEndsTheGameCleanly() {
        QTemporaryDir config;
        QProcess server;
        server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                              QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!server.waitForReadyRead(20000)) QSKIP("no Xvfb to run the game on");
        QProcessEnvironment env = Environment(config.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), QLatin1Char(':') + server.readLine().trimmed());
        QByteArray said;
        // SIGTERM: the server removes its socket and lock file as it goes.
        const auto endServer = [&server](QProcess&) { server.terminate(); };
        QVERIFY2(RunToFirstFrame(env, said, endServer, 1), said.constData());
        QVERIFY(QFile::exists(config.filePath(QStringLiteral("Orbelix/Orbelix.ini"))));
    }

    // With another platform to fall back on, a display that refuses is no reason to stop:
    // the game starts there, and Qt's words about the display are passed on.
    void refusedDisplayWithAFallback() {
        QTemporaryDir config;
        QProcessEnvironment env = Environment(config.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb;offscreen"));
        env.insert(QStringLiteral("DISPLAY"), QStringLiteral("not a display"));
        QByteArray said;
        QVERIFY(RunToFirstFrame(env, said));
        QVERIFY(said.contains("could not connect to display"));
    }

    // Started with stdin, stdout or stderr closed, the game puts /dev/null there, so no
    // file or connection of its own lands on them.
    void closedStandardDescriptors() {
        QTemporaryDir config;
        QProcess game;
        game.setProcessEnvironment(Environment(config.path()));
        game.start(QStringLiteral("/bin/sh"),
                   {QStringLiteral("-c"), QStringLiteral("exec \"$0\" <&- 2>&-"),
                    QStringLiteral(ORBELIX_BINARY)});
        QVERIFY(game.waitForReadyRead(30000));
        QCOMPARE(game.readLine().trimmed(), QByteArray("first-frame"));
        for (int fd : {0, 2}) {
            const QString link = QStringLiteral("/proc/%1/fd/%2").arg(game.processId()).arg(fd);
            QCOMPARE(QFileInfo(link).symLinkTarget(), QStringLiteral("/dev/null"));
        }
        ::kill(static_cast<pid_t>(game.processId()), SIGTERM);
        QVERIFY(game.waitForFinished(30000));
        QCOMPARE(game.exitCode(), 0);
    }

    // Under nohup (SIGHUP ignored by the parent) a hang-up leaves the game running.
    void inheritedHangUpIgnoreIsKept() {
        QTemporaryDir config;
        QProcess game;
        game.setProcessEnvironment(Environment(config.path()));
        game.start(QStringLiteral("/bin/sh"),
                   {QStringLiteral("-c"), QStringLiteral("trap '' HUP; exec \"$0\""),
                    QStringLiteral(ORBELIX_BINARY)});
        QVERIFY(game.waitForReadyRead(30000));
        QCOMPARE(game.readLine().trimmed(), QByteArray("first-frame"));
        ::kill(static_cast<pid_t>(game.processId()), SIGHUP);
        QVERIFY(!game.waitForFinished(300));
        QCOMPARE(game.state(), QProcess::Running);
        QVERIFY(!QFile::exists(config.filePath(QStringLiteral("Orbelix/Orbelix.ini"))));
        ::kill(static_cast<pid_t>(game.processId()), SIGTERM);
        QVERIFY(game.waitForFinished(30000));
        QCOMPARE(game.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(ProgramTest)
#include "test_program.moc"
