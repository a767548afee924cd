// The yardstick for the game's start-up, memory and idle CPU: a bare Qt Widgets window
// of the game's size that shows a few pictures and nothing else.
#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QWidget>

#include "app/FirstFrameReport.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(656, 364);
    window.setWindowTitle(QStringLiteral("Reference"));
    QPalette black = window.palette();
    black.setColor(QPalette::Window, Qt::black);
    window.setPalette(black);
    window.setAutoFillBackground(true);
    const char* pictures[4] = {"pctOrbelix", "pctNew", "pctHelp", "pctExit"};
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(&window);
        label->setPixmap(QPixmap::fromImage(
            QImage(QStringLiteral(":/assets/%1.png").arg(QLatin1String(pictures[i])))));
        label->move(i == 0 ? 200 : 600, i == 0 ? 137 : 60 * i);
        label->adjustSize();
    }
    const QRect area = window.screen()->availableGeometry();
    window.move(area.center() - window.rect().center());
    orbelix::FirstFrameReport::Watch(&window);
    window.show();
    return QApplication::exec();
}
