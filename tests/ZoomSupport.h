#pragma once

// Shared by the zoom and high-resolution tests: the art files themselves, a board drawn
// pixel by pixel the way AND/XOR drawing must come out, device-pixel clicks, and a
// large offscreen screen.
#include <QDir>
#include <QFile>
#include <QMouseEvent>

#include "TestSupport.h"
#include "ui/Zoom.h"

namespace orbelix::testing {

// A large offscreen screen (device pixels) so that zoomed windows fit; call before the
// application is made.
inline void UseLargeOffscreenScreen(int width, int height) {
    static const QString file = QDir::temp().filePath(
        QStringLiteral("orbelix-zoom-screen-%1.json").arg(QCoreApplication::applicationPid()));
    QFile json(file);
    if (!json.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write the screen file");
    json.write(
        QStringLiteral(R"({"screens": [{"name": "big", "x": 0, "y": 0, "width": %1, "height": %2,
                                  "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
            .arg(width)
            .arg(height)
            .toUtf8());
    json.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + file).toLocal8Bit());
}

// The art file for a picture at a device scale, read straight from the resource: the
// largest drawn scale dividing it, each pixel repeated into a block for the rest.
inline QImage ArtFile(const QString& name, int scale) {
    const int art = scale % 3 == 0 ? 3 : scale % 2 == 0 ? 2 : 1;
    const QImage file = QImage(art == 1 ? QStringLiteral(":/assets/%1.png").arg(name)
                                        : QStringLiteral(":/assets/%1@%2x.png").arg(name).arg(art))
                            .convertToFormat(QImage::Format_RGB32);
    const int factor = scale / art;
    QImage out(file.size() * factor, QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            out.setPixel(x, y, file.pixel(x / factor, y / factor));
    out.setDevicePixelRatio(scale);
    return out;
}

// Where `part` differs from `shot` at device place `at`: an empty string when it
// matches everywhere.
inline QString Mismatch(const QImage& shot, QPoint at, const QImage& part) {
    for (int y = 0; y < part.height(); ++y)
        for (int x = 0; x < part.width(); ++x)
            if ((shot.pixel(at.x() + x, at.y() + y) & 0xFFFFFF) != (part.pixel(x, y) & 0xFFFFFF))
                return QStringLiteral("differs at device %1,%2").arg(at.x() + x).arg(at.y() + y);
    return {};
}

// The playing surface as the AND/XOR drawing must leave it at a device scale: button
// grey, then every sprite's mask ANDed and its ball XORed, pixel by pixel.
inline QImage ReferenceBoard(QSize logical, const BoardGrid& board, int scale) {
    QImage out(logical * scale, QImage::Format_RGB32);
    out.fill(QColor(240, 240, 240));
    std::array<QImage, MaxColors + 1> sprites;
    for (int i = 0; i <= MaxColors; ++i)
        sprites[i] = ArtFile(QStringLiteral("pctBall_%1").arg(i), scale);
    const int side = 25 * scale;
    for (int r = 1; r <= Rows; ++r)
        for (int c = 1; c <= Columns; ++c)
            for (int l = Layers; l >= 1; --l) {
                const QImage& sprite = sprites[board(c, r, l)];
                const QPoint at = BallPlacement(c, r, l) * scale;
                for (int y = 0; y < side; ++y)
                    for (int x = 0; x < side; ++x) {
                        if (!out.rect().contains(at.x() + x, at.y() + y)) continue;
                        const QRgb under = out.pixel(at.x() + x, at.y() + y);
                        const QRgb drawn =
                            ((under & sprite.pixel(x + side, y)) ^ sprite.pixel(x, y)) | 0xFF000000;
                        out.setPixel(at.x() + x, at.y() + y, drawn);
                    }
            }
    out.setDevicePixelRatio(scale);
    return out;
}

// A press and release at one device pixel of a widget, as the window system delivers
// it: in the widget's units, a fraction where the desktop scale is above 1.
inline void PressDevicePixel(QWidget* widget, QPoint device,
                             Qt::MouseButton button = Qt::LeftButton) {
    const double desktop = widget->devicePixelRatioF();
    const QPointF local(device.x() / desktop, device.y() / desktop);
    const QPointF global = widget->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, button, button, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, button, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

// Every device pixel of a band of the board, pressed: each must reach the game as the
// logical pixel it belongs to and select the cell that pixel selects at scale 1.
// Returns an empty string when all do.
inline QString CheckDevicePixelHits(frmMain& window, QRect logicalBand) {
    const int scale = Zoom::EffectiveScale(Control(window, "pctBoard"));
    QPointF seen(-1, -1);
    const auto connection = QObject::connect(
        Control(window, "pctBoard"), &PictureBox::MouseDown, Control(window, "pctBoard"),
        [&seen](Qt::MouseButton, Qt::KeyboardModifiers, QPointF at) { seen = at; });
    QString problem;
    const double desktop = Control(window, "pctBoard")->devicePixelRatioF();
    for (int y = logicalBand.top() * scale;
         y <= logicalBand.bottom() * scale + scale - 1 && problem.isEmpty(); ++y)
        for (int x = logicalBand.left() * scale; x <= logicalBand.right() * scale + scale - 1;
             ++x) {
            const QPointF local(x / desktop, y / desktop);
            QMouseEvent press(QEvent::MouseButtonPress, local,
                              Control(window, "pctBoard")->mapToGlobal(local), Qt::RightButton,
                              Qt::RightButton, Qt::NoModifier);
            QApplication::sendEvent(Control(window, "pctBoard"), &press);
            QMouseEvent release(QEvent::MouseButtonRelease, local,
                                Control(window, "pctBoard")->mapToGlobal(local), Qt::RightButton,
                                Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(Control(window, "pctBoard"), &release);
            const QPointF logical(x / scale, y / scale);
            Cell expected, found;
            const bool hitExpected = HitTest(window.game().tables(), logical, expected);
            const bool hit = HitTest(window.game().tables(), seen, found);
            if (hit != hitExpected ||
                (hit && (found.row != expected.row || found.column != expected.column ||
                         found.layer != expected.layer))) {
                problem = QStringLiteral("device %1,%2 (logical %3,%4) seen at %5,%6")
                              .arg(x)
                              .arg(y)
                              .arg(logical.x())
                              .arg(logical.y())
                              .arg(seen.x())
                              .arg(seen.y());
                break;
            }
        }
    QObject::disconnect(connection);
    return problem;
}

}  // namespace orbelix::testing
