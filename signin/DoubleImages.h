#pragma once

#include <QByteArray>
#include <QPixmap>
#include <QString>

// Images at twice the size for screens scaled by 1.5 or more, so that the
// login dialog is drawn sharp there instead of stretched. "name.bmp" has its
// double in "name@2x.bmp" beside it.

bool wantsDoubleImages(qreal devicePixelRatio);
QString doubleImagePath(const QString &path);

// `path` itself, or its double when the screen wants one and it loads.
QPixmap loadImageFor(const QString &path, qreal devicePixelRatio);

// The login picture at `path`. Its double is used only while the picture is
// the one the client ships (its bytes hash to `shippedSha256`, hex): a picture
// the platform put in its place wins, at whatever size it has.
QPixmap loadLoginPicture(const QString &path, qreal devicePixelRatio, const QByteArray &shippedSha256);
