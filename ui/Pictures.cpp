#include "ui/Pictures.h"

#include <QHash>
#include <QImage>
#include <QImageReader>

namespace orbelix {
namespace {

// Which store picture a pixmap shows, by its cacheKey (shared by every copy of it).
QHash<qint64, QString>& PictureNames() {
    static QHash<qint64, QString> names;
    return names;
}

QImage Decode(const QString& name, int artScale) {
    const QString file = artScale == 1
                             ? QStringLiteral(":/assets/%1.png").arg(name)
                             : QStringLiteral(":/assets/%1@%2x.png").arg(name).arg(artScale);
    return QImage(file);
}

// Enlarges by a whole factor, each pixel becoming a block of factor x factor pixels.
QImage Enlarged(const QImage& image, int factor) {
    if (factor == 1) return image;
    return image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

}  // namespace

QPixmap LoadPicture(const QString& name) {
    // Each file is decoded once; the high-score window, made anew at every opening, then
    // costs no decoding. Every call gives a new picture object: a picture's identity
    // follows its image data, so each gets a copy of its own.
    static QHash<QString, QImage> decoded;
    auto found = decoded.find(name);
    if (found == decoded.end()) found = decoded.insert(name, Decode(name, 1));
    QPixmap picture = QPixmap::fromImage(found->copy());
    if (!picture.isNull()) PictureNames().insert(picture.cacheKey(), name);
    return picture;
}

QSize StorePictureSize(const QString& name) {
    return QImageReader(QStringLiteral(":/assets/%1.png").arg(name)).size();
}

int ArtScaleFor(int scale) {
    int best = 1;
    for (int art : ArtScales)
        if (scale % art == 0) best = art;
    return best;
}

QPixmap PictureAtScale(const QPixmap& picture, int scale) {
    if (scale <= 1 || picture.isNull()) return picture;
    const auto name = PictureNames().constFind(picture.cacheKey());
    if (name == PictureNames().constEnd()) {
        QPixmap enlarged = QPixmap::fromImage(Enlarged(picture.toImage(), scale));
        enlarged.setDevicePixelRatio(scale);
        return enlarged;
    }
    // One shown picture per name and scale, made on first use.
    static QHash<QString, QPixmap> shown;
    const QString key = QStringLiteral("%1@%2").arg(*name).arg(scale);
    auto found = shown.find(key);
    if (found == shown.end()) {
        const int art = ArtScaleFor(scale);
        QImage image = Decode(*name, art);
        // Art that is missing or of the wrong size is never shown: the 1x picture,
        // enlarged, stands in for it.
        if (image.size() != picture.size() * art) {
            image = picture.toImage();
            image = Enlarged(image, scale);
        } else {
            image = Enlarged(image, scale / art);
        }
        QPixmap pixmap = QPixmap::fromImage(image);
        pixmap.setDevicePixelRatio(scale);
        found = shown.insert(key, pixmap);
    }
    return *found;
}

}  // namespace orbelix
