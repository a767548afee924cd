#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

#include "app/FirstFrameReport.h"
#include "app/frmMain.h"
#include "screens/SignalBridge.h"

namespace {

// The command line only answers --help and --version; anything else is refused. It is
// read before any window system is touched, so both work without a display.
// Returns -1 to go on and start the game, else the exit code.
int HandleCommandLine(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Orbelix: clear a tilted box of coloured balls by clicking groups of one colour.\n"
                       "Keys: arrows move a cursor over the board, L steps through its layers,\n"
                       "Enter or Space removes the group under it; S puts symbols on the balls."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "orbelix: %s\nTry 'orbelix --help'.\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        QString text = parser.helpText();
        text.replace(QStringLiteral("<executable_name>"), QStringLiteral("orbelix"));
        std::fputs(qPrintable(text), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("Orbelix %s\n", ORBELIX_VERSION);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "orbelix: unexpected argument '%s'\nTry 'orbelix --help'.\n",
                     qPrintable(parser.positionalArguments().constFirst()));
        return 2;
    }
    return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setOrganizationName(QStringLiteral("Orbelix"));
    QCoreApplication::setApplicationName(QStringLiteral("Orbelix"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORBELIX_VERSION));
    if (const int code = HandleCommandLine(argc, argv); code >= 0) return code;

    // Whole-number scaling only, so the pixel art is enlarged by whole pixels and stays crisp.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.orbelix"));

    orbelix::frmMain window;
    orbelix::SignalBridge signalBridge([&window] { window.RequestClose(); });
    window.CentreOnScreen();
    orbelix::FirstFrameReport::Watch(&window);
    window.show();
    return QApplication::exec();
}
