#include "app/Pictures.h"

#include <QHash>
#include <QImage>

namespace orbelix {

QPixmap LoadPicture(const QString& name) {
    // Each file is decoded once; the high-score window, made anew at every opening, then
    // costs no decoding. Every call gives a new picture object: a picture's identity
    // follows its image data, so each gets a copy of its own.
    static QHash<QString, QImage> decoded;
    auto found = decoded.find(name);
    if (found == decoded.end())
        found = decoded.insert(name, QImage(QStringLiteral(":/assets/%1.png").arg(name)));
    return QPixmap::fromImage(found->copy());
}

}  // namespace orbelix
