#include "platform/Environment.h"

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace orbelix {

void OpenStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open() takes the lowest free descriptor, which is this one.
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

QString AskedPlatform(int argc, char* argv[]) {
    QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            platform = QString::fromLocal8Bit(argv[i + 1]);
    return platform;
}

QString DisplayProblem(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i)
        for (const char* answersAlone :
             {"-h", "--help", "-help", "--help-all", "-v", "--version", "-version"})
            if (std::strcmp(argv[i], answersAlone) == 0) return QString();
    const QString platform = AskedPlatform(argc, argv);
    if (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb"))) return QString();
    if (platform.isEmpty() &&
        qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") &&
        qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
        return QString();
    if (qEnvironmentVariable("DISPLAY").isEmpty())
        return QStringLiteral("no display to open: DISPLAY is not set");
    return QString();
}

namespace {

// What Qt says while it opens the display. Its words about a platform that failed are
// held back: followed by Qt's fatal error, they become one line of the program's own;
// otherwise (another platform was taken) they are passed on once the display is open.
struct HeldMessage {
    QtMsgType type;
    const char* category;  // Qt's categories are static strings
    QString text;
};
QtMessageHandler nextHandler = nullptr;
QList<HeldMessage>* heldMessages = nullptr;
QString refusedDisplay;  // the display Qt said it could not connect to

void Pass(QtMsgType type, const char* category, const QString& text) {
    const QMessageLogContext context(nullptr, 0, nullptr, category);
    nextHandler(type, context, text);
}

void WatchOpening(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const QLatin1String category(context.category != nullptr ? context.category : "");
    if (type == QtFatalMsg && !refusedDisplay.isNull()) {
        std::fprintf(stderr, "orbelix: cannot open the display '%s'\n",
                     qPrintable(refusedDisplay));
        std::_Exit(1);
    }
    if (type != QtFatalMsg && category.startsWith(QLatin1String("qt.qpa."))) {
        static const QString refusal = QStringLiteral("could not connect to display ");
        if (category == QLatin1String("qt.qpa.xcb") && text.startsWith(refusal))
            refusedDisplay = text.mid(refusal.size());
        heldMessages->append({type, context.category, text});
        return;
    }
    if (type == QtFatalMsg)
        for (const HeldMessage& held : std::as_const(*heldMessages))
            Pass(held.type, held.category, held.text);
    nextHandler(type, context, text);
}

}  // namespace

void WatchDisplayOpening() {
    if (heldMessages != nullptr) return;
    heldMessages = new QList<HeldMessage>;
    nextHandler = qInstallMessageHandler(WatchOpening);
}

void DisplayOpened() {
    if (heldMessages == nullptr) return;
    qInstallMessageHandler(nextHandler);
    for (const HeldMessage& held : std::as_const(*heldMessages))
        Pass(held.type, held.category, held.text);
    delete heldMessages;
    heldMessages = nullptr;
    refusedDisplay.clear();
    // nextHandler stays: a thread of the start (the session bus's) may still be in
    // WatchOpening with a message of its own, which goes on to it.
}

void ReturnFreedMemorySoon() {
    static QTimer* timer = [] {
        auto* t = new QTimer(QCoreApplication::instance());
        t->setSingleShot(true);
        t->setInterval(1000);
        QObject::connect(t, &QTimer::timeout, [] { malloc_trim(0); });
        return t;
    }();
    // Once a second during a flood, and once when it has passed.
    static QElapsedTimer sinceTrim;
    if (!sinceTrim.isValid() || sinceTrim.elapsed() > 1000) {
        malloc_trim(0);
        sinceTrim.start();
    }
    timer->start();
}

}  // namespace orbelix
