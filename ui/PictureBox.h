#pragma once

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPointF>
#include <QWidget>
#include <functional>
#include <utility>
#include <vector>

namespace orbelix {

// Window places in the game's layout are measured in twips, 15 to the pixel.
constexpr int TwipsPerPixel = 15;

// One rounding for every twips-to-pixel conversion: towards minus infinity.
int TwipsToPixels(double twips);
inline int PixelsToTwips(int pixels) {
    return pixels * TwipsPerPixel;
}

// Where a picture goes to stand centred on a window of the given outer size: the
// halves are taken in twips, in single precision, then converted to pixels.
QPoint CentredOn(QSize outer, QSize picture);

// Where a window of outer size `outer` goes to sit in the middle of `area`: when it is
// larger than the area, its top-left corner stays on the area, so its title bar and
// buttons can be reached.
QPoint CentredOnScreen(const QRect& area, const QSize& outer);

// A picture control: a rectangle that shows one picture, can be shown and hidden,
// moved and sized, and reports clicks. The picture is held by reference: a QPixmap
// copy shares the store picture's data, so "the same picture" means an equal
// cacheKey(). With AutoSize on, the control takes the size of every picture it gets.
//
// A control can also be a drawing surface: it then keeps a persistent back image
// that drawing goes to and that painting shows.
//
// Places, sizes and drawing positions are logical pixels: geometry(), move(), resize()
// and their kin hide QWidget's own and speak the layout's units. The control shows
// itself at the effective scale (desktop scale x zoom): its window-system geometry is
// its place times the zoom, pictures are shown from the art drawn for that scale, and
// mouse positions are handed on in logical pixels.
class PictureBox : public QWidget {
    Q_OBJECT

  public:
    PictureBox(QWidget* parent, const QString& name, QRect place, bool visible, bool autoSize);

    const QPixmap& picture() const;
    void setPicture(const QPixmap& picture);
    // Gives the control the picture compiled into the program under `name` (see
    // LoadPicture), decoded only when it is first shown or asked for: most store
    // pictures are not needed for the first frame.
    void setStorePicture(const QString& name);
    bool samePicture(const QPixmap& other) const;

    // The place in logical pixels.
    QRect geometry() const { return place_; }
    QPoint pos() const { return place_.topLeft(); }
    int x() const { return place_.x(); }
    int y() const { return place_.y(); }
    int width() const { return place_.width(); }
    int height() const { return place_.height(); }
    QSize size() const { return place_.size(); }
    QRect rect() const { return {QPoint(), place_.size()}; }
    void setGeometry(const QRect& place);
    void setGeometry(int x, int y, int w, int h) { setGeometry(QRect(x, y, w, h)); }
    void move(const QPoint& at) { setGeometry(QRect(at, place_.size())); }
    void move(int x, int y) { move(QPoint(x, y)); }
    void resize(const QSize& size) { setGeometry(QRect(place_.topLeft(), size)); }
    void resize(int w, int h) { resize(QSize(w, h)); }
    // Takes the window-system geometry for the current zoom again.
    void applyZoom();

    bool autoSize() const { return autoSize_; }
    void setAutoSize(bool on);

    // A one-pixel frame around the picture; the control is then 2 pixels larger.
    void setBorder(bool on);

    // Drawing surface: a persistent back image filled with the background colour. The
    // back image holds the surface at the effective scale: its size is the control's
    // times that scale and its device pixel ratio is that scale (at scale 1, one pixel
    // per logical pixel). Everything drawn is kept as a short list of drawing steps, so
    // that the surface can be drawn again from its pictures when the scale changes.
    // Until something is drawn on it, a surface has no back image and paints its
    // background colour: a window that starts at a large scale fills no large image.
    void makeSurface(QColor background);
    const QImage& backImage() const;
    int surfaceScale() const { return scale_; }
    QColor backColor() const { return background_; }
    void Cls();  // fill the back image with the background colour
    // Copies a picture onto the back image with its top-left corner at `at`, replacing
    // what was there; parts outside the surface are cut off.
    void copyPicture(QPoint at, const QPixmap& picture);
    // Draws masked sprites, each with its top-left corner at its place (see
    // DrawBallSprite), in the order given.
    using SpriteList = std::vector<std::pair<QPoint, QPixmap>>;
    void drawSprites(const SpriteList& sprites);
    void Refresh();  // show what was drawn now, without waiting for the event loop

    // Painted over the shown picture or back image at the end of every paint, never
    // into the back image (the keyboard cursor over the board).
    void setOverlay(std::function<void(QPainter&)> painter);

    // A control that acts as a button from the keyboard: it can be reached with Tab,
    // and Enter or Space press it while it holds the focus that Tab gave it. It then
    // shows a thin frame; focus given any other way shows nothing and takes no keys.
    void setPressable(bool on);
    bool pressable() const { return pressable_; }
    bool keyboardFocused() const { return keyboardFocus_; }
    // Acts as a click on the control.
    void click() { emit Click(); }

  signals:
    void Click();
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPointF position);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void fitToPicture();
    void paintOverlay(QPainter& painter) const;

    // One drawing step on the surface, in logical pixels; `clip` is the surface's
    // rectangle at the time, so steps cut off by a smaller surface stay cut off.
    struct Step {
        bool sprite = false;
        QPoint at;
        QPixmap picture;
        QRect clip;
        QRect covered() const;
    };
    void record(Step step);
    void drawStep(const Step& step);
    void paintSprite(QPainter& painter, const Step& step) const;
    // Makes the back image match the effective scale, drawing it again when it changed.
    void matchScale();
    void rebuild(int scale);
    // Makes the back image, filled with the background, when the surface has none yet.
    void makeBack() const;

    QRect place_;
    mutable QPixmap picture_;
    // The store picture that picture_ becomes on first need, and its size.
    mutable QString pendingPicture_;
    QSize pendingSize_;
    bool autoSize_ = false;
    bool border_ = false;
    bool pressed_ = false;
    bool surface_ = false;
    mutable QImage back_;  // null until the surface is first drawn on
    QColor background_;
    int scale_ = 1;
    std::vector<Step> steps_;
    std::function<void(QPainter&)> overlay_;
    bool pressable_ = false;
    bool keyboardFocus_ = false;
};

// Sets the program's mouse pointer by the game's codes: 11 the hourglass, 0 the default.
// Setting the same code twice changes nothing, so nested routines may each set it.
class MousePointer {
  public:
    static constexpr int Default = 0;
    static constexpr int Hourglass = 11;
    void set(int code);
    int code() const { return code_; }
    ~MousePointer();

  private:
    int code_ = Default;
};

}  // namespace orbelix
