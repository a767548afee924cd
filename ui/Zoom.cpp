#include "ui/Zoom.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

namespace orbelix::Zoom {
namespace {
int zoom = Min;
}

int Factor() {
    return zoom;
}

void SetFactor(int value) {
    zoom = std::clamp(value, Min, Max);
}

QRect ToWindow(const QRect& logical) {
    return {logical.topLeft() * zoom, logical.size() * zoom};
}

QSize ToWindow(const QSize& logical) {
    return logical * zoom;
}

int EffectiveScale(const QWidget* widget) {
    const double desktop = widget != nullptr ? widget->devicePixelRatioF() : 1.0;
    return std::max(1, static_cast<int>(std::lround(desktop))) * zoom;
}

QPoint ToDevice(const QPointF& position, const QWidget* widget) {
    const double desktop = static_cast<double>(EffectiveScale(widget)) / zoom;
    // Device positions are whole numbers; the small allowance absorbs the rounding of
    // their division by the desktop scale.
    const auto device = [&](double value) {
        return static_cast<int>(std::floor(value * desktop + 1e-6));
    };
    return {device(position.x()), device(position.y())};
}

QPointF ToLogical(const QPointF& position, const QWidget* widget) {
    const int scale = EffectiveScale(widget);
    if (scale == 1) return position;
    const QPoint device = ToDevice(position, widget);
    return {std::floor(static_cast<double>(device.x()) / scale),
            std::floor(static_cast<double>(device.y()) / scale)};
}

}  // namespace orbelix::Zoom
