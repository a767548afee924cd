// Fuzz target over everything the game reads from its settings file: the number
// reading, the high-score table drawn from arbitrary names and scores, and a whole
// settings file loaded at start-up. The first byte picks which.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

#include "platform/SettingsFile.h"
#include "scores/HighScoreTable.h"
#include "scores/Settings.h"
#include "scores/StoredText.h"
#include "ui/frmHighScore.h"

using namespace orbelix;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void NumberReading(const QString& text) {
    const int32_t score = ReadStoredScore(text);
    Check(ReadStoredScore(WriteStoredScore(score)) == score);
    const int16_t colours = ReadStoredColorCount(text);
    Check(colours >= MinColors && colours <= MaxColors);
    ReadStoredSound(text);
}

void TableDrawing(const uint8_t* data, size_t size) {
    // Ten scores of four bytes each, then ten names split at newlines.
    HighScoreTable table;
    int32_t scores[TableRows + 1] = {};
    for (int r = 1; r <= TableRows; ++r) {
        uint32_t value = 0;
        for (int b = 0; b < 4 && size > 0; ++b, ++data, --size) value = value << 8 | *data;
        scores[r] = static_cast<int32_t>(value);
    }
    const QStringList names =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))
            .split(QLatin1Char('\n'));
    for (int r = 1; r <= TableRows; ++r)
        table.setRow(r, r - 1 < names.size() ? names[r - 1] : QString(), scores[r]);
    table.setNewEntryRow(static_cast<int16_t>(size % 11));
    frmHighScore window(nullptr, table);
    if (table.newEntryRow() == 0) return;
    for (const auto& [key, text] :
         {std::pair{Qt::Key_A, "a"}, std::pair{Qt::Key_7, "7"}, std::pair{Qt::Key_Backspace, "\b"},
          std::pair{Qt::Key_Return, "\r"}}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString::fromLatin1(text));
        QCoreApplication::sendEvent(&window, &press);
    }
}

void WholeFile(const uint8_t* data, size_t size) {
    QFile file(SettingsFile::Path());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    file.close();
    SettingsStore store;
    HighScoreTable table;
    const Options options = store.LoadSettings(table);
    Check(options.ColorCount >= MinColors && options.ColorCount <= MaxColors);
    Check(options.Zoom >= 1 && options.Zoom <= 4);
    frmHighScore window(nullptr, table);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Qt's warnings about odd keys in a mangled file are expected here, by the thousand.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("SDL_AUDIODRIVER", "dummy");
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    // Never destroyed: the fuzzer ends the program with exit(), after the statics it would need.
    static auto* app = new QApplication(*argc, *argv);
    Q_UNUSED(app);
    QDir().mkpath(QFileInfo(SettingsFile::Path()).path());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t mode = data[0] % 3;
    ++data;
    --size;
    switch (mode) {
        case 0:
            NumberReading(QString::fromUtf8(reinterpret_cast<const char*>(data),
                                            static_cast<qsizetype>(size)));
            break;
        case 1:
            TableDrawing(data, size);
            break;
        default:
            WholeFile(data, size);
            break;
    }
    return 0;
}
