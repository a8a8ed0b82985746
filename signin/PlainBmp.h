#pragma once

#include <QByteArray>
#include <QImage>

// Reads the BMPs the client ships: uncompressed, 24 or 32 bits a pixel,
// bottom-up or top-down. Null for anything else, which Qt's image reader then
// takes. Done here because Qt's reader first looks through every image plugin
// (reading each library's description from the disk) before its own BMP
// reader, in front of the login dialog's first paint; and because this runs
// on any thread, before the application exists.
QImage decodePlainBmp(const QByteArray &bytes);
