#include "browser/downloads/DownloadManager.h"

#include "base/KelumoConfig.h"
#include "base/Trace.h"
#include "browser/downloads/DownloadFailure.h"
#include "browser/downloads/DownloadFiles.h"
#include "browser/downloads/DownloadName.h"
#include "browser/downloads/DownloadProgress.h"
#include "browser/downloads/FileDialogFolders.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeDatabase>
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
        m_reserved.remove(ended.filePath);
        QFile::remove(ended.partialPath);
        trace("download failed", ended.filePath.toStdString());
        emit downloadFinished(ended.filePath, false);
        if (ended.progress) {
            const DownloadFailure failure = downloadFailureFor(download->interruptReason());
            ended.progress->endAs(failure == DownloadFailure::None ? DownloadFailure::Interrupted : failure);
        }
        return;
    }
    QWidget *view = download->page() ? QWebEngineView::forPage(download->page()) : nullptr;
    if (!m_enabled) {
        const QString suffix = QMimeDatabase().mimeTypeForName(download->mimeType()).preferredSuffix();
        refuse(view, safeFileName(serverMeantName(download->suggestedFileName()), suffix),
               DownloadFailure::Disabled);
        return;
    }

    bool replace = false;
    const QString filePath = target(download, view, &replace);
    if (filePath.isEmpty())
        return;
    const QString folder = QFileInfo(filePath).absolutePath();
    DownloadFailure failure = downloadFolderFailure(folder);
    // Left unaccepted rather than cancelled: the engine then drops the
    // request and its item itself, where cancel() in here would leave the
    // request in the profile's list of ongoing downloads.
    if (failure != DownloadFailure::None)
        return refuse(view, filePath, failure);
    const QString partial = claimPartialFile(folder, QFileInfo(filePath).fileName());
    if (partial.isEmpty())
        return refuse(view, filePath, DownloadFailure::NoPermission);

    download->setDownloadDirectory(folder);
    download->setDownloadFileName(QFileInfo(partial).fileName());
    connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this, [this, download] { onFinished(download); });
    // Gone before the window says the download failed.
    connect(download, &QWebEngineDownloadRequest::stateChanged, this,
            [partial](QWebEngineDownloadRequest::DownloadState state) {
                if (state == QWebEngineDownloadRequest::DownloadInterrupted)
                    QFile::remove(partial);
            });
    download->accept();

    auto *progress = new DownloadProgress(download, filePath, m_ownerFor ? m_ownerFor(view) : nullptr);
    m_taken.insert(download->id(), {filePath, partial, replace, progress});
    m_reserved.insert(filePath);
    progress->showWithOwner();
}

QString DownloadManager::target(QWebEngineDownloadRequest *download, QWidget *view, bool *replace)
{
    const QString suffix = QMimeDatabase().mimeTypeForName(download->mimeType()).preferredSuffix();
    const QString name = safeFileName(serverMeantName(download->suggestedFileName()), suffix);
    const auto reserved = [this](const QString &path) { return m_reserved.contains(path); };
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    // A folder that is gone is asked for again, as when none is set; one that
    // cannot be written ends the download with the reason.
    const DownloadPlace place =
        downloadPlace(m_downloadFolder, downloadFolderFailure(m_downloadFolder) == DownloadFailure::FolderGone,
                      m_prompt, downloads);
    if (!place.ask) {
        if (place.folder == downloads)
            QDir().mkpath(downloads);
        return firstFreeFile(place.folder, name, reserved);
    }
    // Asked for while the engine waits: a download not accepted by the time
    // this returns is dropped by the engine.
    const QString suggested = firstFreeFile(saveDialogFolder(m_downloadFolder), name, reserved);
    const QString chosen = QFileDialog::getSaveFileName(view, QStringLiteral("另存为"), suggested);
    if (chosen.isEmpty())
        return {};
    rememberDialogFolder(chosen);
    // The dialog has asked before replacing a file.
    *replace = QFileInfo::exists(chosen);
    return QFileInfo(chosen).absoluteFilePath();
}

void DownloadManager::onFinished(QWebEngineDownloadRequest *download)
{
    const auto found = m_taken.find(download->id());
    if (!download->isFinished() || found == m_taken.end())
        return;
    const Taken taken = *found;
    m_taken.erase(found);
    m_reserved.remove(taken.filePath);
    QString filePath = taken.filePath;
    bool completed = download->state() == QWebEngineDownloadRequest::DownloadCompleted;
    if (completed) {
        const auto reserved = [this](const QString &path) { return m_reserved.contains(path); };
        const QString saved = moveIntoPlace(taken.partialPath, taken.filePath, QFileInfo(taken.filePath).fileName(),
                                            taken.replace, reserved);
        completed = !saved.isEmpty();
        if (completed)
            filePath = saved;
        else if (taken.progress)
            taken.progress->endAs(DownloadFailure::Other);
    }
    if (!completed)
        QFile::remove(taken.partialPath);
    // Before the window's own ending, which shows where the file went.
    if (completed && taken.progress)
        taken.progress->setSavedAs(filePath);
    trace(completed ? "download finished" : "download failed", filePath.toStdString());
    emit downloadFinished(filePath, completed);
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
