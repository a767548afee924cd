#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

#include "app/FirstFrameReport.h"
#include "app/frmMain.h"
#include "screens/SignalBridge.h"

int main(int argc, char* argv[]) {
    // Whole-number scaling only, so the pixel art is enlarged by whole pixels and stays crisp.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orbelix"));
    QApplication::setApplicationName(QStringLiteral("Orbelix"));
    QApplication::setApplicationVersion(QStringLiteral(ORBELIX_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.orbelix"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Orbelix: clear a tilted box of coloured balls by clicking groups of one colour."));
    parser.addHelpOption();
    parser.addVersionOption();
    if (!parser.parse(QApplication::arguments())) {
        std::fprintf(stderr, "orbelix: %s\nTry 'orbelix --help'.\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version"))) parser.showVersion();
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "orbelix: unexpected argument '%s'\nTry 'orbelix --help'.\n",
                     qPrintable(parser.positionalArguments().constFirst()));
        return 2;
    }

    orbelix::frmMain window;
    orbelix::SignalBridge signalBridge([&window] { window.RequestClose(); });
    window.CentreOnScreen();
    orbelix::FirstFrameReport::Watch(&window);
    window.show();
    return QApplication::exec();
}
