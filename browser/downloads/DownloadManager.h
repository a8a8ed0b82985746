#pragma once

#include <QObject>
#include <QHash>
#include <QPointer>
#include <QString>

#include <functional>

class DownloadProgress;
class QWebEngineDownloadRequest;
class QWidget;
enum class DownloadFailure;
class QWebEngineProfile;

// Takes a profile's downloads: asks where to save each one (or, when the
// client's download folder is set, saves there without asking) and shows its
// progress in a small window of its own.
class DownloadManager final : public QObject
{
    Q_OBJECT

public:
    // The window that owns what a download shows (its progress, its
    // messages), given the view that started it.
    using OwnerFor = std::function<QWidget *(QWidget *view)>;

    // Takes `profile`'s downloads for as long as the profile lives.
    // `downloadFolder`: saved there without asking; empty asks each time.
    DownloadManager(QWebEngineProfile *profile, const QString &downloadFolder, OwnerFor ownerFor);

    void setDownloadFolder(const QString &folder) { m_downloadFolder = folder; }

signals:
    // A download accepted by the user has ended, saved to `filePath` or not.
    void downloadFinished(const QString &filePath, bool succeeded);

private:
    void onDownloadRequested(QWebEngineDownloadRequest *download);
    // A download that cannot be saved: traced, and said in a message.
    void refuse(QWidget *view, const QString &filePath, DownloadFailure failure);

    QString m_downloadFolder;
    OwnerFor m_ownerFor;
    // The downloads taken and not finished yet, by the engine's id.
    struct Taken
    {
        QString filePath;
        QPointer<DownloadProgress> progress;
    };
    QHash<quint32, Taken> m_taken;
};
