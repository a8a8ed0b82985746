#pragma once

#include <QObject>
#include <QString>

// The main window's document. Every page lives in the browser, so it keeps no
// content; its one rule is that it never has a title.
class CCorvaneDoc final : public QObject
{
    Q_OBJECT

public:
    explicit CCorvaneDoc(QObject *parent = nullptr);

    bool OnNewDocument();
    // Opening succeeds when the file can be read; nothing of it is read.
    bool OnOpenDocument(const QString &path);
    // Saving writes a file without content.
    bool OnSaveDocument(const QString &path);

    void SetTitle(const QString &title);
    QString GetTitle() const { return m_title; }
    QString GetPathName() const { return m_pathName; }

signals:
    // The document was renewed: the view goes back to its start.
    void initialUpdate();

private:
    QString m_title;
    QString m_pathName;
};
