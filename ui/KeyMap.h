#pragma once

#include <QKeyCombination>
#include <array>
#include <functional>

class QKeyEvent;

namespace orbelix {

// Where a key is pressed: the screen that is up, or a button that Tab has reached.
enum class KeyPlace {
    Main,       // the main screen (board and buttons)
    Page,       // Help, About or the statistics in place of the main screen
    Table,      // the high-score window, no name being typed
    NameEntry,  // the high-score window while a name is typed
    Button,     // a picture button that has the keyboard
};

// What a key does.
enum class KeyAction {
    None,
    NewGame,
    Undo,
    Help,
    Exit,
    ZoomIn,
    ZoomOut,
    ZoomReset,
    CursorLeft,
    CursorRight,
    CursorUp,
    CursorDown,
    CursorLayer,
    PlayAtCursor,
    ToggleSymbols,
    ToggleGuide,
    Hint,
    ToggleAlwaysResume,
    CopyBoard,
    ShowStatistics,
    ClosePage,
    PressButton,
    ReadRowUp,
    ReadRowDown,
    CloseTable,
    EndName,
    EraseLetter,
    TypeLetter,  // the key's text goes into the name
    Count
};

// Every key of the game, for both windows: one table from (place, key) to action. Keypad
// keys are their main-keyboard twins (keypad Enter is Return, the keypad arrows are the
// arrows). A window binds the actions it carries out and hands its key presses here.
class KeyMap {
  public:
    // The action of a key pressed at a place (None for a key that does nothing there).
    static KeyAction Lookup(KeyPlace place, QKeyCombination key);
    static KeyAction Lookup(KeyPlace place, const QKeyEvent& event);

    void bind(KeyAction action, std::function<void()> handler);
    // Runs what the key does at the place; false when it does nothing here (the key may
    // then go on to the window's parent or to Qt).
    bool dispatch(KeyPlace place, const QKeyEvent& event) const;

  private:
    std::array<std::function<void()>, static_cast<size_t>(KeyAction::Count)> handlers_;
};

}  // namespace orbelix
