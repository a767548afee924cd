// The kept game through the real game window in a process of its own, killed at random
// moments: --resume brings back the last move and its Undo every time, a plain start
// still shows the title, numbered boards are dealt alike, and a bad kept game is set
// aside with a message.
#include <sys/stat.h>

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "game/BoardModel.h"

class ResumeTest : public QObject {
    Q_OBJECT

    QTemporaryDir home;

    QString KeptPath() const { return home.filePath(QStringLiteral("state/Orbelix/kept-game")); }

    // Starts the player with these arguments and reads how it started.
    std::unique_ptr<QProcess> Start(const QStringList& arguments, QByteArray& started) {
        auto player = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_STATE_HOME"), home.filePath(QStringLiteral("state")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
        player->setProcessEnvironment(env);
        player->start(QStringLiteral(KEPT_PLAYER), arguments);
        started = Line(*player);
        return player;
    }
    static QByteArray Line(QProcess& player) {
        for (int wait = 0; !player.canReadLine() && wait < 100; ++wait)
            player.waitForReadyRead(100);
        return player.readLine().trimmed();
    }
    static QByteArray Ask(QProcess& player, const char* command) {
        player.write(QByteArray(command) + '\n');
        return Line(player);
    }
    // The score and the board of a state line, without the undo step.
    static QByteArray ScoreAndBoard(const QByteArray& state) {
        const QList<QByteArray> parts = state.split(' ');
        return parts.size() == 5 ? parts[1] + ' ' + parts[3] : QByteArray("not a state");
    }

  private slots:
    void killedAfterEveryMoveResumesTheLastMove() {
        QRandomGenerator random(29);
        QByteArray last, before;  // the state after the last move, and before it
        uint32_t number = 424242;
        for (int round = 0; round < 50; ++round) {
            QByteArray started;
            auto player = last.isEmpty()
                              ? Start({QStringLiteral("--board"), QString::number(number)}, started)
                              : Start({QStringLiteral("--resume")}, started);
            QCOMPARE(started, QByteArray("start board"));
            const QByteArray resumed = Line(*player);
            if (!last.isEmpty()) {
                QVERIFY2(resumed == last, qPrintable(QStringLiteral("round %1").arg(round)));
                if (!before.isEmpty()) {
                    QVERIFY2(ScoreAndBoard(Ask(*player, "undo")) == ScoreAndBoard(before),
                             qPrintable(QStringLiteral("Undo in round %1").arg(round)));
                    last = before;
                    before.clear();
                }
            } else {
                last = resumed;
            }
            for (int moves = random.bounded(1, 4); moves > 0; --moves) {
                const QByteArray after = Ask(*player, "move");
                if (after == "over") {
                    last.clear();
                    ++number;
                    break;
                }
                QVERIFY(after.startsWith("state "));
                before = std::exchange(last, after);
            }
            // The game is kept within a second of the move: the kill comes at a random
            // moment past that.
            QTest::qWait(random.bounded(1000, 1100));
            player->kill();
            QVERIFY(player->waitForFinished(5000));
        }
        // A plain start after a kill shows the title, and leaves the kept game alone.
        QByteArray started;
        auto plain = Start({}, started);
        QCOMPARE(started, QByteArray("start title"));
        QCOMPARE(Line(*plain), QByteArray("over"));
        plain->kill();
        plain->waitForFinished(5000);
        QCOMPARE(QFileInfo::exists(KeptPath()), !last.isEmpty());
    }

    void numberedBoardsAreDealtAlike() {
        QByteArray boards[3];
        const char* numbers[3] = {"424242", "424242", "424243"};
        for (int i = 0; i < 3; ++i) {
            QByteArray started;
            auto player = Start({QStringLiteral("--board"), QLatin1String(numbers[i])}, started);
            boards[i] = Line(*player).split(' ').value(3);
            player->kill();
            player->waitForFinished(5000);
        }
        QCOMPARE(boards[0].size(), 300);
        QCOMPARE(boards[0], boards[1]);
        QVERIFY(boards[0] != boards[2]);
        QCOMPARE(orbelix::DealNumbered(424242, 6)(1, 1, 1), static_cast<int16_t>(boards[0][0] - '0'));
    }

    // A bad kept game at --resume: one message, then the title, and no hang.
    void badKeptGameStartsAsUsual_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("garbage") << "garbage";
        QTest::newRow("fifo") << "fifo";
    }
    void badKeptGameStartsAsUsual() {
        QFETCH(QString, kind);
        QDir().mkpath(QFileInfo(KeptPath()).path());
        QFile::remove(KeptPath());
        if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(KeptPath()).constData(), 0600), 0);
        } else {
            QFile file(KeptPath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("\x7f" "ELF\n\n\nnumber 5\n");
        }
        QByteArray started;
        auto player = Start({QStringLiteral("--resume")}, started);
        QCOMPARE(started, QByteArray("start title"));
        player->kill();
        player->waitForFinished(5000);
        const QString error = QString::fromLocal8Bit(player->readAllStandardError());
        QVERIFY2(error.contains(QStringLiteral("moved to ") + KeptPath() + QStringLiteral(".rejected")),
                 qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("no kept game to resume")), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(ResumeTest)
#include "test_resume.moc"
