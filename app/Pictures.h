#pragma once

#include <QPixmap>
#include <QString>

namespace orbelix {

// Loads a picture compiled into the program, by the name of the control it belongs to
// ("pctNew", "pctBall_3"). Each call gives a new picture object: two loads of one file
// are different pictures, as two controls' design-time pictures are.
QPixmap LoadPicture(const QString& name);

}  // namespace orbelix
