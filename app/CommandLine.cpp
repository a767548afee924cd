#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <algorithm>
#include <cstdio>

#include "game/BoardModel.h"

namespace orbelix {
namespace {

// Options that QApplication and its window-system plugins take out of the command line
// (Qt 6's QGuiApplication, QApplication and the X11 plugin). They are accepted before
// QApplication has run, so that asking for --help or refusing an unknown option needs no
// display; and accepted after it, because the X11 ones stay behind on other platforms.
struct QtOption {
    const char* name;
    const char* value;  // empty for a switch
    const char* description;
};
constexpr QtOption QtOptions[] = {
    {"platform", "name[:options]", "Window-system plugin: xcb, wayland, offscreen..."},
    {"platformpluginpath", "path", "Folder to look for window-system plugins in."},
    {"platformtheme", "theme", "Platform theme to use."},
    {"plugin", "plugin", "Further input plugin to load."},
    {"qwindowgeometry", "geometry", "Size and place of the main window."},
    {"qwindowicon", "icon", "Window icon."},
    {"qwindowtitle", "title", "Window title."},
    {"reverse", "", "Right-to-left layout."},
    {"session", "session", "Session to restore, given by the session manager."},
    {"style", "style", "Widget style."},
    {"stylesheet", "file", "Style sheet."},
    {"widgetcount", "", "Report the widgets left at the end."},
    {"testability", "", "Load the testability plugin."},
    {"qmljsdebugger", "options", "QML debugger settings."},
    {"display", "host:screen", "X display to use (X11)."},
    {"geometry", "geometry", "Size and place of the main window (X11)."},
    {"title", "title", "Window title (X11)."},
    {"icon", "icon", "Window icon (X11)."},
    {"name", "name", "Resource name of the program (X11)."},
    {"visual", "id", "X visual to use (X11)."},
    {"nograb", "", "Never grab the mouse or keyboard (X11)."},
    {"dograb", "", "Allow grabs even under a debugger (X11)."},
    {"sync", "", "Synchronous X calls, for debugging (X11)."},
};

// Declares every option the command line may carry. Qt's options show in --help-all only.
void DeclareOptions(QCommandLineParser& parser, bool showQtOptions) {
    parser.setApplicationDescription(QStringLiteral(
        "Orbelix: clear a tilted box of coloured balls by clicking groups of one colour.\n"
        "Keys: arrows move a cursor over the board, L steps through its layers,\n"
        "Enter or Space removes the group under it; S puts symbols on the balls;\n"
        "G switches the guide: the group under the pointer marked with its size and\n"
        "points, clicks on the ball drawn at the pointer, and the full rules on Help;\n"
        "Ctrl+Plus, Ctrl+Minus and Ctrl+0 zoom; Ctrl+C copies the board's number;\n"
        "R switches between a plain start and always going on with the last game.\n"
        "The game in progress is kept after every move in $XDG_STATE_HOME/Orbelix/\n"
        "(~/.local/state/Orbelix/)."));
    // One dash or two, as every Qt program takes its options.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();

    // The game's own options go here, and are read in ReadOptionValues.
    parser.addOption(QCommandLineOption(
        QStringLiteral("zoom"),
        QStringLiteral("Shows the game N times as large (1 to 4), for this run."),
        QStringLiteral("N")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("board"),
        QStringLiteral("Starts with board N (1 to 999999999) at the colour count in effect;\n"
                       "the same number always deals the same board."),
        QStringLiteral("N")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("resume"),
        QStringLiteral("Goes on with the game that was in progress when the game last\n"
                       "ended, Undo included; without one, starts as usual.")));

    for (const QtOption& qt : QtOptions) {
        QCommandLineOption option(QString::fromLatin1(qt.name), QString::fromLatin1(qt.description),
                                  QString::fromLatin1(qt.value));
        if (!showQtOptions) option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

// Reads the values of the game's own options from a parsed command line. Returns an
// error text for a value the game cannot use, or an empty text.
QString ReadOptionValues(const QCommandLineParser& parser, GameOptions& options) {
    if (parser.isSet(QStringLiteral("zoom"))) {
        bool number = false;
        const int zoom = parser.value(QStringLiteral("zoom")).toInt(&number);
        if (!number || zoom < 1 || zoom > 4)
            return QStringLiteral("--zoom takes a whole number from 1 to 4");
        options.zoom = zoom;
    }
    if (parser.isSet(QStringLiteral("board"))) {
        const QString text = parser.value(QStringLiteral("board"));
        bool number = false;
        const qulonglong board = text.toULongLong(&number);
        // Digits only: no sign, no blanks, no other base.
        const bool digits = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar ch) {
            return ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
        });
        if (!number || !digits || board < MinBoardNumber || board > MaxBoardNumber)
            return QStringLiteral("--board takes a whole number from %1 to %2")
                .arg(MinBoardNumber)
                .arg(MaxBoardNumber);
        options.board = static_cast<uint32_t>(board);
    }
    options.resume = parser.isSet(QStringLiteral("resume"));
    if (options.resume && options.board != 0)
        return QStringLiteral("--board and --resume cannot be used together");
    return {};
}

CommandLineAnswer Refuse(const QString& reason) {
    CommandLineAnswer answer;
    answer.exitCode = 2;
    answer.error = QStringLiteral("orbelix: %1\nTry 'orbelix --help'.\n").arg(reason);
    return answer;
}

// Parses and checks the arguments; returns a refusal, or an answer that starts the game.
CommandLineAnswer Check(QCommandLineParser& parser, const QStringList& arguments,
                        GameOptions& options) {
    if (!parser.parse(arguments)) return Refuse(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return Refuse(QStringLiteral("unexpected argument '%1'")
                          .arg(parser.positionalArguments().constFirst()));
    if (const QString bad = ReadOptionValues(parser, options); !bad.isEmpty()) return Refuse(bad);
    return {};
}

QString HelpText(bool withQtOptions) {
    QCommandLineParser parser;
    DeclareOptions(parser, withQtOptions);
    QString text = parser.helpText();
    // Without an application object the parser cannot know the program's name.
    text.replace(QStringLiteral("<executable_name>"), QStringLiteral("orbelix"));
    return text;
}

}  // namespace

int CommandLineAnswer::print() const {
    if (!output.isEmpty()) {
        std::fputs(output.toLocal8Bit().constData(), stdout);
        std::fflush(stdout);
    }
    if (!error.isEmpty()) std::fputs(error.toLocal8Bit().constData(), stderr);
    return exitCode;
}

CommandLineAnswer AnswerBeforeStart(const QStringList& arguments) {
    // The program's name alone, as every start from a menu: nothing to parse, so no parser
    // of some thirty options is built on the way to the first frame.
    if (arguments.size() <= 1) return {};
    QCommandLineParser parser;
    DeclareOptions(parser, false);
    // Help and version are answered even beside options that are wrong.
    parser.parse(arguments);
    CommandLineAnswer answer;
    const bool helpAll = parser.isSet(QStringLiteral("help-all"));
    if (helpAll || parser.isSet(QStringLiteral("help"))) {
        answer.exitCode = 0;
        answer.output = HelpText(helpAll);
        return answer;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        answer.exitCode = 0;
        answer.output = QStringLiteral("Orbelix %1\n").arg(QStringLiteral(ORBELIX_VERSION));
        return answer;
    }
    GameOptions unused;
    answer = Check(parser, arguments, unused);
    if (answer.startGame()) answer.platform = parser.value(QStringLiteral("platform"));
    return answer;
}

CommandLineAnswer ReadGameOptions(const QStringList& arguments, GameOptions& options) {
    if (arguments.size() <= 1) {
        options.resume = false;
        return {};
    }
    QCommandLineParser parser;
    DeclareOptions(parser, false);
    return Check(parser, arguments, options);
}

}  // namespace orbelix
