#include "browser/DownloadManager.h"

#include "base/ClientSettings.h"

#include "base/Trace.h"

#include "browser/BrowserWindow.h"
#include "browser/DownloadProgress.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>
#include <QWebEngineView>

DownloadManager *DownloadManager::attach(QWebEngineProfile *profile)
{
    if (auto *existing = profile->findChild<DownloadManager *>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new DownloadManager(profile);
}

DownloadManager::DownloadManager(QWebEngineProfile *profile)
    : QObject(profile)
{
    connect(profile, &QWebEngineProfile::downloadRequested, this,
            [this](QWebEngineDownloadRequest *download) { onDownloadRequested(download); });
}

void DownloadManager::onDownloadRequested(QWebEngineDownloadRequest *download)
{
    QWidget *view = download->page() ? QWebEngineView::forPage(download->page()) : nullptr;

    const QString fixedFolder = QString::fromStdString(ClientSettings::fromEnvironment().downloadFolder);
    if (!fixedFolder.isEmpty()) {
        download->setDownloadDirectory(fixedFolder);
        download->setDownloadFileName(download->suggestedFileName());
    } else {
        // Asked for while the engine waits: a download not accepted by the
        // time this returns is cancelled.
        const QString suggested = QDir(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation))
                                      .filePath(download->suggestedFileName());
        const QString chosen = QFileDialog::getSaveFileName(view, QStringLiteral("另存为"), suggested);
        if (chosen.isEmpty()) {
            download->cancel();
            return;
        }
        const QFileInfo target(chosen);
        download->setDownloadDirectory(target.absolutePath());
        download->setDownloadFileName(target.fileName());
    }

    const QString filePath = QDir(download->downloadDirectory()).filePath(download->downloadFileName());
    connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this, [this, download, filePath] {
        if (!download->isFinished())
            return;
        const bool completed = download->state() == QWebEngineDownloadRequest::DownloadCompleted;
        trace(completed ? "download finished" : "download failed", filePath.toStdString());
        emit downloadFinished(filePath, completed);
    });
    download->accept();

    auto *progress = new DownloadProgress(download, filePath, BrowserWindow::ownerFor(view));
    progress->show();
}
