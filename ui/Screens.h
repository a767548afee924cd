#pragma once

#include <QWidget>

namespace orbelix {

// The screens of the game: the main screen with the board and its buttons, and the
// screens shown in its place.
enum class Screen { Main, Help, About, HighScores, Statistics };

// Which screen is up, and where keys go. The main window asks it, never the controls'
// visibility: the main screen's keys act only while it is up. Every change of screen
// gives the keyboard to the window itself, so that no button keeps or inherits the
// focus (and its frame) across screens: a button has it only when Tab gives it.
class ScreenKeeper {
  public:
    explicit ScreenKeeper(QWidget& window) : window_(window) {}

    Screen current() const { return current_; }
    bool mainIsUp() const { return current_ == Screen::Main; }
    void show(Screen screen) {
        current_ = screen;
        takeKeys();
    }
    // The keyboard goes to the window: a control that is hidden next hands it to no one.
    void takeKeys() {
        if (window_.focusWidget() != &window_) window_.setFocus(Qt::OtherFocusReason);
    }

  private:
    QWidget& window_;
    Screen current_ = Screen::Main;
};

}  // namespace orbelix
