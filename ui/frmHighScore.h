#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

#include "scores/HighScoreTable.h"
#include "ui/KeyMap.h"
#include "ui/PictureBox.h"

namespace orbelix {

// The high-score window: a borderless window that draws the ten rows of the table from
// letter and digit pictures. Opened for viewing (with Reset) or, when a new result
// awaits its name, for name entry, typed straight into the row. It is made anew at
// every opening and destroyed when it closes; the table it shows and changes belongs
// to its owner.
class frmHighScore : public QDialog {
    Q_OBJECT

  public:
    static constexpr int ClientWidth = 609;
    static constexpr int ClientHeight = 337;
    static constexpr int NameCells = 8;
    static constexpr int ScoreDigits = 6;

    // A window over `owner` (the main window) showing `table`.
    frmHighScore(QWidget* owner, HighScoreTable& table);

    // Empties the table.
    void ClearHighScores();
    // Puts the window in the middle of its owner.
    void CentreOnMainWindow();
    // Takes the size of the current zoom and centres itself again (its controls are
    // zoomed with the main window's).
    void FollowZoom();

    // Whether a name is being typed.
    bool editing() const { return Editing; }
    // The picture that shows a character of a name, or null for one that has none.
    const QPixmap* PictureOfCharacter(QChar ch) const;

  signals:
    // A name is complete (Enter, or the last cell filled): the table holds it now.
    void NameEntered();
    // Reset was clicked: the table is emptied right after.
    void AboutToReset();
    // A zoom key was pressed on this window: +1, -1, or 0 for the game's own size.
    void ZoomKey(int step);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The load handler: lays out and draws the whole table, then starts name entry or
    // offers Reset.
    void Form_Load();
    void Form_KeyPress(int16_t keyAscii);
    void pctOk_Click();
    void pctReset_Click();
    void BeginNameEntry();
    void BlankNameRow(int16_t row);
    void DrawCursor();
    void EraseCursor();
    void Advance();
    void NameComplete();
    // Tells assistive tools that the name in a row changed.
    void AnnounceRow(int16_t row);
    // Reads the row above (-1) or below (+1) the one read last.
    void ReadRow(int step);
    void DrawAt(int16_t xTwips, int16_t yTwips, const QPixmap& picture);

    PictureBox* pctHighScore = nullptr;
    std::array<PictureBox*, 27> pctAlphabet{};
    PictureBox* pctReset = nullptr;
    PictureBox* pctOk = nullptr;
    // The digit pictures 0..9 and the blank cell, as the main window shows them.
    std::array<QPixmap, 10> digits_;
    QPixmap blank_;

    // Cell places in twips, by row 1..10 and position 1..8.
    int16_t LetterX[TableRows + 1][NameCells + 1] = {};
    int16_t LetterY[TableRows + 1][NameCells + 1] = {};
    int16_t DigitX[TableRows + 1][NameCells + 1] = {};
    int16_t DigitY[TableRows + 1][NameCells + 1] = {};
    bool Editing = false;
    int16_t CursorPos = 0;
    // The row a screen reader last read out (the arrow keys step it).
    int readingRow_ = 1;

    HighScoreTable& table_;
    MousePointer pointer_;
    KeyMap keys_;
};

}  // namespace orbelix
