#include "ui/BoardGuide.h"

#include <QCoreApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>
#include <span>

#include "ui/Pictures.h"
#include "ui/Zoom.h"

namespace orbelix {
namespace {

// The mark on a ball of a group: a light veil over its visible part inside a ring of
// black and then white, each one logical pixel wide, so that it shows on every colour
// and on the thinnest crescent. A lone ball or an empty cell is darkened instead.
const QRgb GroupVeil = qPremultiply(qRgba(255, 255, 255, 80));
const QRgb OuterRing = qRgb(0, 0, 0);
const QRgb InnerRing = qRgb(255, 255, 255);
const QRgb NoMoveVeil = qPremultiply(qRgba(0, 0, 0, 130));
// The label: the lettering's violet on black.
const QColor LabelInk(215, 190, 255);
const QColor LabelFrame(170, 110, 255);
constexpr int LabelGap = 2;

QFont LabelFont() {
    QFont font;
    font.setPixelSize(12);
    font.setBold(true);
    return font;
}

int FloorDiv(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The union of overlapping rectangles, in halves: each union joins two regions of about the
// same size, where adding one rectangle at a time would rework an ever larger region.
QRegion UnionOf(std::span<const QRect> rects) {
    if (rects.size() <= 1) return rects.empty() ? QRegion() : QRegion(rects.front());
    const size_t half = rects.size() / 2;
    return UnionOf(rects.first(half)) | UnionOf(rects.subspan(half));
}

QRegion ToWindow(const QRegion& logical) {
    QRegion window;
    for (const QRect& rect : logical) window += Zoom::ToWindow(rect);
    return window;
}

}  // namespace

BoardGuide::BoardGuide(PictureBox* surface, const Game& game, const BoardCursor& cursor,
                       std::function<BallSprites()> sprites, std::function<bool()> takesMoves)
    : surface_(surface),
      game_(game),
      cursor_(cursor),
      sprites_(std::move(sprites)),
      takesMoves_(std::move(takesMoves)) {
    surface_->installEventFilter(this);
}

void BoardGuide::setOn(bool on) {
    if (on == on_) return;
    on_ = on;
    // Moves of a pointer with no button down reach the surface only while the guide is on.
    surface_->setMouseTracking(on);
    pointer_.reset();
    pressed_.reset();
    if (on && surface_->underMouse()) pointAt(surface_->mapFromGlobal(QCursor::pos()));
    surface_->update();
}

const SpriteShapes& BoardGuide::shapes(int scale) const {
    if (scale != shapesScale_) {
        // The discs of the sprites the surface draws at this scale: where the mask is black.
        const BallSprites sprites = sprites_();
        const int side = BallSize * scale;
        for (int code = 0; code <= MaxColors; ++code) {
            const QImage sprite = PictureAtScale(sprites[code], scale)
                                      .toImage()
                                      .convertToFormat(QImage::Format_RGB32);
            shapes_[code] = SpriteShape(side, [&sprite, side](int x, int y) {
                return (sprite.pixel(side + x, y) & 0xFFFFFF) == 0;
            });
        }
        for (int code = 0; code <= MaxColors; ++code) {
            int same = 0;
            while (!(shapes_[same] == shapes_[code])) ++same;
            shapeClass_[code] = static_cast<uint8_t>(same);
        }
        shapesScale_ = scale;
        cellMarks_.clear();
    }
    return shapes_;
}

QByteArray BoardGuide::neighbourhood(Cell cell, bool move) const {
    // A ball's visible part follows from its place, its sprite's shape and the shapes of
    // the sprites around it that can cover it (the rows and columns next to it, every
    // layer): those, by shape class, with the kind of mark, are the key.
    const BoardGrid& board = game_.board();
    QByteArray key;
    key.reserve(4 + 27);
    key += static_cast<char>(cell.row);
    key += static_cast<char>(cell.column);
    key += static_cast<char>(cell.layer);
    key += move ? 'm' : 'n';
    for (int r = cell.row - 1; r <= cell.row + 1; ++r)
        for (int c = cell.column - 1; c <= cell.column + 1; ++c)
            for (int l = 1; l <= Layers; ++l) {
                const bool on = r >= 1 && r <= Rows && c >= 1 && c <= Columns;
                key += static_cast<char>(on ? shapeClass_[board(c, r, l)] : 0xFF);
            }
    return key;
}

bool BoardGuide::cellAt(QPoint device, Cell& found) const {
    const int scale = Zoom::EffectiveScale(surface_);
    return CellOnTop(game_.board(), shapes(scale), device, found);
}

bool BoardGuide::aim(QPointF logical, Cell& found) {
    const int scale = Zoom::EffectiveScale(surface_);
    const QPoint pixel(static_cast<int>(std::floor(logical.x())),
                       static_cast<int>(std::floor(logical.y())));
    // The device pixel pressed, when the press being handled is the one recorded; else the
    // first device pixel of the logical pixel.
    QPoint device = pixel * scale;
    if (pressed_ && QPoint(FloorDiv(pressed_->x(), scale), FloorDiv(pressed_->y(), scale)) == pixel)
        device = *pressed_;
    pressed_.reset();
    // Where no sprite is drawn, in the gaps between the balls, the game's bands decide.
    return cellAt(device, found) || HitTest(game_.tables(), logical, found);
}

std::optional<Cell> BoardGuide::target() const {
    if (!takesMoves_() || !surface_->isVisible()) return std::nullopt;
    if (on_ && cursor_.visible) return cursor_.at;
    if (on_ && pointer_) return pointer_;
    // A hint lasts no longer than the board it was found for.
    if (hint_ && hintBoard_ == game_.board()) return hint_;
    return std::nullopt;
}

void BoardGuide::setHint(Cell cell) {
    const QRegion before = shownArea();
    hint_ = cell;
    hintBoard_ = game_.board();
    repaint(before + shownArea());
}

void BoardGuide::clearHint() {
    if (!hint_) return;
    const QRegion before = shownArea();
    hint_.reset();
    repaint(before + shownArea());
}

const BoardGuide::Shown* BoardGuide::current() const {
    const std::optional<Cell> cell = target();
    if (!cell) return nullptr;
    const int scale = Zoom::EffectiveScale(surface_);
    if (!shown_.valid || !(shown_.target == *cell) || shown_.scale != scale ||
        !(shown_.board == game_.board()))
        make(shown_, *cell, scale);
    return &shown_;
}

const GroupPreview* BoardGuide::preview() const {
    const Shown* shown = current();
    return shown != nullptr ? &shown->preview : nullptr;
}

QRect BoardGuide::labelArea() const {
    const Shown* shown = current();
    return shown != nullptr ? shown->label : QRect();
}

void BoardGuide::make(Shown& shown, Cell target, int scale) const {
    const BoardGrid& board = game_.board();
    shown.valid = true;
    shown.target = target;
    shown.board = board;
    shown.scale = scale;
    shown.preview = PreviewGroup(board, target);
    shown.marks.clear();
    shown.members = QByteArray(CellCount, 0);
    shown.area = QRegion();

    const bool move = shown.preview.isMove();
    const std::vector<Cell> marked = move ? shown.preview.cells : std::vector<Cell>{target};
    const SpriteShapes& discs = shapes(scale);
    // Each ball's mark is made once for its neighbourhood, whatever group it is seen in.
    // Shapes of sprites that differ by colour could make the neighbourhoods many: the
    // store is emptied when it grows past what one scale's plain board ever needs.
    if (cellMarks_.size() > 8 * CellCount) cellMarks_.clear();
    std::vector<Span> runs;
    std::vector<QRect> squares;  // each marked ball's square, in logical pixels
    for (const Cell& cell : marked) {
        const QPoint corner = BallPlacement(cell.column, cell.row, cell.layer);
        const QPoint deviceCorner = corner * scale;
        const int index = ((cell.column - 1) * Rows + cell.row - 1) * Layers + cell.layer - 1;
        const QByteArray around = neighbourhood(cell, move);
        auto mark = cellMarks_.find(around);
        if (mark == cellMarks_.end()) {
            // The runs of the visible part, each row's after a {-1, row} marker, relative
            // to the corner: the key of the ball's mark.
            runs.clear();
            VisibleRuns(board, discs, cell, [&runs, deviceCorner](int y, Span run) {
                runs.push_back({-1, y - deviceCorner.y()});
                runs.push_back({run.begin - deviceCorner.x(), run.end - deviceCorner.x()});
            });
            mark = cellMarks_.insert(around, markFor(runs, scale, move));
        }
        shown.marks.emplace_back(deviceCorner + mark->offset, mark->image);
        shown.members[index] = move ? 1 : 2;
        squares.emplace_back(corner, QSize(BallSize, BallSize));
    }
    shown.area = UnionOf(squares);

    // The size and points beside the stack of the ball looked at: to its right, else to
    // its left, above or below it, wherever they hide no marked ball and stay on the surface.
    shown.text = move ? QCoreApplication::translate("Guide", "%1 balls, %2 points")
                            .arg(shown.preview.size)
                            .arg(shown.preview.points)
                      : QCoreApplication::translate("Guide", "No move");
    const QSize size = LabelSize(shown.text);
    const QRect stack =
        QRect(BallPlacement(target.column, target.row, 1), QSize(BallSize, BallSize))
            .united(
                QRect(BallPlacement(target.column, target.row, Layers), QSize(BallSize, BallSize)));
    const int middle = BallPlacement(target.column, target.row, target.layer).y() + BallSize / 2;
    const int top = middle - size.height() / 2;
    const QRect places[] = {
        QRect(QPoint(stack.right() + 1 + LabelGap, top), size),
        QRect(QPoint(stack.left() - LabelGap - size.width(), top), size),
        QRect(QPoint(stack.left(), stack.top() - LabelGap - size.height()), size),
        QRect(QPoint(stack.left(), stack.bottom() + 1 + LabelGap), size)};
    // The first place that lies on the surface and hides no marked ball; else the first
    // that does once moved onto the surface; else the first, moved onto the surface.
    const QRect surface(QPoint(), surface_->size());
    const auto onSurface = [&surface](QRect place) {
        place.moveLeft(std::max(0, std::min(place.left(), surface.width() - place.width())));
        place.moveTop(std::max(0, std::min(place.top(), surface.height() - place.height())));
        return place;
    };
    const auto free = [&shown](const QRect& place) { return !shown.area.intersects(place); };
    const auto fitting = std::ranges::find_if(
        places, [&](const QRect& place) { return surface.contains(place) && free(place); });
    const auto moved =
        std::ranges::find_if(places, [&](const QRect& place) { return free(onSurface(place)); });
    shown.label = fitting != std::end(places) ? *fitting
                  : moved != std::end(places) ? onSurface(*moved)
                                              : onSurface(places[0]);
    shown.area += shown.label;
}

BoardGuide::Mark BoardGuide::markFor(const std::vector<Span>& runs, int scale, bool move) const {
    QByteArray key(reinterpret_cast<const char*>(runs.data()),
                   static_cast<qsizetype>(runs.size() * sizeof(Span)));
    key += QByteArray::number(scale) + (move ? 'm' : 'n');
    if (const auto found = marks_.constFind(key); found != marks_.constEnd()) return *found;

    const int side = BallSize * scale;
    std::vector<uint8_t> inside(static_cast<size_t>(side * side), 0);
    QRect box;
    int y = 0;
    for (const Span& run : runs) {
        if (run.begin < 0) {
            y = run.end;
            continue;
        }
        std::fill(inside.begin() + y * side + run.begin, inside.begin() + y * side + run.end, 1);
        box |= QRect(run.begin, y, run.end - run.begin, 1);
    }
    const auto in = [&](int x, int yy) {
        return x >= 0 && yy >= 0 && x < side && yy < side && inside[yy * side + x] != 0;
    };

    Mark mark{box.topLeft(), QImage(box.size(), QImage::Format_ARGB32_Premultiplied)};
    mark.image.fill(Qt::transparent);
    const int ring = scale;
    for (int yy = box.top(); yy <= box.bottom(); ++yy) {
        auto* line = reinterpret_cast<QRgb*>(mark.image.scanLine(yy - box.top())) - box.left();
        for (int x = box.left(); x <= box.right(); ++x) {
            if (!in(x, yy)) continue;
            if (!move) {
                line[x] = NoMoveVeil;
                continue;
            }
            // How far the nearest pixel outside lies along the row or the column.
            int distance = 1;
            while (distance <= 2 * ring && in(x - distance, yy) && in(x + distance, yy) &&
                   in(x, yy - distance) && in(x, yy + distance))
                ++distance;
            line[x] = distance <= ring ? OuterRing : distance <= 2 * ring ? InnerRing : GroupVeil;
        }
    }
    mark.image.setDevicePixelRatio(scale);
    marks_.insert(key, mark);
    return mark;
}

void BoardGuide::paint(QPainter& painter) const {
    const Shown* shown = current();
    if (shown == nullptr) return;
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    // The marks are made at the surface's device resolution and drawn in their own pixels:
    // wherever the desktop's scale is whole, the transform multiplies out to a plain move,
    // and the raster engine blends them as they are instead of through its scaler.
    painter.scale(1.0 / shown->scale, 1.0 / shown->scale);
    for (const auto& [corner, mark] : shown->marks)
        painter.drawImage(QRectF(corner, mark.size()), mark, QRectF(mark.rect()));
    painter.restore();
    painter.save();
    PaintLabel(painter, shown->label, shown->text);
    painter.restore();
}

QSize BoardGuide::LabelSize(const QString& text) {
    const QFontMetrics metrics(LabelFont());
    return {metrics.horizontalAdvance(text) + 10, metrics.height() + 4};
}

void BoardGuide::PaintLabel(QPainter& painter, QRect area, const QString& text) {
    // A frame one logical pixel wide, filled so that it stays within the label at every scale.
    painter.fillRect(area, LabelFrame);
    painter.fillRect(area.adjusted(1, 1, -1, -1), Qt::black);
    painter.setFont(LabelFont());
    painter.setPen(LabelInk);
    painter.drawText(area, Qt::AlignCenter, text);
}

QRegion BoardGuide::shownArea() const {
    const Shown* shown = current();
    return shown != nullptr ? shown->area : QRegion();
}

void BoardGuide::repaint(const QRegion& logical) {
    if (!logical.isEmpty()) surface_->update(ToWindow(logical));
}

void BoardGuide::pointAt(QPointF position) {
    std::optional<Cell> under;
    if (takesMoves_()) {
        Cell cell;
        if (cellAt(Zoom::ToDevice(position, surface_), cell)) under = cell;
    }
    // Within one ball nothing is made again and nothing is painted.
    if (under == pointer_) return;
    const Shown* shown = current();
    const QRegion before = shown != nullptr ? shown->area : QRegion();
    const QByteArray members = shown != nullptr ? shown->members : QByteArray();
    const QRect label = shown != nullptr ? shown->label : QRect();
    pointer_ = under;
    shown = current();
    // Within one group only the label moves.
    if (shown != nullptr && !members.isEmpty() && shown->members == members)
        repaint(QRegion(label) + shown->label);
    else
        repaint(before + shownArea());
}

void BoardGuide::forgetPointer() {
    if (!pointer_) return;
    const QRegion before = shownArea();
    pointer_.reset();
    repaint(before);
}

bool BoardGuide::eventFilter(QObject* watched, QEvent* event) {
    if (watched != surface_) return false;
    // Every press is aimed at the device pixel pressed, the guide on or off.
    if (event->type() == QEvent::MouseButtonPress)
        pressed_ = Zoom::ToDevice(static_cast<QMouseEvent*>(event)->position(), surface_);
    if (!on_) return false;
    switch (event->type()) {
        case QEvent::MouseMove:
            pointAt(static_cast<QMouseEvent*>(event)->position());
            break;
        case QEvent::MouseButtonPress:
            // A click takes the preview away while its move is made.
            forgetPointer();
            break;
        case QEvent::MouseButtonRelease: {
            // The move made, the group now under the resting pointer is shown.
            const QPointF at = static_cast<QMouseEvent*>(event)->position();
            if (QRectF(surface_->QWidget::rect()).contains(at)) pointAt(at);
            break;
        }
        case QEvent::Leave:
        case QEvent::Hide:
        case QEvent::Resize:
            forgetPointer();
            break;
        default:
            break;
    }
    return false;
}

}  // namespace orbelix
