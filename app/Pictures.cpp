#include "app/Pictures.h"

#include <QImage>

namespace orbelix {

QPixmap LoadPicture(const QString& name) {
    // fromImage, not QPixmap(file): QPixmap's own loader shares one cached object per file.
    return QPixmap::fromImage(QImage(QStringLiteral(":/assets/%1.png").arg(name)));
}

}  // namespace orbelix
