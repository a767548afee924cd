#include "platform/SignalBridge.h"

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

namespace orbelix {
namespace {

int sockets[2] = {-1, -1};

void HandleSignal(int signal) {
    const char byte = static_cast<char>(signal);
    // write() is async-signal-safe; a full socket just drops the extra signal.
    [[maybe_unused]] const ssize_t written = ::write(sockets[0], &byte, 1);
}

}  // namespace

SignalBridge::SignalBridge(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, sockets) != 0) return;
    notifier_ = new QSocketNotifier(sockets[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalBridge::readSignal);

    struct sigaction action {};
    action.sa_handler = HandleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        // A signal the program was started ignoring (nohup, a shell's trap '') stays ignored.
        struct sigaction inherited {};
        if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
        installed_.push_back(signal);
    }
}

SignalBridge::~SignalBridge() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : installed_) sigaction(signal, &action, nullptr);
    for (int& socket : sockets) {
        if (socket >= 0) ::close(socket);
        socket = -1;
    }
}

void SignalBridge::readSignal() {
    char bytes[16];
    while (::read(sockets[1], bytes, sizeof bytes) > 0) {
    }
    if (onSignal_) onSignal_();
}

}  // namespace orbelix
