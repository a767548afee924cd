#pragma once

#include <QString>
#include <QWidget>

#include "scores/HighScoreTable.h"

// What the game's picture controls are to a screen reader. Every control is a picture,
// so without this each would be an anonymous "filler"; with it, buttons are buttons
// with a press action, the score is a number, the board is one focusable element whose
// focused part is the cell under the keyboard cursor, and the high-score table is a list
// of ten readable rows. The windows set names and values and say what changes.
namespace orbelix::Accessibility {

enum class Kind {
    Picture,  // decoration: the platform's own description of a widget
    Button,   // a picture that acts when clicked: button role, press action
    Label,    // a picture of words ("Game Over!"): static text with its name
    Score,    // the score: static text whose value is the score
    Hidden,   // part of a control that another one already describes
    Board,    // the playing surface
    Table,    // the high-score table: a list of ten rows (see ShowTable)
};

// Installs the interfaces with Qt's accessibility framework (once per program).
void Install();

// Says what a control is. Set before the control is first shown.
void SetKind(QWidget* control, Kind kind);

// Makes a control the high-score table, read row by row from `table`, which must outlive it.
void ShowTable(QWidget* control, const HighScoreTable& table);

// The score control's value; announces the change to assistive tools.
void SetValue(QWidget* control, int value);

// What a screen reader says. A name change of a control is not spoken, so each of these
// gives the control a new part with the words fixed and tells assistive tools of it.
// The cell under the keyboard cursor becomes the board's focused part; `place` is the
// cell on the board in logical pixels.
void SpeakCell(QWidget* board, const QString& words, QRect place);
// A one-off message about what just happened on the board (a removal, Undo, the end of
// a game), spoken without moving the focus.
void SpeakMessage(QWidget* control, const QString& words);
// Row 1..10 of the high-score table as it reads now, made the list's focused part.
void SpeakRow(QWidget* list, int row);
// How many things the control has said so far: words held back for a moment are dropped
// when newer ones came first, which a screen reader would otherwise lose to them.
int Said(QWidget* control);

// The text of row 1..10 of the high-score table as read out ("1. ANN 560").
QString TableRowText(const HighScoreTable& table, int row);

}  // namespace orbelix::Accessibility
