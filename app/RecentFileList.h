#pragma once

#include <QSettings>
#include <QStringList>

// The most recently opened documents, newest first, kept in the profile.
class RecentFileList final
{
public:
    explicit RecentFileList(int size) : m_size(size) {}

    void Add(const QString &path);
    const QStringList &files() const { return m_files; }

    void ReadList(QSettings &settings);
    void WriteList(QSettings &settings) const;

private:
    int m_size;
    QStringList m_files;
};
