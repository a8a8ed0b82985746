#include "browser/commands/ZoomMemory.h"

#include "browser/commands/PageZoom.h"

#include <QDir>
#include <QSettings>
#include <QWebEngineProfile>

namespace {

const QString group = QStringLiteral("zoom");

} // namespace

ZoomMemory *ZoomMemory::attach(QWebEngineProfile *profile)
{
    if (auto *existing = profile->findChild<ZoomMemory *>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    QString file;
    if (!profile->isOffTheRecord() && !profile->persistentStoragePath().isEmpty())
        file = QDir(profile->persistentStoragePath()).filePath(QStringLiteral("zoom.ini"));
    return new ZoomMemory(file, profile);
}

ZoomMemory::ZoomMemory(const QString &file, QObject *parent) : QObject(parent), m_file(file)
{
    if (m_file.isEmpty())
        return;
    QSettings settings(m_file, QSettings::IniFormat);
    settings.beginGroup(group);
    for (const QString &key : settings.childKeys()) {
        const int percent = boundedZoomPercent(settings.value(key).toInt());
        // Keys are stored percent-encoded: a host may hold what INI keys cannot.
        const QString host = QString::fromUtf8(QByteArray::fromPercentEncoding(key.toLatin1()));
        if (!host.isEmpty() && percent != 100)
            m_percentByHost.insert(host, percent);
    }
}

int ZoomMemory::percentFor(const QString &host) const
{
    return m_percentByHost.value(host.toLower(), 100);
}

void ZoomMemory::remember(const QString &host, int percent)
{
    const QString key = host.toLower();
    if (key.isEmpty())
        return; // local pages have no host to remember them by
    percent = boundedZoomPercent(percent);
    if (percentFor(key) == percent)
        return;
    if (percent == 100)
        m_percentByHost.remove(key);
    else
        m_percentByHost.insert(key, percent);
    save();
}

void ZoomMemory::save() const
{
    if (m_file.isEmpty())
        return;
    QSettings settings(m_file, QSettings::IniFormat);
    settings.remove(group);
    settings.beginGroup(group);
    for (auto it = m_percentByHost.cbegin(); it != m_percentByHost.cend(); ++it)
        settings.setValue(QString::fromLatin1(it.key().toUtf8().toPercentEncoding()), it.value());
}
