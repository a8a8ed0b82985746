#pragma once

#include <QObject>
#include <QString>

class QWebEngineDownloadRequest;
class QWidget;
enum class DownloadFailure;
class QWebEngineProfile;

// Takes a profile's downloads: asks where to save each one (or, when the
// environment variable KELUMO_DOWNLOAD_DIR names a folder, saves there
// without asking) and shows its progress in a small window of its own.
class DownloadManager final : public QObject
{
    Q_OBJECT

public:
    // The profile's manager, made on first use; it lives as long as the profile.
    static DownloadManager *attach(QWebEngineProfile *profile);

signals:
    // A download accepted by the user has ended, saved to `filePath` or not.
    void downloadFinished(const QString &filePath, bool succeeded);

private:
    explicit DownloadManager(QWebEngineProfile *profile);

    void onDownloadRequested(QWebEngineDownloadRequest *download);
    // A download that cannot be saved: traced, and said in a message.
    void refuse(QWidget *view, const QString &filePath, DownloadFailure failure);
};
