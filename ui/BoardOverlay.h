#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "game/BoardCursor.h"
#include "game/Game.h"
#include "ui/BoardDrawing.h"
#include "ui/BoardGuide.h"
#include "ui/PictureBox.h"

class QPainter;

namespace orbelix {

// Everything drawn over the playing surface and said about it: the keyboard cursor, the
// symbols on the balls and the guide. They are painted on top of the shown board, never
// into its back image, and what happens on the board is spoken through here.
class BoardOverlay : public QObject {
    Q_OBJECT

  public:
    // `sprites` gives the ball sprites the surface is drawn with; `takesMoves` whether a
    // game is played on the main screen now, `readable` whether the board may be read
    // with the cursor (a dealt board on the main screen, finished or not).
    BoardOverlay(PictureBox* surface, const Game& game, std::function<BallSprites()> sprites,
                 std::function<bool()> takesMoves, std::function<bool()> readable);

    const BoardCursor& cursor() const { return cursor_; }
    bool cursorShown() const { return cursor_.visible; }
    // Arrow keys: shows the cursor if hidden, else moves it by cells (stops at the edges).
    void moveCursor(int columns, int rows);
    // The layer key: shows the cursor if hidden, else steps front, middle, back.
    void stepLayer();
    // Shows the cursor where it stands and says its cell, after `news` when given.
    void showCursor(const QString& news = QString());
    void hideCursor();
    // Puts the cursor on a cell without showing it (a resumed game).
    void placeCursor(Cell at) { cursor_.at = at; }

    // Says what just happened on the board: with the cursor shown and `withCell`, together
    // with its cell; else as a message.
    void tell(const QString& news, bool withCell = true);

    bool symbolsOn() const { return symbols_; }
    void setSymbols(bool on) { symbols_ = on; }
    // The symbols' sprites while they are shown (read the first time they are), else null.
    const SymbolSprites* symbols() const;

    BoardGuide& guide() { return guide_; }
    const BoardGuide& guide() const { return guide_; }

    // A hint: its group marked as the guide marks it, the cursor on `cell`, and said.
    void showHint(Cell cell);
    // The hint's marks go (the next move, New, Undo, a click).
    void clearHint() { guide_.clearHint(); }

    // The finished game's verdict: shown over the final board while the guide is on (an
    // empty text shows nothing), and said when it is set.
    void setVerdict(const QString& words);
    const QString& verdict() const { return verdict_; }
    // Where the verdict stands on the surface, in logical pixels.
    QRect verdictArea() const;

  signals:
    // Each time something is said about the board (a message or the cursor's cell).
    void told(const QString& words);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void paint(QPainter& painter) const;
    void paintCursor(QPainter& painter) const;
    void sayAtCursor(const QString& words);

    PictureBox* surface_;
    const Game& game_;
    std::function<bool()> readable_;
    BoardCursor cursor_;
    bool symbols_ = false;
    QString verdict_;
    mutable SymbolSprites symbolPictures_;
    BoardGuide guide_;
};

}  // namespace orbelix
