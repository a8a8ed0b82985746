#include "signin/DoubleImages.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace {

// Beyond any picture the dialog could sensibly show.
constexpr qint64 pictureMaxBytes = 64 * 1024 * 1024;

// A BMP is read by Qt's own reader, without detection: that asks every image
// plugin first, each a library to load before the first paint.
QPixmap readPixmap(QIODevice *device, const QString &name)
{
    QImageReader reader(device);
    if (name.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive)) {
        reader.setFormat("bmp");
        reader.setAutoDetectImageFormat(false);
    }
    return QPixmap::fromImage(reader.read());
}

QPixmap readPixmap(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return readPixmap(&file, path);
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > pictureMaxBytes)
        return {};
    const QByteArray bytes = file.readAll();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QPixmap picture = readPixmap(&buffer, path);
    // A picture of another format put in its place is still recognised.
    if (picture.isNull())
        picture.loadFromData(bytes);
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
