#include "ui/Pictures.h"

#include <QFile>
#include <QHash>
#include <QtEndian>
#include <QImage>
#include <QImageReader>
#include <QLocale>
#include <QResource>
#include <QThread>
#include <future>
#include <mutex>
#include <thread>
#include <utility>

#include <png.h>

namespace orbelix {
namespace {

// Which store picture a pixmap shows, by its cacheKey (shared by every copy of it).
QHash<qint64, QString>& PictureNames() {
    static QHash<qint64, QString> names;
    return names;
}

QString ArtFile(const QString& name, int artScale) {
    return artScale == 1 ? QStringLiteral(":/assets/%1.png").arg(name)
                         : QStringLiteral(":/assets/%1@%2x.png").arg(name).arg(artScale);
}

// The pictures decoded ahead by PrefetchPictures, by file, until each is taken.
struct Prefetched {
    std::mutex lock;
    QStringList files;  // what the decoding under way makes
    std::future<QHash<QString, QImage>> decoding;
    QHash<QString, QImage> ready;
    std::thread worker;
};

Prefetched& Ahead() {
    // Never destroyed: when Qt ends the program with exit() (its X server gone), a finished
    // worker not yet joined would end it with std::terminate instead.
    static Prefetched* const ahead = new Prefetched;
    return *ahead;
}

}  // namespace

QImage DecodeOwnPng(const QString& file) {
    const QResource resource(file, QLocale::c());
    const QByteArray data = resource.uncompressedData();
    if (data.isEmpty()) return {};
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&png, data.constData(), static_cast<size_t>(data.size())) ==
        0)
        return {};
    if ((png.format & PNG_FORMAT_FLAG_COLOR) == 0 ||
        (png.format & (PNG_FORMAT_FLAG_COLORMAP | PNG_FORMAT_FLAG_LINEAR)) != 0) {
        png_image_free(&png);
        return {};
    }
    const bool alpha = (png.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    // QImage's 32-bit pixels are 0xAARRGGBB words.
    png.format = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
    QImage image(static_cast<int>(png.width), static_cast<int>(png.height),
                 alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull()) {
        png_image_free(&png);
        return {};
    }
    if (png_image_finish_read(&png, nullptr, image.bits(),
                              static_cast<png_int_32>(image.bytesPerLine()), nullptr) == 0)
        return {};
    return image;
}

namespace {

QImage Decode(const QString& name, int artScale) {
    const QString file = ArtFile(name, artScale);
    Prefetched& ahead = Ahead();
    {
        std::lock_guard<std::mutex> hold(ahead.lock);
        if (ahead.decoding.valid() && ahead.files.contains(file)) {
            ahead.ready.insert(ahead.decoding.get());
            ahead.files.clear();
        }
        if (const auto found = ahead.ready.constFind(file); found != ahead.ready.constEnd())
            return ahead.ready.take(file);
    }
    if (QImage image = DecodeOwnPng(file); !image.isNull()) return image;
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
    // Read from the PNG header (the signature, then the IHDR chunk with the width and the
    // height as big-endian 32-bit numbers): no image reader is set up for every control.
    QFile file(ArtFile(name, 1));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray head = file.read(24);
    if (head.size() < 24 || !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR")
        return QImageReader(ArtFile(name, 1)).size();
    const auto number = [&head](int at) {
        return qFromBigEndian<quint32>(reinterpret_cast<const uchar*>(head.constData()) + at);
    };
    return QSize(static_cast<int>(number(16)), static_cast<int>(number(20)));
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
        QPixmap pixmap = QPixmap::fromImage(std::move(image));
        pixmap.setDevicePixelRatio(scale);
        found = shown.insert(key, pixmap);
    }
    return *found;
}

void FinishPrefetch() {
    Prefetched& ahead = Ahead();
    std::thread worker;
    {
        std::lock_guard<std::mutex> hold(ahead.lock);
        if (ahead.decoding.valid()) ahead.ready.insert(ahead.decoding.get());
        ahead.files.clear();
        worker = std::move(ahead.worker);
    }
    if (worker.joinable()) worker.join();
}

void PrefetchPictures(const QStringList& names, int scale, std::function<void()> afterwards) {
    Prefetched& ahead = Ahead();
    std::lock_guard<std::mutex> hold(ahead.lock);
    // One decoding ahead at a time; a finished thread is joined before the next.
    if (ahead.decoding.valid()) return;
    if (ahead.worker.joinable()) ahead.worker.join();
    QStringList files;
    const int art = ArtScaleFor(scale);
    for (const QString& name : names) {
        files << ArtFile(name, 1);
        if (art > 1) files << ArtFile(name, art);
    }
    // Qt takes the first thread that uses it for the main thread: this one, even when
    // called before the application object exists.
    QThread::currentThread();
    ahead.files = files;
    std::promise<QHash<QString, QImage>> made;
    ahead.decoding = made.get_future();
    ahead.worker = std::thread([files, made = std::move(made), afterwards]() mutable {
        QHash<QString, QImage> decoded;
        for (const QString& file : files)
            if (QImage image = DecodeOwnPng(file); !image.isNull()) decoded.insert(file, image);
        made.set_value(std::move(decoded));
        if (afterwards) afterwards();
    });
}

}  // namespace orbelix
