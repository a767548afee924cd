#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <cstdio>

namespace orbelix {

// For the start-up benchmark: with ORBELIX_REPORT_FIRST_FRAME set, prints "first-frame"
// on standard output once the watched window has painted for the first time.
class FirstFrameReport : public QObject {
  public:
    static void Watch(QObject* window) {
        if (qEnvironmentVariableIsSet("ORBELIX_REPORT_FIRST_FRAME"))
            window->installEventFilter(new FirstFrameReport(window));
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // Reported once the paint has been handed to the window system.
            QTimer::singleShot(0, [] {
                std::puts("first-frame");
                std::fflush(stdout);
            });
            deleteLater();
        }
        return false;
    }

  private:
    explicit FirstFrameReport(QObject* parent) : QObject(parent) {}
};

}  // namespace orbelix
