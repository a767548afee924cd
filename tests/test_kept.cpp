// The kept game: Game's state and Resume, the file's format read back and refused,
// hostile files in the kept game's place at start-up, and the window's side of it: a game
// by keys resumed with its cursor, always-resume at a plain start, Ctrl+C.
#include <sys/stat.h>
#include <unistd.h>

#include <QClipboard>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include "TestSupport.h"
#include "app/StartOptions.h"

#include "game/Moves.h"
#include "scores/KeptGame.h"
#include "scores/KeptGameFile.h"
#include "scores/StatisticsStore.h"

using namespace orbelix;
using namespace orbelix::testing;

namespace {

// A game of board 424242 after two moves, the cursor shown on the back layer.
KeptGame PlayedGame() {
    Game game;
    game.setColorCount(7);
    game.NewNumbered(424242);
    const auto move = [&game] {
        GroupList group;
        for (int16_t c = 1; c <= Columns; ++c)
            for (int16_t r = 1; r <= Rows; ++r)
                if (game.board()(c, r, 1) != 0 && CollectGroup(game.board(), group, {r, c, 1}) >= 2)
                    return game.RemoveGroup({r, c, 1}, [] {});
        return 0;
    };
    move();
    move();
    KeptGame kept{game.state(), {}, "424242-1765000000000-321", 3};
    kept.cursor.at = {4, 9, 3};
    kept.cursor.visible = true;
    return kept;
}

}  // namespace

class KeptTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { qputenv("XDG_STATE_HOME", State.path().toLocal8Bit()); }

    // Resume puts back everything Undo needs: the game goes on exactly as if never left.
    void resumedGameGoesOnAsTheOriginal() {
        const KeptGame kept = PlayedGame();
        const std::optional<KeptGame> read = ReadKeptGame(WriteKeptGame(kept), nullptr);
        QVERIFY(read.has_value());
        QVERIFY(*read == kept);
        QCOMPARE(read->game.boardNumber, 424242u);
        // A file of the first version, which had no record line, is read as it was.
        QByteArray first = WriteKeptGame(kept);
        first.replace("kept game 2\n", "kept game 1\n").chop(first.size() - first.indexOf("record "));
        const std::optional<KeptGame> old = ReadKeptGame(first, nullptr);
        QVERIFY(old && old->game == kept.game && old->recordId.isEmpty() && old->hints == 0);
        QCOMPARE(read->game.colorCount, int16_t{7});
        QVERIFY(read->game.undoAvailable && read->game.score > read->game.undoScore);

        Game resumed;
        resumed.setColorCount(13);
        resumed.Resume(read->game);
        QVERIFY(resumed.state() == kept.game);
        QCOMPARE(resumed.colorCount(), int16_t{13});  // the next New's count is left alone
        QVERIFY(resumed.Undo());
        QCOMPARE(resumed.board(), kept.game.undoBoard);
        QCOMPARE(resumed.score(), kept.game.undoScore);
        QCOMPARE(resumed.columnsInUse(), kept.game.undoColumnsInUse);
    }

    // New deals the board of the number it picked.
    void newDealsItsNumberedBoard() {
        Game game;
        game.Seed(99);
        game.setColorCount(9);
        game.New();
        QVERIFY(game.boardNumber() >= MinBoardNumber && game.boardNumber() <= MaxBoardNumber);
        QCOMPARE(game.board(), DealNumbered(game.boardNumber(), 9));
        QCOMPARE(game.dealtColors(), int16_t{9});
    }

    // Each row changes one line of a good file (the line that starts with `key`), or
    // appends to it (+), cuts its last byte (-) or swaps two lines (swap).
    void refusedFormats_data() {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("problem");
        const auto row = [](const char* name, const char* key, const QByteArray& line,
                            const char* problem) {
            QTest::newRow(name) << QByteArray(key) << line << QString::fromLatin1(problem);
        };
        row("another version", "Orbelix", "Orbelix kept game 3", "another version of the format (3)");
        row("version 1 with a record", "Orbelix", "Orbelix kept game 1", "past its last line");
        row("no heading", "Orbelix", "Orbelyx kept game 2", "not a kept game");
        row("number past the last", "number", "number 1000000000", "'number'");
        row("signed number", "number", "number +424242", "'number'");
        row("leading zero", "score", "score 08", "'score'");
        row("5 colours", "colours", "colours 5", "'colours'");
        row("14 colours", "colours", "colours 14", "'colours'");
        row("score 602", "score", "score 602", "'score'");
        row("11 columns", "columns", "columns 11", "'columns'");
        row("undo 2", "undo", "undo 2", "'undo'");
        row("a colour past the count", "board", "board " + QByteArray(300, '8'), "no colour of 7");
        row("299 cells", "board", "board " + QByteArray(299, '1'), "not 300 cells");
        row("cursor off the board", "cursor", "cursor 9 4 4 shown", "'cursor'");
        row("cursor at column 0", "cursor", "cursor 0 4 3 shown", "'cursor'");
        row("cursor neither shown nor hidden", "cursor", "cursor 9 4 3 on", "'cursor'");
        row("record without hints", "record", "record 424242-1-2", "'record'");
        row("record with a slash in its name", "record", "record 4/2 3", "'record'");
        row("record with a blank in its name", "record", "record 4 2 3", "'record'");
        row("negative hints", "record", "record 4-2 -3", "'record'");
        row("a line after the last", "+", "x\n", "past its last line");
        row("no last line break", "-", "", "past its last line");
        row("lines swapped", "swap", "", "no 'colours'");
    }
    void refusedFormats() {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, line);
        QFETCH(QString, problem);
        const QByteArray good = WriteKeptGame(PlayedGame());
        QVERIFY(ReadKeptGame(good, nullptr).has_value());
        QList<QByteArray> lines = good.split('\n');
        if (key == "swap") lines.swapItemsAt(2, 3);
        for (QByteArray& text : lines)
            if (text.startsWith(key + ' ')) text = line;
        QByteArray bad = lines.join('\n');
        if (key == "+") bad += line;
        if (key == "-") bad.chop(1);
        QVERIFY(bad != good);
        QString why;
        QVERIFY(!ReadKeptGame(bad, &why).has_value());
        QVERIFY2(why.contains(problem), qPrintable(why));
    }

    // A game with no move left is over and not kept: reading one refuses it.
    void finishedGameIsNoKeptGame() {
        KeptGame kept = PlayedGame();
        kept.game.board = {};
        kept.game.board(1, 10, 1) = 1;
        QString why;
        QVERIFY(!ReadKeptGame(WriteKeptGame(kept), &why).has_value());
        QVERIFY(why.contains(QStringLiteral("over")));
        kept.game.board(2, 10, 1) = 1;
        QVERIFY(ReadKeptGame(WriteKeptGame(kept), &why).has_value());
    }

    // Whatever lies in the kept game's place, start-up reads a game, or sets the thing
    // aside with one message, at once.
    void hostileFiles_data() {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"empty", "garbage", "huge", "old version", "fifo", "link",
                                 "dangling link", "folder", "hard link"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
    void hostileFiles() {
        QFETCH(QString, kind);
        const QString path = KeptGameFile::Path();
        QVERIFY(KeptGameFile::Keep(PlayedGame(), nullptr));
        const QByteArray name = QFile::encodeName(path);
        const QByteArray good = QFile::encodeName(State.filePath(QStringLiteral("good")));
        QFile::remove(QString::fromLocal8Bit(good));
        QVERIFY(::rename(name.constData(), good.constData()) == 0);
        const auto write = [&](const QByteArray& bytes) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };
        if (kind == QLatin1String("empty")) write({});
        if (kind == QLatin1String("garbage")) write(QByteArray(300, '\xff'));
        if (kind == QLatin1String("huge")) write(QByteArray(64 * 1024 * 1024, 'x'));
        if (kind == QLatin1String("old version")) write("Orbelix kept game 0\nnumber 1\n");
        if (kind == QLatin1String("fifo")) QVERIFY(::mkfifo(name.constData(), 0600) == 0);
        if (kind == QLatin1String("link")) QVERIFY(::symlink(good.constData(), name.constData()) == 0);
        if (kind == QLatin1String("dangling link")) QVERIFY(::symlink("/nowhere", name.constData()) == 0);
        if (kind == QLatin1String("folder")) QVERIFY(QDir().mkdir(path));
        if (kind == QLatin1String("hard link")) QVERIFY(::link(good.constData(), name.constData()) == 0);

        QElapsedTimer clock;
        clock.start();
        const KeptGameFile::Loaded loaded = KeptGameFile::Load();
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY(!loaded.game.has_value());
        QVERIFY2(loaded.problem.contains(path) && loaded.problem.contains(QStringLiteral("moved to")),
                 qPrintable(loaded.problem));
        QVERIFY(!QFileInfo(path).exists() && !QFileInfo(path).isSymLink());
        QVERIFY(QFileInfo(path + QStringLiteral(".rejected")).exists() ||
                QFileInfo(path + QStringLiteral(".rejected")).isSymLink());
        // The next start finds nothing, and says nothing.
        const KeptGameFile::Loaded next = KeptGameFile::Load();
        QVERIFY(!next.game.has_value() && next.problem.isEmpty());
        QDir(path + QStringLiteral(".rejected")).removeRecursively();
        QFile::remove(path + QStringLiteral(".rejected"));
    }

    void keptThenForgotten() {
        QVERIFY(KeptGameFile::Keep(PlayedGame(), nullptr));
        const KeptGameFile::Loaded loaded = KeptGameFile::Load();
        QVERIFY(loaded.game.has_value() && *loaded.game == PlayedGame());
        QVERIFY(KeptGameFile::Forget(nullptr));
        QVERIFY(!KeptGameFile::Load().game.has_value());
        QVERIFY(KeptGameFile::Forget(nullptr));  // nothing to forget is no failure
    }

    // Played by keys, closed, started again with --resume: the same game, Undo step and
    // cursor, shown where it stood.
    void keyboardGameResumesWithItsCursor() {
        auto window = OpenFreshWindow();
        window->NewNumberedGame(424242);
        const Cell move = FirstMove(window->game().board());
        QVERIFY(move.layer == 1);
        QTest::keyClick(window.get(), Qt::Key_Down);  // shows the cursor at (1, 1, 1)
        for (int r = 1; r < move.row; ++r) QTest::keyClick(window.get(), Qt::Key_Down);
        for (int c = 1; c < move.column; ++c) QTest::keyClick(window.get(), Qt::Key_Right);
        QTest::keyClick(window.get(), Qt::Key_Return);
        QVERIFY(window->game().score() > 0 && window->game().undoAvailable());
        const GameState played = window->game().state();
        window->close();
        const int64_t counted = StatisticsStore().Load().figures(6).played;

        frmMain next;
        QVERIFY(!next.game().gameInProgress());  // a plain start shows the title
        StartAsAsked(next, GameOptions{0, 0, true});
        QVERIFY(next.game().state() == played);
        QVERIFY(next.cursor().visible);
        QCOMPARE(next.cursor().at, move);
        QCOMPARE(next.game().dealtBoard(), DealNumbered(424242, 6));  // judged from its deal
        // Closed again, it is still the one game in the statistics.
        next.show();
        next.close();
        QCOMPARE(StatisticsStore().Load().figures(6).played, counted);
    }

    // With always-resume on, a plain start goes on with the kept game; without a kept
    // game, it shows the title.
    void alwaysResumeAtAPlainStart() {
        auto window = OpenFreshWindow();
        window->NewNumberedGame(77);
        QTest::keyClick(window.get(), Qt::Key_R);
        QVERIFY(window->alwaysResume());
        window->close();
        {
            frmMain next;
            StartAsAsked(next, {});
            QCOMPARE(next.game().boardNumber(), 77u);
            QVERIFY(next.game().gameInProgress());
            // Ctrl+C copies the board in play.
            next.show();
            QTest::keyClick(&next, Qt::Key_C, Qt::ControlModifier);
            QCOMPARE(QGuiApplication::clipboard()->text(),
                     QStringLiteral("Orbelix board 77, 6 colours"));
        }
        QVERIFY(KeptGameFile::Forget(nullptr));
        frmMain last;
        StartAsAsked(last, {});
        QVERIFY(last.alwaysResume() && !last.game().gameInProgress());
    }

  private:
    QTemporaryDir State;
};

QTEST_MAIN(KeptTest)
#include "test_kept.moc"
