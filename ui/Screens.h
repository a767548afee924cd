#pragma once

namespace orbelix {

// The screens of the game: the main screen with the board and its buttons, and the
// screens shown in its place.
enum class Screen { Main, Help, About, HighScores };

// Which screen is up. The main window asks it, never the controls' visibility, where
// keys go: the main screen's keys act only while it is up.
class ScreenKeeper {
  public:
    Screen current() const { return current_; }
    bool mainIsUp() const { return current_ == Screen::Main; }
    void show(Screen screen) { current_ = screen; }

  private:
    Screen current_ = Screen::Main;
};

}  // namespace orbelix
