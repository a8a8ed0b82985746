#include "browser/navigation/StartAddress.h"

#include "base/GbkText.h"

#include <algorithm>
#include <string_view>

QString startAddressText(const char *buffer)
{
    if (!buffer)
        return {};
    const char *end = std::find(buffer, buffer + startAddressBufferSize, '\0');
    const std::string utf8 = gbkToUtf8(std::string_view(buffer, static_cast<std::size_t>(end - buffer)));
    return QString::fromStdString(utf8);
}
