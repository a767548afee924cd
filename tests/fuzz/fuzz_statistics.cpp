// Fuzz target over the statistics reader: arbitrary text read as a statistics file (what
// it accepts must read back the same after writing, with figures that add up), and the
// same bytes as the file a copy of the game finds at start. The first byte picks which.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

#include "scores/StatisticsStore.h"

using namespace orbelix;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckFigures(const Statistics& statistics) {
    for (int colors = MinColors; colors <= MaxColors; ++colors) {
        const ColourFigures f = statistics.figures(colors);
        Check(f.cleared() <= f.finished && f.finished <= f.played && f.judged <= f.played);
        const int64_t best = 10 * f.best();  // -10 with no game
        Check(f.played == 0 ? f.meanTenths() < 0 && f.medianTenths() < 0 && best < 0
                            : best <= 10 * MaxScore && f.meanTenths() <= best &&
                                  f.medianTenths() <= best && f.medianTenths() >= 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    // Never destroyed: the fuzzer ends the program with exit(), after the statics it would need.
    static auto* app = new QCoreApplication(*argc, *argv);
    Q_UNUSED(app);
    QDir().mkpath(QFileInfo(StatisticsStore::Path()).path());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool wholeFile = data[0] % 2 == 1;
    const QByteArray text(reinterpret_cast<const char*>(data + 1),
                          static_cast<qsizetype>(size - 1));
    if (!wholeFile) {
        const std::optional<Statistics> read = Statistics::FromText(text, nullptr);
        if (!read) return 0;
        CheckFigures(*read);
        const std::optional<Statistics> again = Statistics::FromText(read->ToText(), nullptr);
        Check(again.has_value() && *again == *read);
        return 0;
    }
    const QString path = StatisticsStore::Path();
    QFile::remove(path + QStringLiteral(".damaged"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    file.write(text);
    file.close();
    StatisticsStore store;
    CheckFigures(store.Load());
    Check(store.Record({QStringLiteral("fuzz"), 6, 20, true, 0, -1}));
    return 0;
}
