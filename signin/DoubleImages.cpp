#include "signin/DoubleImages.h"

#include "signin/ImagePreload.h"
#include "signin/PlainBmp.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace {

// Beyond any picture the dialog could sensibly show.
constexpr qint64 pictureMaxBytes = 64 * 1024 * 1024;

// The shipped BMPs are read by decodePlainBmp(), preloaded where they were;
// anything else by Qt's image reader.
QPixmap pixmapOf(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return {};
    const QImage plain = decodePlainBmp(bytes);
    if (!plain.isNull())
        return QPixmap::fromImage(plain);
    QPixmap pixmap;
    pixmap.loadFromData(bytes);
    return pixmap;
}

// The image preloaded for `path`, handed out once; null when there is none.
QPixmap takePreloaded(const QString &path)
{
    const QImage image = ImagePreload::take(path);
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

// Empty when the file cannot be read or is beyond any picture.
QByteArray readImageFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > pictureMaxBytes)
        return {};
    return file.readAll();
}

QPixmap readPixmap(const QString &path)
{
    const QPixmap preloaded = takePreloaded(path);
    return preloaded.isNull() ? pixmapOf(readImageFile(path)) : preloaded;
}

} // namespace

bool wantsDoubleImages(qreal devicePixelRatio)
{
    return devicePixelRatio >= 1.5;
}

QString doubleImagePath(const QString &path)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix();
    if (suffix.isEmpty() || info.fileName() == QLatin1Char('.') + suffix)
        return path + QStringLiteral("@2x");
    return path.left(path.size() - suffix.size() - 1) + QStringLiteral("@2x.") + suffix;
}

QPixmap loadImageFor(const QString &path, qreal devicePixelRatio)
{
    if (wantsDoubleImages(devicePixelRatio)) {
        const QString doubledPath = doubleImagePath(path);
        QPixmap doubled = readPixmap(doubledPath);
        if (!doubled.isNull()) {
            doubled.setDevicePixelRatio(2);
            return doubled;
        }
    }
    return readPixmap(path);
}

QPixmap loadLoginPicture(const QString &path, qreal devicePixelRatio, const QByteArray &shippedSha256)
{
    if (!wantsDoubleImages(devicePixelRatio)) {
        const QPixmap preloaded = takePreloaded(path);
        if (!preloaded.isNull())
            return preloaded;
    }
    const QByteArray bytes = readImageFile(path);
    const QPixmap picture = pixmapOf(bytes);
    if (picture.isNull() || !wantsDoubleImages(devicePixelRatio))
        return picture;
    const QByteArray hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    if (hash != shippedSha256.toLower())
        return picture;
    const QString doubledPath = doubleImagePath(path);
    QPixmap doubled = readPixmap(doubledPath);
    if (doubled.isNull())
        return picture;
    doubled.setDevicePixelRatio(2);
    return doubled;
}
