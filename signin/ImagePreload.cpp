#include "signin/ImagePreload.h"

#include "signin/PlainBmp.h"

#include <QFile>

#include <future>
#include <map>
#include <mutex>

namespace {

using Images = std::map<QString, QImage>;

// Beyond any image the dialog shows.
constexpr qint64 maxFileBytes = 64 * 1024 * 1024;

std::mutex g_mutex;
bool g_started = false;
std::future<Images> g_reading;
Images g_images;

Images readAll(const QStringList &paths)
{
    Images images;
    for (const QString &path : paths) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || file.size() > maxFileBytes)
            continue;
        QImage image = decodePlainBmp(file.readAll());
        if (!image.isNull())
            images.emplace(path, std::move(image));
    }
    return images;
}

} // namespace

void ImagePreload::start(const QStringList &paths)
{
    std::lock_guard lock(g_mutex);
    if (g_started)
        return;
    g_started = true;
    g_reading = std::async(std::launch::async, readAll, paths);
}

QImage ImagePreload::take(const QString &path)
{
    std::lock_guard lock(g_mutex);
    if (g_reading.valid())
        g_images = g_reading.get();
    const auto found = g_images.find(path);
    if (found == g_images.end())
        return {};
    QImage image = std::move(found->second);
    g_images.erase(found);
    return image;
}
