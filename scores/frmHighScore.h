#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

#include "app/PictureBox.h"
#include "scores/mdlMain.h"

namespace orbelix {

class frmMain;

// The high-score window: a borderless window that draws the ten rows of the table from
// letter and digit pictures. Opened for viewing (with Reset) or, when a new result
// awaits its name, for name entry, typed straight into the row. It is made anew at
// every opening and destroyed when it closes.
class frmHighScore : public QDialog {
    Q_OBJECT

public:
    static constexpr int ClientWidth = 609;
    static constexpr int ClientHeight = 337;
    static constexpr int NameCells = 8;
    static constexpr int ScoreDigits = 6;

    explicit frmHighScore(frmMain& main);

    // Empties the table.
    void ClearHighScores();
    // Puts the window in the middle of the main window.
    void CentreOnMainWindow();
    // Takes the size of the current zoom and centres itself again (its controls are
    // zoomed with the main window's).
    void FollowZoom();

    // The load handler: lays out and draws the whole table, then starts name entry or
    // offers Reset. The constructor runs it; running it again redraws from the table.
    void Form_Load();
    void Form_KeyPress(int16_t keyAscii);
    void pctOk_Click();
    void pctReset_Click();

    PictureBox* pctHighScore = nullptr;
    std::array<PictureBox*, 27> pctAlphabet{};
    PictureBox* pctReset = nullptr;
    PictureBox* pctOk = nullptr;

    // Cell places in twips, by row 1..10 and position 1..8.
    int16_t LetterX[mdlMain::TableRows + 1][NameCells + 1] = {};
    int16_t LetterY[mdlMain::TableRows + 1][NameCells + 1] = {};
    int16_t DigitX[mdlMain::TableRows + 1][NameCells + 1] = {};
    int16_t DigitY[mdlMain::TableRows + 1][NameCells + 1] = {};
    bool Editing = false;
    int16_t CursorPos = 0;

    // The picture that shows a character of a name, or null for one that has none.
    const QPixmap* PictureOfCharacter(QChar ch) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BeginNameEntry();
    void BlankNameRow(int16_t row);
    void DrawCursor();
    void EraseCursor();
    void Advance();
    void NameComplete();
    // Tells assistive tools that the name in a row changed.
    void AnnounceRow(int16_t row);
    void DrawAt(int16_t xTwips, int16_t yTwips, const QPixmap& picture);

    frmMain& main_;
    MousePointer pointer_;
};

}  // namespace orbelix
