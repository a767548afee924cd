// Counts the frames a program shows on an X display, from outside the program, as a
// player's eye would see them: every time the X server reports a change to the screen
// (DAMAGE), the part changed is read back, and a read that differs from what the screen
// showed before is a frame.
//
//     frame_watch [--quiet MS] [--timeout MS] [--reported] [--save DIR] -- PROGRAM [ARGS...]
//
// Starts PROGRAM, watches until the screen has not changed for --quiet milliseconds
// (after its first change and, with --reported, after PROGRAM has reported its first
// frame), ends PROGRAM and prints one line:
//
//     first-frame MS first-change MS settled MS frames N
//
// first-frame is when PROGRAM printed "first-frame" on its standard output (-1 if it
// did not), first-change when the screen first changed, settled when it changed last;
// all in milliseconds from the start. --save writes each frame as DIR/frame-N.png and
// says when it came on standard error.
// Qt first: the X headers define names (Status, CursorShape) that Qt uses.
#include <QImage>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>
#include <poll.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Options {
    int quietMs = 1000;
    int timeoutMs = 20000;
    bool reported = false;
    std::string saveDir;
    char** program = nullptr;
};

bool ReadOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--reported") {
            options.reported = true;
            continue;
        }
        if (arg == "--") {
            if (i + 1 < argc) options.program = argv + i + 1;
            break;
        }
        if (i + 1 >= argc) return false;
        if (arg == "--quiet") {
            options.quietMs = std::atoi(argv[++i]);
        } else if (arg == "--timeout") {
            options.timeoutMs = std::atoi(argv[++i]);
        } else if (arg == "--save") {
            options.saveDir = argv[++i];
        } else {
            return false;
        }
    }
    return options.program != nullptr && options.quietMs > 0 && options.timeoutMs > 0;
}

// The screen as last read, kept up to date by reading back the parts reported changed
// through shared memory.
class ScreenReader {
  public:
    explicit ScreenReader(Display* display)
        : display_(display),
          width_(DisplayWidth(display, DefaultScreen(display))),
          height_(DisplayHeight(display, DefaultScreen(display))) {
        const int screen = DefaultScreen(display);
        visual_ = DefaultVisual(display, screen);
        depth_ = static_cast<unsigned>(DefaultDepth(display, screen));
        shm_.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(width_) * height_ * 4, IPC_CREAT | 0600);
        if (shm_.shmid < 0) return;
        shm_.shmaddr = static_cast<char*>(shmat(shm_.shmid, nullptr, 0));
        shm_.readOnly = False;
        attached_ = XShmAttach(display, &shm_) != 0;
        XSync(display, False);
        // Marked for removal now: it goes when both sides have let go, even on a crash.
        shmctl(shm_.shmid, IPC_RMID, nullptr);
        shown_.assign(static_cast<size_t>(width_) * height_, 0);
    }
    ~ScreenReader() {
        if (attached_) XShmDetach(display_, &shm_);
        if (shm_.shmaddr != nullptr) shmdt(shm_.shmaddr);
    }
    ScreenReader(const ScreenReader&) = delete;
    ScreenReader& operator=(const ScreenReader&) = delete;

    bool ready() const { return attached_; }
    // Reads the part of the screen given; true when any of it differs from before.
    bool read(XRectangle part) {
        XImage* image = XShmCreateImage(display_, visual_, depth_, ZPixmap, shm_.shmaddr, &shm_,
                                        part.width, part.height);
        if (image == nullptr || image->bits_per_pixel != 32) return false;
        XShmGetImage(display_, DefaultRootWindow(display_), image, part.x, part.y, AllPlanes);
        bool changed = false;
        for (int y = 0; y < part.height; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(image->data + y * image->bytes_per_line);
            uint32_t* kept = shown_.data() + static_cast<size_t>(part.y + y) * width_ + part.x;
            if (std::memcmp(kept, row, part.width * 4u) == 0) continue;
            std::memcpy(kept, row, part.width * 4u);
            changed = true;
        }
        image->data = nullptr;
        XDestroyImage(image);
        return changed;
    }
    bool readAll() {
        return read({0, 0, static_cast<unsigned short>(width_), static_cast<unsigned short>(height_)});
    }
    void save(const std::string& file) const {
        QImage(reinterpret_cast<const uchar*>(shown_.data()), width_, height_, width_ * 4,
               QImage::Format_RGB32)
            .save(QString::fromStdString(file));
    }

  private:
    Display* display_;
    int width_, height_;
    Visual* visual_ = nullptr;
    unsigned depth_ = 24;
    XShmSegmentInfo shm_{};
    bool attached_ = false;
    std::vector<uint32_t> shown_;
};

