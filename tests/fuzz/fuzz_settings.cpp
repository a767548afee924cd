// Fuzz target over everything the game reads from its settings file: the number
// reading, the high-score table drawn from arbitrary names and scores, and a whole
// settings file loaded at start-up. The first byte picks which.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

#include "platform/SettingsFile.h"
#include "scores/HighScoreTable.h"
#include "scores/StoredText.h"
#include "ui/frmHighScore.h"
#include "ui/frmMain.h"

using namespace orbelix;

namespace {

frmMain* window = nullptr;
frmHighScore* table = nullptr;

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
    for (int r = 1; r <= TableRows; ++r) {
        uint32_t value = 0;
        for (int b = 0; b < 4 && size > 0; ++b, ++data, --size) value = value << 8 | *data;
        mdlMain::HighScores[r] = static_cast<int32_t>(value);
    }
    const QStringList names =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))
            .split(QLatin1Char('\n'));
    for (int r = 1; r <= TableRows; ++r)
        mdlMain::HighScoreNames[r] = r - 1 < names.size() ? names[r - 1] : QString();
    mdlMain::NewEntryRow = static_cast<int16_t>(size % 11);
    table->Form_Load();
    if (mdlMain::NewEntryRow != 0)
        for (int k : {int('a'), int('7'), 8, 13}) table->Form_KeyPress(static_cast<int16_t>(k));
}

void WholeFile(const uint8_t* data, size_t size) {
    QFile file(SettingsFile::Path());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    file.close();
    window->LoadSettings();
    Check(window->game().colorCount() >= MinColors && window->game().colorCount() <= MaxColors);
    mdlMain::NewEntryRow = 0;
    table->Form_Load();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Qt's warnings about odd keys in a mangled file are expected here, by the thousand.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("SDL_AUDIODRIVER", "dummy");
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    static QApplication app(*argc, *argv);
    window = new frmMain;
    table = new frmHighScore(*window);
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
