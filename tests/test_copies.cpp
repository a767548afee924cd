// Real copies of the game sharing one settings folder: games finished and windows
// closed at the same moment lose nothing, and a display that dies during name entry
// leaves the placed score on disk.
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <csignal>

#include "platform/SettingsFile.h"
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

QProcessEnvironment Environment(const QString& config) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    return env;
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

    void aDyingDisplayKeepsThePlacedScore() {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty()) QSKIP("Xvfb is not installed");
        QProcess server;
        int display = 0;
        for (int n = 41; n <= 49 && display == 0; ++n) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n))) continue;
            server.start(xvfb, {QStringLiteral(":%1").arg(n), QStringLiteral("-nolisten"),
                                QStringLiteral("tcp"), QStringLiteral("-screen"),
                                QStringLiteral("0"), QStringLiteral("800x600x24")});
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) ||
                                         server.state() == QProcess::NotRunning,
                                     10000);
            if (server.state() == QProcess::Running) display = n;
        }
        if (display == 0) QSKIP("no free display between :41 and :49");

        QTemporaryDir config;
        QProcessEnvironment env = Environment(config.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":%1").arg(display));
        QProcess game;
        game.setProcessEnvironment(env);
        game.start(QStringLiteral(GAME_PLAYER),
                   {QStringLiteral("516"), QStringLiteral("ZED"), QStringLiteral("stay")});
        QVERIFY(game.waitForReadyRead(20000));
        QCOMPARE(game.readLine().trimmed(), QByteArray("ready"));
        game.write("go\n");
        QTRY_VERIFY_WITH_TIMEOUT(game.canReadLine() || game.waitForReadyRead(100), 20000);
        QCOMPARE(game.readLine().trimmed(), QByteArray("naming"));

        ::kill(static_cast<pid_t>(server.processId()), SIGKILL);
        server.waitForFinished(10000);
        // A killed server cannot remove its lock and socket; left, they would use up the displays.
        QFile::remove(QStringLiteral("/tmp/.X%1-lock").arg(display));
        QFile::remove(QStringLiteral("/tmp/.X11-unix/X%1").arg(display));
        QVERIFY(game.waitForFinished(20000));
        qInfo("the game ended with status %d: %s", game.exitCode(),
              game.readAllStandardError().trimmed().constData());
        const auto keys = StoredKeys(config.path());
        QCOMPARE(keys.value(QStringLiteral("HighScore1")), QStringLiteral(" 516"));
        // The letters typed before the display died were saved on the way out.
        QCOMPARE(keys.value(QStringLiteral("HighScoreName1")), QStringLiteral("ZE"));
    }
};

QTEST_GUILESS_MAIN(CopiesTest)
#include "test_copies.moc"
