#include "platform/SignalBridge.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>

namespace orbelix {
namespace {

// [0] written by the handler, [1] read by the event loop.
int sockets[2] = {-1, -1};
// [0] read by the watchdog, [1] written by the handler (the signal) and by the bridge
// when it goes (a zero: stop watching).
int watch[2] = {-1, -1};
// What the watchdog is sent when the program closes without a signal.
constexpr char Closing = 127;

void HandleSignal(int signal) {
    const char byte = static_cast<char>(signal);
    // write() is async-signal-safe; a full socket just drops the extra signal.
    [[maybe_unused]] const ssize_t written = ::write(sockets[0], &byte, 1);
    [[maybe_unused]] const ssize_t watched = ::write(watch[1], &byte, 1);
}

// The next byte on the watchdog's socket, -1 when none comes within `timeout` ms (-1:
// no limit).
int NextByte(int timeout) {
    pollfd waiting{watch[0], POLLIN, 0};
    for (;;) {
        const int ready = ::poll(&waiting, 1, timeout);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return -1;
        char byte = 0;
        if (::read(watch[0], &byte, 1) == 1) return byte;
    }
}

}  // namespace

SignalBridge::SignalBridge(std::function<void()> onSignal, std::function<void()> lastResort,
                           QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)), lastResort_(std::move(lastResort)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, sockets) != 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, watch) != 0) return;
    notifier_ = new QSocketNotifier(sockets[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalBridge::readSignal);
    watchdog_ = std::thread([this] { Watch(); });

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
    if (watchdog_.joinable()) {
        const char stop = 0;
        [[maybe_unused]] const ssize_t written = ::write(watch[1], &stop, 1);
        watchdog_.join();
    }
    for (int* pair : {sockets, watch}) {
        for (int i : {0, 1}) {
            if (pair[i] >= 0) ::close(pair[i]);
            pair[i] = -1;
        }
    }
}

void SignalBridge::EndWithinGrace() {
    if (watch[1] < 0) return;
    [[maybe_unused]] const ssize_t written = ::write(watch[1], &Closing, 1);
}

void SignalBridge::readSignal() {
    char bytes[16];
    while (::read(sockets[1], bytes, sizeof bytes) > 0) {
    }
    if (onSignal_) onSignal_();
}

void SignalBridge::Watch() {
    int signal = NextByte(-1);
    while (signal > 0) {
        // The program has `Grace` to end by itself; further signals do not extend it.
        const auto deadline = std::chrono::steady_clock::now() + Grace;
        int next = 0;
        do {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            next = left.count() > 0 ? NextByte(static_cast<int>(left.count())) : -1;
        } while (next > 0);
        if (next == 0) return;  // the bridge is going: the program ends by itself
        if (lastResort_) lastResort_();
        ::_exit(signal == Closing ? 1 : 128 + signal);
    }
}

}  // namespace orbelix
