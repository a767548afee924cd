// The statistics: figures against a scripted series of games, a game recorded twice,
// two copies recording at once, and files that cannot be used.
#include <sys/stat.h>
#include <unistd.h>

#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "TestSupport.h"
#include "scores/StatisticsStore.h"
#include "ui/frmHighScore.h"

using namespace orbelix;

namespace {

GameRecord Played(const QString& id, int32_t score, bool finished = true, int16_t colors = 6) {
    return {id, colors, score, finished, 0, -1};
}

// What the program writes to stderr while `run` runs.
QString StderrOf(const std::function<void()>& run) {
    QTemporaryFile file;
    file.open();
    fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(file.handle(), 2);
    run();
    fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    file.seek(0);
    return QString::fromLocal8Bit(file.readAll());
}

}  // namespace

class TestStatistics : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        qputenv("XDG_STATE_HOME", state_.path().toLocal8Bit());
        QDir(state_.path() + QStringLiteral("/Orbelix")).removeRecursively();
    }

    void meanAndMedian_data() {
        QTest::addColumn<QList<int>>("scores");
        QTest::addColumn<QString>("meanMedian");
        QTest::newRow("one game") << QList<int>{120} << "120 120";
        QTest::newRow("equal scores") << QList<int>{300, 140, 600, 300} << "335 300";
        QTest::newRow("two middles") << QList<int>{10, 2, 6, 4} << "5.5 5";
        QTest::newRow("odd count") << QList<int>{2, 4, 4} << "3.3 4";
        QTest::newRow("rounds half up") << QList<int>{0, 0, 0, 0, 0, 2, 2, 2} << "0.8 0";
    }
    void meanAndMedian() {
        QFETCH(QList<int>, scores);
        QFETCH(QString, meanMedian);
        Statistics statistics;
        for (int i = 0; i < scores.size(); ++i)
            statistics.Record(Played(QString::number(i), scores[i]));
        const ColourFigures f = statistics.figures(6);
        QCOMPARE(TenthsText(f.meanTenths()) + ' ' + TenthsText(f.medianTenths()), meanMedian);
        QCOMPARE(f.best(), *std::max_element(scores.begin(), scores.end()));
    }

    // A series as the game records it: games abandoned, finished, cleared, a game recorded
    // again when it ends after its abandonment, a verdict that comes after the end.
    void scriptedSeries() {
        StatisticsStore store;
        store.Record(Played("a", 140, false));
        store.Record({"a", 6, 300, true, 2, -1});  // the same game, played on to its end
        store.Record(Played("b", 300));
        store.Record({"b", 6, 300, true, 0, 9});  // its verdict: the search left 9 balls
        store.Record({"c", 6, 600, true, 1, -1});
        store.Record(Played("d", 40, false));
        store.Record(Played("e", 580, true, 13));
        store.Record({"d", 6, 40, false, 0, -1});  // recorded again at exit
        const Statistics s = StatisticsStore().Load();
        const ColourFigures six = s.figures(6);
        const QList<int64_t> counts{six.played, six.finished, six.cleared(),  six.best(),
                                    six.hints,  six.judged,   six.searchLeft, six.playerLeft};
        QCOMPARE(counts, (QList<int64_t>{4, 3, 1, 600, 3, 1, 9, 150}));
        QCOMPARE(TenthsText(six.meanTenths()) + ' ' + TenthsText(six.medianTenths()), "310 300");
        QCOMPARE(s.figures(13).played, 1);
        QCOMPARE(TenthsText(s.figures(7).meanTenths()), QStringLiteral("-"));
    }

    // The newest games are kept one by one; the oldest are only counted. A verdict stays
    // when a later record lacks it. Everything survives the text.
    void keptAndCounted() {
        Statistics s;
        for (int i = 0; i <= Statistics::KeptGames; ++i)
            s.Record({QString::number(i), 7, 2 * (i % 300), i % 2 == 0, 1, -1});
        s.Record({QStringLiteral("1"), 7, 2, false, 1, 12});  // the oldest still kept
        s.Record({QStringLiteral("1"), 7, 2, false, 1, -1});
        const ColourFigures f = s.figures(7);
        QCOMPARE((QList<int64_t>{f.played, f.judged, f.searchLeft, f.playerLeft}),
                 (QList<int64_t>{Statistics::KeptGames + 1, 1, 12, 299}));
        QVERIFY(Statistics::FromText(s.ToText(), nullptr) == s);
    }

    void refusedTexts_data() {
        QTest::addColumn<QByteArray>("text");
        const QByteArray head = "Orbelix statistics 1\n";
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("old version") << QByteArray("Orbelix statistics 0\n");
        QTest::newRow("no end of line") << head + "game a 6 20 1 0 -";
        QTest::newRow("odd score") << head + "game a 6 21 1 0 -\n";
        QTest::newRow("cleared, not finished") << head + "game a 6 600 0 0 -\n";
        QTest::newRow("same game twice") << head + "game a 6 20 1 0 -\ngame a 6 20 1 0 -\n";
        QTest::newRow("counts do not add up") << head + "counted 6 3 1 0 0 0 0 20:2\n";
        QTest::newRow("scores out of order") << head + "counted 6 2 0 0 0 0 0 40:1 20:1\n";
        QTest::newRow("a number too long") << head + "counted 6 10000000000000 0 0 0 0 0\n";
        QByteArray tooMany = head;
        for (int i = 0; i <= Statistics::KeptGames; ++i)
            tooMany += "game g" + QByteArray::number(i) + " 6 20 1 0 -\n";
        QTest::newRow("more games than kept") << tooMany;
    }
    void refusedTexts() {
        QFETCH(QByteArray, text);
        QString problem;
        QVERIFY(!Statistics::FromText(text, &problem).has_value());
        QVERIFY(!problem.isEmpty());
    }

    // Two copies of the game, two processes, recording at the same moments: every game
    // counts once.
    void twoCopiesAtOnce() {
        QProcess copies[2];
        for (QProcess& copy : copies)
            copy.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--copy")});
        for (QProcess& copy : copies) QVERIFY(copy.waitForFinished(60000) && copy.exitCode() == 0);
        const ColourFigures f = StatisticsStore().Load().figures(8);
        QCOMPARE((QList<int64_t>{f.played, f.finished}),
                 (QList<int64_t>{2 * CopyGames, CopyGames}));
    }

    // While another copy holds the lock, a game waits and is written by the next call.
    void busyLockKeepsTheGame() {
        StatisticsStore store;
        QVERIFY(store.Record(Played("first", 20)));
        QLockFile other(StatisticsStore::Path() + QStringLiteral(".lock"));
        QVERIFY(other.tryLock(0));
        QVERIFY(!store.Record(Played("second", 40)));
        QCOMPARE(store.Load().figures(6).played, 2);  // this copy's game is shown
        QCOMPARE(StatisticsStore().Load().figures(6).played, 1);
        other.unlock();
        QVERIFY(store.Flush() && StatisticsStore().Load().figures(6).played == 2);
    }

    void unusableFiles_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("suffix");
        for (const char* kind : {"empty", "garbage", "old version", "damaged"})
            QTest::newRow(kind) << kind << ".damaged";
        QTest::newRow("huge") << QStringLiteral("huge") << ".too-large";
        for (const char* kind : {"hard link", "link"}) QTest::newRow(kind) << kind << ".not-ours";
        for (const char* kind : {"FIFO", "folder"}) QTest::newRow(kind) << kind << ".not-a-file";
    }
    // A file that cannot be used is moved aside with a line on stderr, never followed or
    // blocked on; counting starts afresh beside it.
    void unusableFiles() {
        QFETCH(QString, kind);
        QFETCH(QString, suffix);
        const QString path = StatisticsStore::Path();
        QDir().mkpath(QFileInfo(path).path());
        const QString other = state_.path() + QStringLiteral("/other.txt");
        QFile otherFile(other);
        QVERIFY(otherFile.open(QIODevice::WriteOnly) && otherFile.write("kept\n") == 5);
        otherFile.close();
        const QByteArray name = QFile::encodeName(path);
        QFile file(path);
        if (kind == "FIFO") {
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        } else if (kind == "link") {
            QVERIFY(QFile::link(other, path));
        } else if (kind == "hard link") {
            QCOMPARE(::link(QFile::encodeName(other).constData(), name.constData()), 0);
        } else if (kind == "folder") {
            QVERIFY(QDir().mkpath(path));
        } else {
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (kind == "garbage") file.write(QByteArray::fromHex("7f454c46000102030a"));
            if (kind == "old version") file.write("Orbelix statistics 0\ngame a 6 20 1 0 -\n");
            if (kind == "damaged") file.write("Orbelix statistics 1\ngame a 6 20 1 0 -\ngame b\n");
            if (kind == "huge") file.write(QByteArray(StatisticsStore::MaxFileSize + 1, '\n'));
            file.close();
        }
        StatisticsStore store;
        const QString said = StderrOf([&store] { QCOMPARE(store.Load().figures(6).played, 0); });
        QVERIFY2(said.contains(path) && said.contains(path + suffix), qPrintable(said));
        QVERIFY(QFileInfo::exists(path + suffix) || QFileInfo(path + suffix).isSymLink());
        QVERIFY(store.Record(Played("new", 20)));
        QCOMPARE(StatisticsStore().Load().figures(6).played, 1);
        // Nothing was written through a link.
        QVERIFY(otherFile.open(QIODevice::ReadOnly));
        QCOMPARE(otherFile.readAll(), QByteArray("kept\n"));
    }

    // Through the window: a board dealt and left unplayed is no game; a game left by New,
    // one finished and one left by closing the window count once each, and the page, opened
    // by T, reads them out.
    void gamesThroughTheWindow() {
        using namespace orbelix::testing;
        auto window = OpenFreshWindow();
        const auto play = [&window] {
            const Cell move = FirstMove(window->game().board());
            PressOnBall(*window, move.column, move.row, move.layer);
        };
        StartGameWith(*window, ColumnBoard());
        StartGameWith(*window, ColumnBoard());
        play();
        const int32_t left = window->game().score();
        QTest::keyClick(window.get(), Qt::Key_N, Qt::ControlModifier);
        WhenModal([](QWidget* table) {
            QTest::keyClicks(table, QStringLiteral("ann"));
            QTest::keyClick(table, Qt::Key_Return);
            QTest::keyClick(table, Qt::Key_Escape);
        });
        FinishGameWith(*window, 20);
        QTest::keyClick(window.get(), Qt::Key_T);
        QVERIFY(window->currentScreen() == Screen::Statistics);
        const QString said = Control(*window, "pctStatsText")->accessibleDescription();
        const QString mean = TenthsText(5 * (left + 20));
        QVERIFY2(said.contains(QStringLiteral("6 colours: 2 played, 1 finished, 0 cleared, best "
                                              "%1, mean %2, median %2")
                                   .arg(std::max(left, 20))
                                   .arg(mean)),
                 qPrintable(said));
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QVERIFY(window->currentScreen() == Screen::Main);
        // From the rules page, by T or by its button.
        for (Qt::Key key : {Qt::Key_G, Qt::Key_F1, Qt::Key_T}) QTest::keyClick(window.get(), key);
        QVERIFY(window->currentScreen() == Screen::Statistics);
        QTest::keyClick(window.get(), Qt::Key_Space);
        QTest::keyClick(window.get(), Qt::Key_F1);
        Click(Control(*window, "pctStatistics"));
        QVERIFY(window->currentScreen() == Screen::Statistics);
        QTest::keyClick(window.get(), Qt::Key_Return);
        StartGameWith(*window, ColumnBoard());
        play();
        window->close();
        QCOMPARE(StatisticsStore().Load().figures(6).played, 3);
    }

  public:
    static constexpr int CopyGames = 40;

  private:
    QTemporaryDir state_;
};

int main(int argc, char** argv) {
    // A copy of the game for twoCopiesAtOnce: records its games, half of them twice.
    if (argc == 2 && qstrcmp(argv[1], "--copy") == 0) {
        QCoreApplication app(argc, argv);
        StatisticsStore store;
        for (int i = 0; i < TestStatistics::CopyGames; ++i) {
            GameRecord game = Played(QStringLiteral("%1-%2").arg(::getpid()).arg(i), 2 * i);
            game.colors = 8;
            game.finished = i % 2 == 0;
            if (!store.Record(game, std::chrono::seconds(10))) return 1;
            if (i % 2 == 0 && !store.Record(game, std::chrono::seconds(10))) return 1;
        }
        return 0;
    }
    QApplication app(argc, argv);
    TestStatistics test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_statistics.moc"
