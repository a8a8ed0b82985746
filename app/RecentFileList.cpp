#include "app/RecentFileList.h"

#include <QDir>

namespace {

const QString section = QStringLiteral("Recent File List");

QString key(int index)
{
    return section + QStringLiteral("/File%1").arg(index + 1);
}

} // namespace

void RecentFileList::Add(const QString &path)
{
    const QString clean = QDir::cleanPath(path);
    m_files.removeAll(clean);
    m_files.prepend(clean);
    while (m_files.size() > m_size)
        m_files.removeLast();
}

void RecentFileList::ReadList(QSettings &settings)
{
    m_files.clear();
    for (int i = 0; i < m_size; ++i) {
        const QString file = settings.value(key(i)).toString();
        if (!file.isEmpty())
            m_files << file;
    }
}

void RecentFileList::WriteList(QSettings &settings) const
{
    for (int i = 0; i < m_size; ++i) {
        if (i < m_files.size())
            settings.setValue(key(i), m_files.at(i));
        else
            settings.remove(key(i));
    }
}
