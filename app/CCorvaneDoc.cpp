#include "app/CCorvaneDoc.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

CCorvaneDoc::CCorvaneDoc(QObject *parent) : QObject(parent) {}

bool CCorvaneDoc::OnNewDocument()
{
    m_pathName.clear();
    SetTitle(QStringLiteral("无标题"));
    emit initialUpdate();
    return true;
}

bool CCorvaneDoc::OnOpenDocument(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    m_pathName = QFileInfo(path).absoluteFilePath();
    SetTitle(QFileInfo(path).fileName());
    emit initialUpdate();
    return true;
}

bool CCorvaneDoc::OnSaveDocument(const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.commit())
        return false;
    m_pathName = QFileInfo(path).absoluteFilePath();
    SetTitle(QFileInfo(path).fileName());
    return true;
}

void CCorvaneDoc::SetTitle(const QString &)
{
    // Whatever name the document would get, it keeps none.
    m_title.clear();
}
