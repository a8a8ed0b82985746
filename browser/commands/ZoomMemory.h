#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QWebEngineProfile;

// The page zoom the user chose, per host. A profile that keeps its data on
// disk keeps the levels in a file beside it; an off-the-record one only for
// the run.
class ZoomMemory final : public QObject
{
    Q_OBJECT

public:
    // The profile's memory, made on first use; it lives as long as the profile.
    static ZoomMemory *attach(QWebEngineProfile *profile);

    // Levels kept in `file` (an INI file; empty: in memory only).
    explicit ZoomMemory(const QString &file, QObject *parent = nullptr);

    // In percent; 100 for a host never zoomed.
    int percentFor(const QString &host) const;
    void remember(const QString &host, int percent);

private:
    void save() const;

    QString m_file;
    QHash<QString, int> m_percentByHost;
};
