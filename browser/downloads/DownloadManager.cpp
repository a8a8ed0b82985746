#include "browser/downloads/DownloadManager.h"

#include "base/KelumoConfig.h"
#include "base/Trace.h"
#include "browser/downloads/DownloadFailure.h"
#include "browser/downloads/DownloadProgress.h"
#include "browser/downloads/FileDialogFolders.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>
#include <QWebEngineView>

DownloadManager::DownloadManager(QWebEngineProfile *profile, const QString &downloadFolder, OwnerFor ownerFor)
    : QObject(profile), m_downloadFolder(downloadFolder), m_ownerFor(std::move(ownerFor))
{
    connect(profile, &QWebEngineProfile::downloadRequested, this,
            [this](QWebEngineDownloadRequest *download) { onDownloadRequested(download); });
}

void DownloadManager::onDownloadRequested(QWebEngineDownloadRequest *download)
{
    // The engine tries a broken-off download again by itself and asks for it
    // once more under the same id, before it reports the interruption; each
    // ask taken would be one more download of it. For the user it has
    // failed: left unaccepted, it ends in the engine too.
    if (const auto taken = m_taken.constFind(download->id()); taken != m_taken.cend()) {
        const Taken ended = *taken;
        m_taken.erase(taken);
        trace("download failed", ended.filePath.toStdString());
        emit downloadFinished(ended.filePath, false);
        if (ended.progress) {
            const DownloadFailure failure = downloadFailureFor(download->interruptReason());
            ended.progress->endAs(failure == DownloadFailure::None ? DownloadFailure::Interrupted : failure);
        }
        return;
    }
    QWidget *view = download->page() ? QWebEngineView::forPage(download->page()) : nullptr;

    const QString &fixedFolder = m_downloadFolder;
    const QString name = download->suggestedFileName();
    // A folder that is gone is asked for again, as when none is set; one that
    // cannot be written ends the download with the reason.
    if (!fixedFolder.isEmpty() && downloadFolderFailure(fixedFolder) != DownloadFailure::FolderGone) {
        download->setDownloadDirectory(fixedFolder);
        download->setDownloadFileName(name);
    } else {
        // Asked for while the engine waits: a download not accepted by the
        // time this returns is dropped by the engine.
        const QString suggested = QDir(saveDialogFolder(m_downloadFolder)).filePath(name);
        const QString chosen = QFileDialog::getSaveFileName(view, QStringLiteral("另存为"), suggested);
        if (chosen.isEmpty())
            return;
        rememberDialogFolder(chosen);
        const QFileInfo target(chosen);
        download->setDownloadDirectory(target.absolutePath());
        download->setDownloadFileName(target.fileName());
    }
    if (const DownloadFailure failure = downloadFolderFailure(download->downloadDirectory());
        failure != DownloadFailure::None) {
        // Left unaccepted rather than cancelled: the engine then drops the
        // request and its item itself, where cancel() in here would leave the
        // request in the profile's list of ongoing downloads.
        const QString filePath = QDir(download->downloadDirectory()).filePath(download->downloadFileName());
        refuse(view, filePath, failure);
        return;
    }

    const QString filePath = QDir(download->downloadDirectory()).filePath(download->downloadFileName());
    connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this, [this, download, filePath] {
        if (!download->isFinished() || !m_taken.remove(download->id()))
            return;
        const bool completed = download->state() == QWebEngineDownloadRequest::DownloadCompleted;
        trace(completed ? "download finished" : "download failed", filePath.toStdString());
        emit downloadFinished(filePath, completed);
    });
    download->accept();

    auto *progress = new DownloadProgress(download, filePath, m_ownerFor ? m_ownerFor(view) : nullptr);
    m_taken.insert(download->id(), {filePath, progress});
    progress->show();
}

void DownloadManager::refuse(QWidget *view, const QString &filePath, DownloadFailure failure)
{
    trace("download failed", (filePath + QLatin1Char(' ') + QLatin1String(downloadFailureName(failure))).toStdString());
    emit downloadFinished(filePath, false);
    const QString text = downloadFailureText(QFileInfo(filePath).fileName(), failure);
    trace("message", text.toStdString());
    // Not exec(): this runs inside the engine's signal.
    auto *box = new QMessageBox(QMessageBox::Warning, QString::fromUtf8(kelumo::productName), text, QMessageBox::Ok,
                                view ? view->window() : nullptr);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
