// Reading the dialog's pictures: any bytes in place of a BMP are read or
// refused without reading outside them.

#include "signin/PlainBmp.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QImage image = decodePlainBmp(QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    if (!image.isNull())
        (void)image.pixel(image.width() - 1, image.height() - 1);
    return 0;
}
