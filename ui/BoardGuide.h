#pragma once

#include <QHash>
#include <QImage>
#include <QObject>
#include <QRegion>
#include <array>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "game/BoardCursor.h"
#include "game/Game.h"
#include "game/Guide.h"
#include "ui/BoardDrawing.h"
#include "ui/PictureBox.h"

namespace orbelix {

// The guide over the playing surface, for players who want to see before they click.
// While it is on and a game is played on the main screen, the group under the pointer
// (or under the keyboard cursor while that shows) is marked on the visible part of each
// of its balls, in every layer, with its size and points beside it; a lone ball or an
// empty cell is marked as no move. The marks are painted over the shown board, never
// into its back image. On or off, it aims every press: the ball drawn on top at the
// pressed device pixel is taken, and the cell of the game's bands only in the gaps.
//
// The guide follows the pointer through the surface's events: it asks for mouse moves
// only while it is on, works only when the pointer enters another ball, and forgets the
// pointer's ball when the pointer leaves, presses, or the surface is hidden or resized;
// when the button is let go over the surface it looks at the ball under it again.
class BoardGuide : public QObject {
    Q_OBJECT

  public:
    // `sprites` gives the ball sprites the surface is drawn with; `takesMoves` tells
    // whether a game is played on the main screen now.
    BoardGuide(PictureBox* surface, const Game& game, const BoardCursor& cursor,
               std::function<BallSprites()> sprites, std::function<bool()> takesMoves);

    bool on() const { return on_; }
    void setOn(bool on);

    // The cell whose sprite is drawn on top at a device pixel of the surface.
    bool cellAt(QPoint device, Cell& found) const;
    // The cell that a press at `logical` takes: the one drawn on top at the device pixel
    // that was pressed, else the one the game's bands give. Its shapes are made on the
    // first press.
    bool aim(QPointF logical, Cell& found);

    // The group previewed now, or null; and where its size and points stand, in logical
    // pixels of the surface.
    const GroupPreview* preview() const;
    QRect labelArea() const;

    // Paints the preview; the painter speaks logical pixels of the surface.
    void paint(QPainter& painter) const;

    // The hint: a cell whose group is marked as the guide marks it, whether the guide is
    // on or not, while the board is the one it was set on, until clearHint.
    void setHint(Cell cell);
    void clearHint();
    const std::optional<Cell>& hint() const { return hint_; }

    // Words in the label's style: the size they take, and painting them in `area`.
    static QSize LabelSize(const QString& text);
    static void PaintLabel(QPainter& painter, QRect area, const QString& text);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // What one previewed cell looks like, made when its cell, the board or the scale
    // changes and painted as often as the surface is.
    struct Shown {
        bool valid = false;
        Cell target;
        BoardGrid board;
        int scale = 0;
        GroupPreview preview;
        QByteArray members;  // per cell: 1 marked in a group, 2 marked as no move
        std::vector<std::pair<QPoint, QImage>> marks;  // each ball's mark at its device place
        QString text;
        QRect label;
        QRegion area;  // every logical pixel that painting it touches
    };

    std::optional<Cell> target() const;
    const Shown* current() const;
    void make(Shown& shown, Cell target, int scale) const;
    // A ball's mark: the bounding box of its visible part, and where that box lies in the
    // ball's square, in device pixels.
    struct Mark {
        QPoint offset;
        QImage image;
    };
    Mark markFor(const std::vector<Span>& runs, int scale, bool move) const;
    const SpriteShapes& shapes(int scale) const;
    QByteArray neighbourhood(Cell cell, bool move) const;
    QRegion shownArea() const;
    void pointAt(QPointF position);
    void forgetPointer();
    void repaint(const QRegion& logical);

    PictureBox* surface_;
    const Game& game_;
    const BoardCursor& cursor_;
    std::function<BallSprites()> sprites_;
    std::function<bool()> takesMoves_;

    bool on_ = false;
    std::optional<Cell> pointer_;    // the ball under the pointer
    std::optional<QPoint> pressed_;  // the device pixel of the press being handled
    std::optional<Cell> hint_;
    BoardGrid hintBoard_;
    mutable Shown shown_;
    mutable SpriteShapes shapes_;
    mutable int shapesScale_ = 0;
    // Per colour code, the lowest code whose sprite has the same shape.
    mutable std::array<uint8_t, MaxColors + 1> shapeClass_{};
    // Marks by the shape of a ball's visible part, its scale and kind: a board shows
    // only a few different shapes.
    mutable QHash<QByteArray, Mark> marks_;
    // And by what decides that shape (see neighbourhood()), at the scale of shapes_: after
    // a move, every ball whose neighbours kept their shapes keeps its mark.
    mutable QHash<QByteArray, Mark> cellMarks_;
};

}  // namespace orbelix
