#include "signin/DoubleImages.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace {

// Beyond any picture the dialog could sensibly show.
constexpr qint64 pictureMaxBytes = 64 * 1024 * 1024;

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
        QPixmap doubled(doubleImagePath(path));
        if (!doubled.isNull()) {
            doubled.setDevicePixelRatio(2);
            return doubled;
        }
    }
    return QPixmap(path);
}

QPixmap loadLoginPicture(const QString &path, qreal devicePixelRatio, const QByteArray &shippedSha256)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > pictureMaxBytes)
        return {};
    const QByteArray bytes = file.readAll();
    QPixmap picture;
    picture.loadFromData(bytes);
    if (picture.isNull() || !wantsDoubleImages(devicePixelRatio))
        return picture;
    const QByteArray hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    if (hash != shippedSha256.toLower())
        return picture;
    QPixmap doubled(doubleImagePath(path));
    if (doubled.isNull())
        return picture;
    doubled.setDevicePixelRatio(2);
    return doubled;
}
