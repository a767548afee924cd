#include "platform/Environment.h"

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>

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

namespace {
xcb_connection_t* displayProbe = nullptr;
}  // namespace

QString DisplayProblem(int argc, char* argv[]) {
    QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        for (const char* answersAlone :
             {"-h", "--help", "-help", "--help-all", "-v", "--version", "-version"})
            if (std::strcmp(arg, answersAlone) == 0) return QString();
        if ((std::strcmp(arg, "-platform") == 0 || std::strcmp(arg, "--platform") == 0) &&
            i + 1 < argc)
            platform = QString::fromLocal8Bit(argv[i + 1]);
    }
    if (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb"))) return QString();
    if (platform.isEmpty() &&
        qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") &&
        qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
        return QString();

    const QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty()) return QStringLiteral("no display to open: DISPLAY is not set");
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        return QStringLiteral("cannot open the display '%1'").arg(display);
    }
    // Kept open until Qt has its own connection: an X server whose last client leaves
    // resets itself (Xvfb, a bare X session where the game is the first client), and a
    // connection made during the reset is refused.
    displayProbe = connection;
    return QString();
}

void ReleaseDisplayProbe() {
    if (displayProbe == nullptr) return;
    xcb_disconnect(displayProbe);
    displayProbe = nullptr;
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
