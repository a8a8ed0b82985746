#pragma once

#include "browser/downloads/DownloadFailure.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QWebEngineDownloadRequest;

// A small window over the main frame's lower right corner (stacked upwards
// when there are several) that follows one download: how much has arrived,
// then whether it was saved, with the saved file and its folder one click
// away. Closing it while the download runs cancels the download.
class DownloadProgress final : public QWidget
{
    Q_OBJECT

public:
    DownloadProgress(QWebEngineDownloadRequest *download, const QString &filePath, QWidget *owner = nullptr);

    // The engine gave the download up without a word: it failed so.
    void endAs(DownloadFailure failure);
    // The complete file ended up at `filePath` (its name may have changed).
    void setSavedAs(const QString &filePath);
    // Shows the window now, or, while its owner is still hidden (a download
    // the start page began), once the owner shows.
    void showWithOwner();

    // Where the `index`th window of this size goes over `area` (the owner's
    // frame, or the screen): at its lower right, each next one above, a full
    // column going on to its left.
    static QPoint placeFor(const QRect &area, const QSize &size, int index);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateProgress();
    void finish();

    QPointer<QWebEngineDownloadRequest> m_download;
    // Why the download failed, once it has.
    DownloadFailure m_failure = DownloadFailure::None;
    QString m_filePath;
    QLabel *m_name;
    QLabel *m_status;
    QProgressBar *m_bar;
    QPushButton *m_openFile;
    QPushButton *m_openFolder;
    QPushButton *m_button;
};
