// The removal sound: which sound a start plays, and that starts never queue up.
#include <QTemporaryDir>
#include <QtTest>

#include "moves/Sound.h"

using namespace orbelix;

class SoundTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void fileOrFallback_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("fallback");
        QFile wave(QStringLiteral(ORBELIX_SOURCE_DIR "/assets/Bleep.wav"));
        QVERIFY(wave.open(QIODevice::ReadOnly));
        QTest::newRow("the game's bleep") << "Bleep.wav" << wave.readAll() << false;
        QTest::newRow("missing file") << "" << QByteArray() << true;
        QTest::newRow("not a wave file") << "Garbage.wav" << QByteArray("RIFF\x10\0\0\0WAVEjunkjunk", 20) << true;
        QTest::newRow("empty file") << "Empty.wav" << QByteArray() << true;
    }
    void fileOrFallback() {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(bool, fallback);
        QString path = dir.filePath(QStringLiteral("missing.wav"));
        if (!file.isEmpty()) {
            path = dir.filePath(file);
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(content);
        }
        SoundPlayer player;
        player.start(path.toStdString());
        QCOMPARE(player.lastWasFallback(), fallback);
        QVERIFY(player.lastLength() > 0);
    }

    void aChangedFileIsReadAgain() {
        const QString path = dir.filePath(QStringLiteral("Changing.wav"));
        QFile::remove(path);
        SoundPlayer player;
        player.setRecheckInterval(std::chrono::milliseconds(0));
        player.start(path.toStdString());
        QVERIFY(player.lastWasFallback());
        QVERIFY(QFile::copy(QStringLiteral(ORBELIX_SOURCE_DIR "/assets/Bleep.wav"), path));
        player.start(path.toStdString());
        QVERIFY(!player.lastWasFallback());
    }

    void aChangeIsSeenAtTheNextLook() {
        const QString path = dir.filePath(QStringLiteral("Later.wav"));
        QFile::remove(path);
        SoundPlayer player;
        player.setRecheckInterval(std::chrono::milliseconds(30));
        player.start(path.toStdString());
        QVERIFY(QFile::copy(QStringLiteral(ORBELIX_SOURCE_DIR "/assets/Bleep.wav"), path));
        player.start(path.toStdString());
        QVERIFY(player.lastWasFallback());  // the same moment: the last look holds
        QTest::qWait(40);
        player.start(path.toStdString());
        QVERIFY(!player.lastWasFallback());
    }

    void alternativeIsUsedWhenThePathIsMissing() {
        SoundPlayer player;
        player.start(dir.filePath(QStringLiteral("nowhere.wav")).toStdString(), ORBELIX_SOURCE_DIR "/assets/Bleep.wav");
        QVERIFY(!player.lastWasFallback());
    }

    void startsCutEachOtherOff() {
        SoundPlayer player;
        const std::string path = ORBELIX_SOURCE_DIR "/assets/Bleep.wav";
        for (int i = 0; i < 300; ++i) player.start(path);
        QCOMPARE(player.starts(), 300);
        // With a device (the dummy driver in tests) at most one bleep is ever waiting.
        if (player.deviceOpen()) QVERIFY(player.queuedBytes() <= player.lastLength());
    }
};

QTEST_GUILESS_MAIN(SoundTest)
#include "test_sound.moc"
