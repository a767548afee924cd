#include "ui/KeyMap.h"

#include <QKeyEvent>

namespace orbelix {
namespace {

// Which places a row holds at.
enum Places : unsigned {
    AtMain = 1u << static_cast<unsigned>(KeyPlace::Main),
    AtPage = 1u << static_cast<unsigned>(KeyPlace::Page),
    AtTable = 1u << static_cast<unsigned>(KeyPlace::Table),
    AtNameEntry = 1u << static_cast<unsigned>(KeyPlace::NameEntry),
    AtButton = 1u << static_cast<unsigned>(KeyPlace::Button),
    InWindows = AtMain | AtPage | AtTable | AtNameEntry,
};

// How a row takes the modifiers: exactly those given, those given with or without Shift
// (the plus of Ctrl+Plus is a shifted key on most keyboards), or any.
enum class Mods { Exactly, ShiftFree, Any };

struct Row {
    unsigned places;
    Qt::KeyboardModifiers modifiers;
    Qt::Key key;
    Mods mods;
    KeyAction action;
};

constexpr Qt::KeyboardModifiers None = Qt::NoModifier;
constexpr Qt::KeyboardModifiers Ctrl = Qt::ControlModifier;

// First match wins.
const Row Rows[] = {
    // The zoom, in both windows at any moment.
    {InWindows, Ctrl, Qt::Key_Plus, Mods::ShiftFree, KeyAction::ZoomIn},
    {InWindows, Ctrl, Qt::Key_Equal, Mods::ShiftFree, KeyAction::ZoomIn},
    {InWindows, Ctrl, Qt::Key_Minus, Mods::ShiftFree, KeyAction::ZoomOut},
    {InWindows, Ctrl, Qt::Key_0, Mods::Exactly, KeyAction::ZoomReset},
    // The main screen's buttons.
    {AtMain, Ctrl, Qt::Key_N, Mods::Exactly, KeyAction::NewGame},
    {AtMain, Ctrl, Qt::Key_Z, Mods::Exactly, KeyAction::Undo},
    {AtMain, None, Qt::Key_F1, Mods::Exactly, KeyAction::Help},
    {AtMain, Ctrl, Qt::Key_Q, Mods::Exactly, KeyAction::Exit},
    // The board from the keyboard, and the switches.
    {AtMain, None, Qt::Key_Left, Mods::Exactly, KeyAction::CursorLeft},
    {AtMain, None, Qt::Key_Right, Mods::Exactly, KeyAction::CursorRight},
    {AtMain, None, Qt::Key_Up, Mods::Exactly, KeyAction::CursorUp},
    {AtMain, None, Qt::Key_Down, Mods::Exactly, KeyAction::CursorDown},
    {AtMain, None, Qt::Key_L, Mods::Exactly, KeyAction::CursorLayer},
    {AtMain, None, Qt::Key_Return, Mods::Exactly, KeyAction::PlayAtCursor},
    {AtMain, None, Qt::Key_Space, Mods::Exactly, KeyAction::PlayAtCursor},
    {AtMain, None, Qt::Key_S, Mods::Exactly, KeyAction::ToggleSymbols},
    {AtMain, None, Qt::Key_G, Mods::Exactly, KeyAction::ToggleGuide},
    {AtMain, None, Qt::Key_H, Mods::Exactly, KeyAction::Hint},
    {AtMain, None, Qt::Key_R, Mods::Exactly, KeyAction::ToggleAlwaysResume},
    {AtMain, Ctrl, Qt::Key_C, Mods::Exactly, KeyAction::CopyBoard},
    // The statistics page, from the main screen and from the rules page.
    {AtMain | AtPage, None, Qt::Key_T, Mods::Exactly, KeyAction::ShowStatistics},
    // Help, About and the statistics close as a click on them does.
    {AtPage, None, Qt::Key_Return, Mods::Exactly, KeyAction::ClosePage},
    {AtPage, None, Qt::Key_Space, Mods::Exactly, KeyAction::ClosePage},
    {AtPage, None, Qt::Key_Escape, Mods::Exactly, KeyAction::ClosePage},
    // The high-score table: the arrows read it row by row; Escape and Enter close it as
    // Ok does, but not while a name is typed: then Enter ends the name.
    {AtTable | AtNameEntry, None, Qt::Key_Up, Mods::Any, KeyAction::ReadRowUp},
    {AtTable | AtNameEntry, None, Qt::Key_Down, Mods::Any, KeyAction::ReadRowDown},
    {AtTable, None, Qt::Key_Escape, Mods::Exactly, KeyAction::CloseTable},
    {AtTable, None, Qt::Key_Return, Mods::Exactly, KeyAction::CloseTable},
    {AtNameEntry, None, Qt::Key_Return, Mods::Any, KeyAction::EndName},
    {AtNameEntry, None, Qt::Key_Backspace, Mods::Any, KeyAction::EraseLetter},
    {AtNameEntry, None, Qt::Key_Escape, Mods::Any, KeyAction::None},
    // A button that Tab has reached is pressed by Enter or Space.
    {AtButton, None, Qt::Key_Return, Mods::Exactly, KeyAction::PressButton},
    {AtButton, None, Qt::Key_Space, Mods::Exactly, KeyAction::PressButton},
};

bool ModifiersMatch(const Row& row, Qt::KeyboardModifiers pressed) {
    switch (row.mods) {
        case Mods::Exactly:
            return pressed == row.modifiers;
        case Mods::ShiftFree:
            return (pressed & ~Qt::ShiftModifier) == row.modifiers;
        case Mods::Any:
            return true;
    }
    return false;
}

}  // namespace

KeyAction KeyMap::Lookup(KeyPlace place, QKeyCombination combination) {
    // The keypad's keys are their main-keyboard twins.
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers() & ~Qt::KeypadModifier;
    Qt::Key key = combination.key();
    if (key == Qt::Key_Enter) key = Qt::Key_Return;
    const unsigned at = 1u << static_cast<unsigned>(place);
    for (const Row& row : Rows)
        if ((row.places & at) != 0 && row.key == key && ModifiersMatch(row, modifiers))
            return row.action;
    // Any other key with text types into a name.
    return place == KeyPlace::NameEntry ? KeyAction::TypeLetter : KeyAction::None;
}

KeyAction KeyMap::Lookup(KeyPlace place, const QKeyEvent& event) {
    const KeyAction action = Lookup(place, event.keyCombination());
    if (action == KeyAction::TypeLetter && event.text().isEmpty()) return KeyAction::None;
    return action;
}

void KeyMap::bind(KeyAction action, std::function<void()> handler) {
    handlers_[static_cast<size_t>(action)] = std::move(handler);
}

bool KeyMap::dispatch(KeyPlace place, const QKeyEvent& event) const {
    const KeyAction action = Lookup(place, event);
    const auto& handler = handlers_[static_cast<size_t>(action)];
    if (action == KeyAction::None || !handler) return false;
    handler();
    return true;
}

}  // namespace orbelix
