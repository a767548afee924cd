// The removal sound: which sound a start plays, and that starts never queue up.
#include <sys/resource.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <QtTest>

#include "platform/Sound.h"

using namespace orbelix;

namespace {

// A PCM wave file of silence with the header fields given, and `extra` bytes after its
// data.
void WriteWave(const QString& path, quint32 rate, quint16 channels, quint32 dataBytes,
               quint16 bits = 8, int extra = 0) {
    QByteArray header;
    QDataStream out(&header, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    const quint16 frameBytes = channels * bits / 8;
    out << quint32(16) << quint16(1) << channels << rate << quint32(rate * frameBytes) << frameBytes
        << bits;
    out.writeRawData("data", 4);
    out << dataBytes;
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(header);
    const auto size = static_cast<qsizetype>(std::min<quint32>(dataBytes, 16u << 20)) + extra;
    file.write(QByteArray(size, bits == 8 ? '\x80' : '\0'));
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
        for (const char* kind : {"1 Hz", "500 MB", "no channels", "absurd rate", "FIFO", "folder",
                                 "/dev/zero by a link"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
    void hostileFilesFallBack() {
        QFETCH(QString, kind);
        const QString path = dir.filePath(QStringLiteral("Hostile.wav"));
        QFile::remove(path);
        QDir(path).removeRecursively();
        if (kind == QLatin1String("1 Hz")) {
            WriteWave(path, 1, 1, 100 * 1024);
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

    // The limits of what is played, each at the limit and one past it: the file's size,
    // the length in sample frames whatever their size, the rate and the channels.
    void soundLimits_data() {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("extra");
        QTest::addColumn<QString>("refusal");
        const int most = 10;                       // seconds
        const int biggest = 2 * 1024 * 1024 - 44;  // bytes of data beside the header
        QTest::newRow("10 s at 8 kHz") << 8000 << 1 << 8 << most * 8000 << 0 << "";
        QTest::newRow("10 s and a frame") << 8000 << 1 << 8 << most * 8000 + 1 << 0 << "longer";
        QTest::newRow("16 bits, 6 s") << 8000 << 1 << 16 << 6 * 8000 << 0 << "";
        QTest::newRow("16-bit stereo, 3 s") << 8000 << 2 << 16 << 3 * 8000 << 0 << "";
        QTest::newRow("16-bit stereo, 10 s") << 8000 << 2 << 16 << most * 8000 << 0 << "";
        QTest::newRow("16-bit stereo, 10 s and a frame")
            << 8000 << 2 << 16 << most * 8000 + 1 << 0 << "longer";
        QTest::newRow("2 MiB, the largest file") << 96000 << 2 << 16 << biggest / 4 << 0 << "";
        QTest::newRow("2 MiB and a byte") << 96000 << 2 << 16 << biggest / 4 << 1 << "larger";
        QTest::newRow("96 kHz, 10 s") << 96000 << 1 << 8 << most * 96000 << 0 << "";
        QTest::newRow("96001 Hz") << 96001 << 1 << 8 << 1000 << 0 << "header";
        QTest::newRow("2 kHz, the lowest rate") << 2000 << 1 << 8 << 1000 << 0 << "";
        QTest::newRow("1999 Hz") << 1999 << 1 << 8 << 1000 << 0 << "header";
        QTest::newRow("8 channels, the most") << 8000 << 8 << 8 << 1000 << 0 << "";
        QTest::newRow("9 channels") << 8000 << 9 << 8 << 1000 << 0 << "header";
    }
    void soundLimits() {
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(int, bits);
        QFETCH(int, frames);
        QFETCH(int, extra);
        QFETCH(QString, refusal);
        const QString path = dir.filePath(QStringLiteral("Limit.wav"));
        WriteWave(path, quint32(rate), quint16(channels), quint32(frames * channels * bits / 8),
                  quint16(bits), extra);
        SoundPlayer player;
        player.start(path.toStdString());
        const QString refused = QString::fromStdString(player.lastRefusal());
        QVERIFY2(refusal.isEmpty() ? refused.isEmpty() : refused.contains(refusal),
                 qPrintable(refused));
        QCOMPARE(player.lastWasFallback(), !refusal.isEmpty());
        // Played at 44.1 kHz in 16-bit mono: as many seconds as the file holds.
        if (refusal.isEmpty())
            QVERIFY(qAbs(int(player.lastLength()) - int(qint64(frames) * 44100 / rate * 2)) <= 64);
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