pid_t Start(char** program, int& output) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        execvp(program[0], program);
        _exit(127);
    }
    close(pipeEnds[1]);
    output = pipeEnds[0];
    return child;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ReadOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: frame_watch [--quiet MS] [--timeout MS] [--reported] [--save DIR] -- PROGRAM "
                     "[ARGS...]\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    int damageEvent = 0, damageError = 0, fixesEvent = 0, fixesError = 0;
    int major = 0, minor = 0;
    if (display == nullptr || !XDamageQueryExtension(display, &damageEvent, &damageError) ||
        !XDamageQueryVersion(display, &major, &minor) ||
        !XFixesQueryExtension(display, &fixesEvent, &fixesError) ||
        !XFixesQueryVersion(display, &major, &minor) || !XShmQueryExtension(display)) {
        std::fprintf(stderr, "frame_watch: needs an X display with DAMAGE, XFIXES and MIT-SHM\n");
        return 1;
    }
    // Lets go of the shared memory before the display closes.
    auto screenHolder = std::make_unique<ScreenReader>(display);
    ScreenReader& screen = *screenHolder;
    if (!screen.ready()) {
        std::fprintf(stderr, "frame_watch: cannot share memory with the X server\n");
        return 1;
    }
    const Damage damage =
        XDamageCreate(display, DefaultRootWindow(display), XDamageReportNonEmpty);
    const XserverRegion parts = XFixesCreateRegion(display, nullptr, 0);
    XSync(display, False);
    // The screen before the program, once still: a window of a program that has just
    // ended may still be going away.
    for (int still = 0; still < 1;) {
        pollfd x{ConnectionNumber(display), POLLIN, 0};
        still = poll(&x, 1, 200) == 0 ? 1 : 0;
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
        }
        XDamageSubtract(display, damage, None, None);
        XSync(display, False);
    }
    screen.readAll();

    const Clock::time_point start = Clock::now();
    int output = -1;
    const pid_t child = Start(options.program, output);
    if (child < 0) return 1;

    double firstFrame = -1, firstChange = -1, settled = -1;
    int frames = 0;
    std::string said;
    for (;;) {
        const double now = MillisecondsSince(start);
        if (now >= options.timeoutMs) break;
        if (settled >= 0 && now - settled >= options.quietMs &&
            (firstFrame >= 0 || !options.reported))
            break;
        pollfd watched[2] = {{ConnectionNumber(display), POLLIN, 0}, {output, POLLIN, 0}};
        const double wait = settled >= 0 && (firstFrame >= 0 || !options.reported)
                                ? settled + options.quietMs - now
                                : options.timeoutMs - now;
        poll(watched, output >= 0 ? 2 : 1, static_cast<int>(wait) + 1);
        const double woke = MillisecondsSince(start);
        if (output >= 0 && (watched[1].revents & (POLLIN | POLLHUP)) != 0) {
            char buffer[256];
            const ssize_t got = read(output, buffer, sizeof buffer);
            if (got <= 0) {
                close(output);
                output = -1;
            } else {
                said.append(buffer, static_cast<size_t>(got));
                if (firstFrame < 0 && said.find("first-frame\n") != std::string::npos)
                    firstFrame = woke;
            }
        }
        bool changed = false;
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == damageEvent + XDamageNotify) changed = true;
        }
        if (!changed) continue;
        // Taken before the read: whatever is drawn during it brings another report.
        XDamageSubtract(display, damage, None, parts);
        XRectangle changedPart{};
        int rectangles = 0;
        XFree(XFixesFetchRegionAndBounds(display, parts, &rectangles, &changedPart));
        if (changedPart.width == 0 || !screen.read(changedPart)) continue;
        ++frames;
        if (firstChange < 0) firstChange = woke;
        settled = woke;
        if (!options.saveDir.empty()) {
            screen.save(options.saveDir + "/frame-" + std::to_string(frames) + ".png");
            std::fprintf(stderr, "frame %d at %.1f ms\n", frames, woke);
        }
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    XDamageDestroy(display, damage);
    XFixesDestroyRegion(display, parts);
    std::printf("first-frame %.1f first-change %.1f settled %.1f frames %d\n", firstFrame,
                firstChange, settled, frames);
    std::fflush(stdout);
    screenHolder.reset();
    XCloseDisplay(display);
    return frames > 0 ? 0 : 1;
}
