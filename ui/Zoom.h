#pragma once

#include <QPointF>
#include <QRect>

class QWidget;

namespace orbelix {

// The game's zoom: every logical pixel of the layout becomes zoom x zoom pixels of the
// window system, on top of the desktop's own scale. The layout, the rules and the mouse
// positions they see stay in logical pixels; only the picture controls and the windows'
// sizes go through these conversions. Qt cannot change its own scale factor while the
// program runs, which is why the zoom lives here.
namespace Zoom {

constexpr int Min = 1;
constexpr int Max = 4;

int Factor();
// Sets the zoom, kept within Min..Max. Windows follow when told (frmMain::SetZoom).
void SetFactor(int zoom);

// Logical places and sizes in the window system's units.
QRect ToWindow(const QRect& logical);
QSize ToWindow(const QSize& logical);

// The whole-number device pixels per logical pixel for a widget: the desktop's scale
// (rounded) times the zoom.
int EffectiveScale(const QWidget* widget);

// The device pixel under a mouse position given in the widget's window-system units.
QPoint ToDevice(const QPointF& position, const QWidget* widget);

// A mouse position in the widget's window-system units, in logical pixels. At effective
// scale 1 it is passed on as it is; above, the device pixel under the pointer is found
// and the logical pixel it belongs to is given, so that every device pixel acts as its
// logical pixel does at scale 1.
QPointF ToLogical(const QPointF& position, const QWidget* widget);

}  // namespace Zoom
}  // namespace orbelix
