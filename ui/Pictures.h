#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>
#include <functional>

namespace orbelix {

// Loads a picture compiled into the program, by the name of the control it belongs to
// ("pctNew", "pctBall_3"). Each call gives a new picture object: two loads of one file
// are different pictures, as two controls' design-time pictures are.
QPixmap LoadPicture(const QString& name);

// Decodes one of the program's own PNG files (":/assets/...") with libpng alone, as Qt's
// reader would (8-bit RGB becomes RGB32, with alpha ARGB32), so that no Qt image reader
// is made: their plugin loader scans every installed image plugin when first made, and
// may only be made on the main thread. Null for what Qt's reader decodes otherwise (a
// palette, grey levels, 16 bits) and for what cannot be read; Qt's reader takes those.
QImage DecodeOwnPng(const QString& file);

// The size of that picture, read from its file's header without decoding it.
QSize StorePictureSize(const QString& name);

// The art scales drawn for every picture: name.png, name@2x.png and name@3x.png.
constexpr int ArtScales[] = {1, 2, 3};

// The largest drawn art scale that divides `scale` (1 when none but 1 does).
int ArtScaleFor(int scale);

// A picture as it is shown at a whole-number device scale: `scale` times its size in
// device pixels, with that device pixel ratio, so its logical size stays the size of
// the picture. A picture that LoadPicture made (or a copy of one) is drawn from the art
// made for the largest art scale dividing `scale`, enlarged by whole pixels for the
// rest; any other picture is enlarged by whole pixels. At scale 1 the picture itself.
// Art for a scale is decoded the first time it is needed.
QPixmap PictureAtScale(const QPixmap& picture, int scale);

// Starts decoding these pictures, at scale 1 and at the art scale for `scale`, on a
// thread of their own: a window about to be shown has them ready by the time the window
// system asks for its first paint, instead of decoding them in that paint. The pictures
// are taken from there when first needed, waiting for the decoding if it has not ended.
// `afterwards`, when given, runs on that thread once the pictures are ready: more work
// of the start that should not run beside the decoding (one helper thread, not two,
// on a machine whose cores the window system also needs).
void PrefetchPictures(const QStringList& names, int scale,
                      std::function<void()> afterwards = {});
// Waits for that thread to end, keeping what it made: called before the program's
// static objects go, which the thread may still be using.
void FinishPrefetch();

}  // namespace orbelix
