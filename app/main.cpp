#include <QApplication>
#include <QScopeGuard>
#include <algorithm>
#include <cstdio>

#include "app/CommandLine.h"
#include "app/FirstFrameReport.h"
#include "app/StartOptions.h"
#include "platform/Environment.h"
#include "platform/SessionBus.h"
#include "platform/SettingsFile.h"
#include "platform/SignalBridge.h"
#include "ui/Pictures.h"
#include "ui/frmMain.h"

namespace {

QStringList ArgumentsOf(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

}  // namespace

int main(int argc, char* argv[]) {
    orbelix::OpenStandardDescriptors();
    QCoreApplication::setOrganizationName(QStringLiteral("Orbelix"));
    QCoreApplication::setApplicationName(QStringLiteral("Orbelix"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORBELIX_VERSION));
    // --help, --version and wrong options are answered before any display is needed.
    if (const auto answer = orbelix::AnswerBeforeStart(ArgumentsOf(argc, argv));
        !answer.startGame())
        return answer.print();

    // Whole-number scaling only, so the pixel art is enlarged by whole pixels and stays crisp.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::Round);
    if (const QString problem = orbelix::DisplayProblem(argc, argv); !problem.isEmpty()) {
        std::fprintf(stderr, "orbelix: %s\n", qPrintable(problem));
        return 1;
    }
    // The title screen's pictures are decoded while the window system is connected to; at
    // the scale asked for in the environment, else at 1 (which every scale needs too). The
    // decoding has ended before main returns, whichever way it does. The same thread then
    // connects to the session bus, for the accessibility bridge.
    orbelix::frmMain::PrefetchFirstScreen(
        std::max(1, qRound(qEnvironmentVariable("QT_SCALE_FACTOR").toDouble())),
        orbelix::SessionBusConnection(argc, argv));
    const auto prefetched = qScopeGuard([] { orbelix::FinishPrefetch(); });
    orbelix::WatchDisplayOpening();
    QApplication app(argc, argv);
    orbelix::DisplayOpened();
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.orbelix"));
    // The game's own options, from what QApplication left of the command line.
    orbelix::GameOptions options;
    if (const auto answer = orbelix::ReadGameOptions(QCoreApplication::arguments(), options);
        !answer.startGame())
        return answer.print();

    orbelix::frmMain window;
    orbelix::StartAsAsked(window, options);
    // SIGTERM, SIGINT and SIGHUP close the window the normal way, so the settings are saved;
    // should the window not get to it, the change of the save under way is kept aside.
    orbelix::SignalBridge sessionEnd([&window] { window.RequestClose(); },
                                     [] { orbelix::SettingsFile::KeepChangeInFlight(); });
    window.placement().centreOnScreen();
    orbelix::FirstFrameReport::Watch(&window);
    window.show();
    return QApplication::exec();
}
