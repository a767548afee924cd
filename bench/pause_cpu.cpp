// CPU time that the end-of-game pause uses: the game window is up and the five-second
// Wait runs; prints the process CPU seconds spent in it. An optional argument sets the
// length of the pause's second in milliseconds (the smoke run of the measuring script
// uses a short one).
#include <QApplication>
#include <cstdlib>
#include <ctime>

#include "platform/Pause.h"
#include "ui/frmMain.h"

static double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc > 1) orbelix::Pause::SetMillisecondsPerSecond(std::atoi(argv[1]));
    orbelix::frmMain window;
    window.placement().centreOnScreen();
    window.show();
    window.findChild<orbelix::PictureBox*>(QStringLiteral("pctNew"))->click();
    QApplication::processEvents();
    const double before = CpuSeconds();
    orbelix::Pause::Wait(5);
    std::printf("%.4f\n", CpuSeconds() - before);
    return 0;
}
