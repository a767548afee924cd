// The removal sound: which sound a start plays, and that starts never queue up.
#include <sys/resource.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <QtTest>

#include "platform/Sound.h"

using namespace orbelix;

namespace {

// A PCM wave file of 8-bit samples (silence) with the header fields given.
void WriteWave(const QString& path, quint32 rate, quint16 channels, quint32 dataBytes) {
    QByteArray header;
    QDataStream out(&header, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << channels << rate << quint32(rate * channels)
        << quint16(channels) << quint16(8);
    out.writeRawData("data", 4);
    out << dataBytes;
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(header);
    file.write(QByteArray(static_cast<qsizetype>(std::min<quint32>(dataBytes, 16u << 20)), '\x80'));
}

}  // namespace

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
        QTest::newRow("not a wave file")
            << "Garbage.wav" << QByteArray("RIFF\x10\0\0\0WAVEjunkjunk", 20) << true;
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
        auto now = std::chrono::steady_clock::time_point(std::chrono::hours(1));
        player.setClock([&now] { return now; });
        player.setRecheckInterval(std::chrono::milliseconds(30));
        player.start(path.toStdString());
        QVERIFY(QFile::copy(QStringLiteral(ORBELIX_SOURCE_DIR "/assets/Bleep.wav"), path));
        now += std::chrono::milliseconds(29);
        player.start(path.toStdString());
        QVERIFY(player.lastWasFallback());  // the same moment: the last look holds
        now += std::chrono::milliseconds(1);
        player.start(path.toStdString());
        QVERIFY(!player.lastWasFallback());
    }

    // Files that must not freeze the game or eat its memory: each is refused before it
    // is converted, and the built-in sound plays instead.
    void hostileFilesFallBack_data() {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"1 Hz", "11 s at 8 kHz", "500 MB", "no channels", "absurd rate",
                                 "FIFO", "folder", "/dev/zero by a link"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
    void hostileFilesFallBack() {
        QFETCH(QString, kind);
        const QString path = dir.filePath(QStringLiteral("Hostile.wav"));
        QFile::remove(path);
        QDir(path).removeRecursively();
        if (kind == QLatin1String("1 Hz")) {
            WriteWave(path, 1, 1, 100 * 1024);
        } else if (kind == QLatin1String("11 s at 8 kHz")) {
            WriteWave(path, 8000, 1, 11 * 8000);
        } else if (kind == QLatin1String("500 MB")) {
            WriteWave(path, 8000, 1, 1024);
            QVERIFY(QFile::resize(path, 500LL * 1024 * 1024));  // sparse: costs no disk
        } else if (kind == QLatin1String("no channels")) {
            WriteWave(path, 44100, 0, 1024);
        } else if (kind == QLatin1String("absurd rate")) {
            WriteWave(path, 0x7FFFFFFF, 1, 1024);
        } else if (kind == QLatin1String("FIFO")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(path));
        } else {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        }
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        QElapsedTimer timer;
        timer.start();
        SoundPlayer player;
        player.start(path.toStdString());
        const qint64 took = timer.elapsed();
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        QFile::remove(path);
        QDir(path).removeRecursively();
        qInfo("%s: fallback after %lld ms, peak memory grew %ld kB (%s)", qPrintable(kind), took,
              after.ru_maxrss - before.ru_maxrss, player.lastRefusal().c_str());
        QVERIFY(player.lastWasFallback());
        QVERIFY(!player.lastRefusal().empty());
        QVERIFY(player.lastLength() > 0);
        QVERIFY(after.ru_maxrss - before.ru_maxrss < 32 * 1024);
    }

    // The largest sounds still taken: ten seconds, at a low rate and at the highest rate
    // that fits the size limit. What they cost is printed.
    void theLongestAllowedSoundPlays_data() {
        QTest::addColumn<int>("rate");
        QTest::newRow("8 kHz") << 8000;
        QTest::newRow("96 kHz") << 96000;
    }
    void theLongestAllowedSoundPlays() {
        QFETCH(int, rate);
        const QString path = dir.filePath(QStringLiteral("Long.wav"));
        WriteWave(path, static_cast<quint32>(rate), 1,
                  static_cast<quint32>(SoundPlayer::MaxSeconds * rate));
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        QElapsedTimer timer;
        timer.start();
        SoundPlayer player;
        player.start(path.toStdString());
        const qint64 took = timer.elapsed();
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        qInfo("decoded in %lld ms, peak memory grew %ld kB", took,
              after.ru_maxrss - before.ru_maxrss);
        QVERIFY(!player.lastWasFallback());
        QVERIFY(player.lastRefusal().empty());
        QCOMPARE(player.lastLength(), uint32_t(SoundPlayer::MaxSeconds * 44100 * 2));
    }

    void alternativeIsUsedWhenThePathIsMissing() {
        SoundPlayer player;
        player.start(dir.filePath(QStringLiteral("nowhere.wav")).toStdString(),
                     ORBELIX_SOURCE_DIR "/assets/Bleep.wav");
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
