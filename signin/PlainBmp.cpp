#include "signin/PlainBmp.h"

#include <cstdint>

namespace {

// Beyond any image the dialog shows: bounds the memory a damaged or hostile
// file can make the reader ask for.
constexpr std::int64_t maxSide = 16384;

std::uint32_t le32(const QByteArray &bytes, qsizetype at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData()) + at;
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}

std::uint16_t le16(const QByteArray &bytes, qsizetype at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData()) + at;
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

} // namespace

QImage decodePlainBmp(const QByteArray &bytes)
{
    // File header (14 bytes) and at least the 40-byte information header.
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M')
        return {};
    const std::int64_t pixelsAt = le32(bytes, 10);
    const std::uint32_t headerSize = le32(bytes, 14);
    const std::int64_t width = static_cast<std::int32_t>(le32(bytes, 18));
    const std::int64_t signedHeight = static_cast<std::int32_t>(le32(bytes, 22));
    const int planes = le16(bytes, 26);
    const int bits = le16(bytes, 28);
    const std::uint32_t compression = le32(bytes, 30);
    if (headerSize < 40 || planes != 1 || (bits != 24 && bits != 32) || compression != 0)
        return {};
    const bool topDown = signedHeight < 0;
    const std::int64_t height = topDown ? -signedHeight : signedHeight;
    if (width <= 0 || height <= 0 || width > maxSide || height > maxSide)
        return {};
    const std::int64_t bytesPerPixel = bits / 8;
    // Rows are padded to four bytes.
    const std::int64_t stride = (width * bytesPerPixel + 3) / 4 * 4;
    if (pixelsAt < std::int64_t(14) + headerSize || pixelsAt + stride * height > bytes.size())
        return {};

    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    if (image.isNull())
        return {};
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    for (std::int64_t y = 0; y < height; ++y) {
        const unsigned char *source = data + pixelsAt + (topDown ? y : height - 1 - y) * stride;
        auto *target = reinterpret_cast<QRgb *>(image.scanLine(static_cast<int>(y)));
        for (std::int64_t x = 0; x < width; ++x, source += bytesPerPixel)
            target[x] = qRgb(source[2], source[1], source[0]);
    }
    return image;
}
