#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

// Reads images on a thread of their own while the login dialog is being
// built, so that its first paint finds them decoded: the reading from the
// disk, the slow part when nothing is in the page cache, is off the dialog's
// thread. Only what decodePlainBmp() reads is kept.
class ImagePreload final
{
public:
    // Starts reading `paths` (files or Qt resources); once per process.
    static void start(const QStringList &paths);
    // The image read for `path`, waiting for the reading if it still runs;
    // handed out once, so a later call reads the file again. Null when it
    // was not preloaded or not readable so.
    static QImage take(const QString &path);

    ImagePreload() = delete;
};
