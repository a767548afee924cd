// The game binary as a whole: its command line, and the signals that end a session,
// each of which must close the window the normal way and save the settings.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

class ProgramTest : public QObject {
    Q_OBJECT

    static QProcessEnvironment Environment(const QString& config) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
        env.insert(QStringLiteral("ORBELIX_REPORT_FIRST_FRAME"), QStringLiteral("1"));
        return env;
    }

private slots:
    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::newRow("--version") << QStringList{"--version"} << 0 << "Orbelix 1.0";
        QTest::newRow("--help") << QStringList{"--help"} << 0 << "Usage:";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "Unknown option 'bogus'";
        QTest::newRow("unexpected argument") << QStringList{"file.txt"} << 2 << "unexpected argument 'file.txt'";
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
        const QString printed = QString::fromLocal8Bit(game.readAllStandardOutput() + game.readAllStandardError());
        QVERIFY2(printed.contains(output), qPrintable(printed));
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
};

QTEST_GUILESS_MAIN(ProgramTest)
#include "test_program.moc"
