// The command line read in two passes: before QApplication (help, version, refusals, with
// Qt's options let through) and after it (the game's options from what Qt left).
#include <QtTest>

#include "app/CommandLine.h"

using namespace orbelix;

class CommandLineTest : public QObject {
    Q_OBJECT

    static QStringList Arguments(const QString& line) {
        QStringList arguments{QStringLiteral("orbelix")};
        if (!line.isEmpty()) arguments += line.split(QLatin1Char(' '));
        return arguments;
    }

  private slots:
    void beforeStart_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("error");
        const QString none;
        QTest::newRow("nothing") << none << -1 << none << none;
        QTest::newRow("--version") << "--version" << 0 << "Orbelix 1.0\n" << none;
        QTest::newRow("-v") << "-v" << 0 << "Orbelix 1.0\n" << none;
        QTest::newRow("--help") << "--help" << 0 << "Usage: orbelix [options]" << none;
        QTest::newRow("-h after a Qt option")
            << "-platform offscreen -h" << 0 << "--version" << none;
        QTest::newRow("help beside a wrong option") << "--bogus --help" << 0 << "Usage:" << none;
        QTest::newRow("--help-all lists Qt's options")
            << "--help-all" << 0 << "-platform <name[:options]>" << none;
        QTest::newRow("-platform") << "-platform offscreen" << -1 << none << none;
        QTest::newRow("--platform") << "--platform offscreen" << -1 << none << none;
        QTest::newRow("-style") << "-style fusion" << -1 << none << none;
        QTest::newRow("-style=") << "-style=fusion" << -1 << none << none;
        QTest::newRow("-display") << "-display :1" << -1 << none << none;
        QTest::newRow("-geometry") << "-geometry 656x364+10+10" << -1 << none << none;
        QTest::newRow("-session") << "-session 1234abcd_5678" << -1 << none << none;
        QTest::newRow("several") << "-reverse -nograb -qwindowtitle Balls -stylesheet a.qss" << -1
                                 << none << none;
        QTest::newRow("unknown option")
            << "--bogus" << 2 << none
            << "orbelix: Unknown option 'bogus'.\nTry 'orbelix --help'.\n";
        QTest::newRow("unknown single-dash")
            << "-platform offscreen -bogus" << 2 << none << "Unknown option 'bogus'";
        QTest::newRow("missing value")
            << "-platform" << 2 << none << "Missing value after '-platform'";
        QTest::newRow("argument") << "file.txt" << 2 << none << "unexpected argument 'file.txt'";
        QTest::newRow("--zoom 4, the largest") << "--zoom 4" << -1 << none << none;
        QTest::newRow("--zoom 5") << "--zoom 5" << 2 << none << "--zoom takes a whole number";
        QTest::newRow("--zoom 0") << "--zoom 0" << 2 << none << "--zoom takes a whole number";
        QTest::newRow("--board 999999999, the last") << "--board 999999999" << -1 << none << none;
        for (const char* bad : {"0", "1000000000", "-5", "+5", "4.2", "1e3", "0x10", "abc", "",
                                "99999999999999999999"})
            QTest::newRow(qPrintable(QStringLiteral("--board '%1'").arg(QLatin1String(bad))))
                << QStringLiteral("--board=%1").arg(QLatin1String(bad)) << 2 << none
                << "--board takes a whole number from 1 to 999999999";
        QTest::newRow("--resume") << "--resume" << -1 << none << none;
        QTest::newRow("--resume with --board")
            << "--resume --board 7" << 2 << none << "cannot be used together";
        // A Qt option's value is not an argument of its own.
        QTest::newRow("value is no argument") << "-session file.txt" << -1 << none << none;
    }
    void beforeStart() {
        QFETCH(QString, line);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(QString, error);
        const CommandLineAnswer answer = AnswerBeforeStart(Arguments(line));
        QCOMPARE(answer.exitCode, exitCode);
        QCOMPARE(answer.startGame(), exitCode < 0);
        if (output.isEmpty())
            QCOMPARE(answer.output, QString());
        else
            QVERIFY2(answer.output.contains(output), qPrintable(answer.output));
        if (error.isEmpty())
            QCOMPARE(answer.error, QString());
        else
            QVERIFY2(answer.error.contains(error), qPrintable(answer.error));
    }

    void helpShowsQtOptionsOnlyInHelpAll() {
        const QString help = AnswerBeforeStart(Arguments(QStringLiteral("--help"))).output;
        const QString all = AnswerBeforeStart(Arguments(QStringLiteral("--help-all"))).output;
        QVERIFY(!help.contains(QStringLiteral("-platform")));
        QVERIFY(help.contains(QStringLiteral("--help-all")));
        for (const char* option :
             {"-style <style>", "-session <session>", "-display <host:screen>", "-reverse"})
            QVERIFY2(all.contains(QLatin1String(option)), option);
    }

    void platformIsReported() {
        QCOMPARE(AnswerBeforeStart(Arguments(QStringLiteral("-platform wayland"))).platform,
                 QStringLiteral("wayland"));
        QCOMPARE(AnswerBeforeStart(Arguments(QString())).platform, QString());
    }

    // After QApplication: its own options are gone; X11 ones left on another platform are
    // ignored; anything else is still refused.
    void afterStart_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<uint>("board");
        QTest::addColumn<bool>("resume");
        QTest::newRow("nothing left") << QString() << -1 << 0 << 0u << false;
        QTest::newRow("X11 options left by another platform")
            << "-display :1 -geometry 1x1 -sync" << -1 << 0 << 0u << false;
        QTest::newRow("unknown option") << "--bogus" << 2 << 0 << 0u << false;
        QTest::newRow("argument") << "x" << 2 << 0 << 0u << false;
        QTest::newRow("--zoom 1") << "--zoom 1" << -1 << 1 << 0u << false;
        QTest::newRow("--zoom 4") << "--zoom 4" << -1 << 4 << 0u << false;
        QTest::newRow("--zoom 5") << "--zoom 5" << 2 << 0 << 0u << false;
        QTest::newRow("--board 1") << "--board 1" << -1 << 0 << 1u << false;
        QTest::newRow("--board 424242 --zoom 2") << "--board 424242 --zoom 2" << -1 << 2 << 424242u
                                                 << false;
        QTest::newRow("--board 999999999") << "--board 999999999" << -1 << 0 << 999999999u << false;
        QTest::newRow("--board 0") << "--board 0" << 2 << 0 << 0u << false;
        QTest::newRow("--resume") << "--resume" << -1 << 0 << 0u << true;
    }
    void afterStart() {
        QFETCH(QString, line);
        QFETCH(int, exitCode);
        QFETCH(int, zoom);
        QFETCH(uint, board);
        QFETCH(bool, resume);
        GameOptions options;
        QCOMPARE(ReadGameOptions(Arguments(line), options).exitCode, exitCode);
        QCOMPARE(options.zoom, zoom);
        QCOMPARE(options.board, board);
        QCOMPARE(options.resume, resume);
    }
};

QTEST_APPLESS_MAIN(CommandLineTest)
#include "test_commandline.moc"
