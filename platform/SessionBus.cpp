#include "platform/SessionBus.h"

#include <QDBusConnection>

#include "platform/Environment.h"

namespace orbelix {

std::function<void()> SessionBusConnection(int argc, char* argv[]) {
    // X and Wayland have the bridge: by default, or as the first platform asked for.
    const QString platform = AskedPlatform(argc, argv);
    if (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb")) &&
        !platform.startsWith(QLatin1String("wayland")))
        return {};
    // Without an address, libdbus would start a bus of its own (dbus-launch): that is
    // left to the bridge, as it was.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return {};
    return [] { QDBusConnection::sessionBus(); };
}

}  // namespace orbelix
