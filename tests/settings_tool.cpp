// A helper process for the settings tests: it writes the settings file in a loop or
// once, so that tests can kill it mid-save or point it at folders it cannot write.
//   settings_tool once N    write every key for generation N; exit 0, or 3 if not written
//   settings_tool loop      write generations 1, 2, 3... until killed
//   settings_tool hold MS KEY VALUE   take the lock, say "locked", wait MS ms, write KEY
//   settings_tool stuck KEY=VALUE     a save of KEY that never ends: says "stuck", waits
//                                     until a signal ends it
#include <QCoreApplication>
#include <QThread>
#include <cstdio>

#include "platform/SettingsFile.h"
#include "platform/SignalBridge.h"
#include "scores/StoredText.h"

using namespace orbelix;

static SettingsFile::Entries Generation(int n) {
    SettingsFile::Entries entries;
    entries.append({QStringLiteral("Sound"), WriteStoredSound(n % 2 == 1)});
    for (int r = 1; r <= 10; ++r) {
        entries.append({QStringLiteral("HighScoreName%1").arg(r), QStringLiteral("GEN%1").arg(n)});
        entries.append({QStringLiteral("HighScore%1").arg(r), WriteStoredScore(n)});
    }
    entries.append(
        {QStringLiteral("ColorCount"), WriteStoredColorCount(static_cast<int16_t>(6 + n % 8))});
    return entries;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() >= 3 && args[1] == QLatin1String("once"))
        return SettingsFile::WriteAll(Generation(args[2].toInt())) ? 0 : 3;
    if (args.size() >= 2 && args[1] == QLatin1String("loop")) {
        std::puts("ready");
        std::fflush(stdout);
        for (int n = 1;; ++n) SettingsFile::WriteAll(Generation(n));
    }
    if (args.size() >= 5 && args[1] == QLatin1String("hold")) {
        const auto outcome = SettingsFile::Update(
            [&args](const SettingsFile::Keys&) {
                std::puts("locked");
                std::fflush(stdout);
                QThread::msleep(args[2].toULong());
                return SettingsFile::Entries{{args[3], args[4]}};
            },
            nullptr, std::chrono::seconds(10));
        return outcome == SettingsFile::Outcome::Saved ? 0 : 3;
    }
    if (args.size() >= 3 && args[1] == QLatin1String("stuck")) {
        SignalBridge bridge([] {}, [] { SettingsFile::KeepChangeInFlight(); });
        SettingsFile::SetChangeInFlight({{args[2].section('=', 0, 0), args[2].section('=', 1)}});
        std::puts("stuck");
        std::fflush(stdout);
        for (;;) QThread::sleep(60);  // as a save stuck under the lock would
    }
    std::fputs("usage: settings_tool once N | loop | hold MS KEY VALUE | stuck KEY=VALUE\n",
               stderr);
    return 2;
}
