#pragma once

#include <QObject>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

class DownloadProgress;
class QWebEngineDownloadRequest;
class QWidget;
enum class DownloadFailure;
class QWebEngineProfile;

// Takes a profile's downloads: asks where to save each one (or, when the
// client's download folder is set, saves there without asking) and shows its
// progress in a small window of its own. A download is written under a
// hidden partial name and moved to a free name (never over another file)
// once complete.
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
    // The administrator's word: ask for each download (true), never ask
    // (false: without a folder, the user's Downloads folder), or unsaid.
    void setPromptForLocation(std::optional<bool> prompt) { m_prompt = prompt; }
    // false: every download is refused at once.
    void setDownloadsEnabled(bool enabled) { m_enabled = enabled; }

signals:
    // A download accepted by the user has ended, saved to `filePath` or not.
    void downloadFinished(const QString &filePath, bool succeeded);

private:
    void onDownloadRequested(QWebEngineDownloadRequest *download);
    // Where `download` goes, as the settings or the user say: the file's
    // path, and whether the user chose to replace an existing file. Empty
    // when the user cancelled.
    QString target(QWebEngineDownloadRequest *download, QWidget *view, bool *replace);
    void onFinished(QWebEngineDownloadRequest *download);
    // A download that cannot be saved: traced, and said in a message.
    void refuse(QWidget *view, const QString &filePath, DownloadFailure failure);

    QString m_downloadFolder;
    std::optional<bool> m_prompt;
    bool m_enabled = true;
    OwnerFor m_ownerFor;
    // The downloads taken and not finished yet, by the engine's id.
    struct Taken
    {
        QString filePath;    // the name it will have, as shown
        QString partialPath; // the hidden file it is written to
        bool replace = false;
        QPointer<DownloadProgress> progress;
    };
    QHash<quint32, Taken> m_taken;
    // The names the running downloads will take: no two plan the same.
    QSet<QString> m_reserved;
};
