#pragma once

#include "browser/downloads/DownloadFailure.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QWebEngineDownloadRequest;

// A small window beside the main frame that follows one download: how much
// has arrived, then whether it was saved. Closing it while the download runs
// cancels the download.
class DownloadProgress final : public QWidget
{
    Q_OBJECT

public:
    DownloadProgress(QWebEngineDownloadRequest *download, const QString &filePath, QWidget *owner = nullptr);

    // The engine gave the download up without a word: it failed so.
    void endAs(DownloadFailure failure);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void updateProgress();
    void finish();

    QPointer<QWebEngineDownloadRequest> m_download;
    // Why the download failed, once it has.
    DownloadFailure m_failure = DownloadFailure::None;
    QString m_filePath;
    QLabel *m_status;
    QProgressBar *m_bar;
    QPushButton *m_button;
};
