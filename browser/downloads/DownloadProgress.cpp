#include "browser/downloads/DownloadProgress.h"

#include "base/KelumoConfig.h"
#include "browser/downloads/DownloadFailure.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>

#include <algorithm>

namespace {

QString sizeText(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace

DownloadProgress::DownloadProgress(QWebEngineDownloadRequest *download, const QString &filePath, QWidget *owner)
    : QWidget(owner, Qt::Tool),
      m_download(download),
      m_filePath(filePath),
      m_name(new QLabel(this)),
      m_status(new QLabel(this)),
      m_bar(new QProgressBar(this)),
      m_openFile(new QPushButton(QStringLiteral("打开文件"), this)),
      m_openFolder(new QPushButton(QStringLiteral("打开所在文件夹"), this)),
      m_button(new QPushButton(QStringLiteral("取消"), this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    // A download left running must not keep the program alive.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("下载 - ") + QString::fromUtf8(kelumo::productName));
    setFixedWidth(380);

    setSavedAs(filePath);
    QFont bold = m_name->font();
    bold.setBold(true);
    m_name->setFont(bold);

    m_bar->setAccessibleName(QStringLiteral("下载进度"));
    m_bar->setAccessibleDescription(QFileInfo(filePath).fileName());
    m_status->setAccessibleDescription(QStringLiteral("下载状态"));

    // Through the desktop (xdg-open), once the file is there.
    m_openFile->hide();
    m_openFolder->hide();
    connect(m_openFile, &QPushButton::clicked, this,
            [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(m_filePath)); });
    connect(m_openFolder, &QPushButton::clicked, this,
            [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(m_filePath).absolutePath())); });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_openFile);
    buttons->addWidget(m_openFolder);
    buttons->addWidget(m_button);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_name);
    layout->addWidget(m_bar);
    layout->addWidget(m_status);
    layout->addLayout(buttons);

    connect(m_button, &QPushButton::clicked, this, &QWidget::close);
    connect(download, &QWebEngineDownloadRequest::receivedBytesChanged, this, [this] { updateProgress(); });
    connect(download, &QWebEngineDownloadRequest::totalBytesChanged, this, [this] { updateProgress(); });
    connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this, [this] { finish(); });
    // An interrupted download may wait to be resumed for good: it is ended
    // here, its partial file removed with it, and the reason said.
    connect(download, &QWebEngineDownloadRequest::stateChanged, this, [this](QWebEngineDownloadRequest::DownloadState state) {
        if (state != QWebEngineDownloadRequest::DownloadInterrupted || !m_download)
            return;
        m_failure = downloadFailureFor(m_download->interruptReason());
        if (m_failure == DownloadFailure::None)
            m_failure = DownloadFailure::Other;
        if (!m_download->isFinished())
            m_download->cancel();
        finish();
    });
    updateProgress();
    if (download->isFinished())
        finish();
}

void DownloadProgress::updateProgress()
{
    if (!m_download || m_download->isFinished())
        return;
    const qint64 received = m_download->receivedBytes();
    const qint64 total = m_download->totalBytes();
    if (total > 0) {
        // Percent keeps the bar's range inside int for any file size.
        m_bar->setRange(0, 100);
        m_bar->setValue(static_cast<int>(received * 100 / total));
        m_status->setText(QStringLiteral("正在下载：%1 / %2").arg(sizeText(received), sizeText(total)));
    } else {
        m_bar->setRange(0, 0); // size unknown: a busy bar
        m_status->setText(QStringLiteral("正在下载：%1").arg(sizeText(received)));
    }
}

void DownloadProgress::endAs(DownloadFailure failure)
{
    m_failure = failure;
    finish();
}

void DownloadProgress::setSavedAs(const QString &filePath)
{
    m_filePath = filePath;
    m_name->setText(m_name->fontMetrics().elidedText(QFileInfo(filePath).fileName(), Qt::ElideMiddle, 340));
    m_name->setToolTip(filePath);
    m_bar->setAccessibleDescription(QFileInfo(filePath).fileName());
}

void DownloadProgress::finish()
{
    if (!m_download || (!m_download->isFinished() && m_failure == DownloadFailure::None))
        return;
    m_bar->setRange(0, 100);
    switch (m_download->state()) {
    case QWebEngineDownloadRequest::DownloadCompleted:
        m_bar->setValue(100);
        m_status->setText(QStringLiteral("下载完成，已保存到 %1").arg(QFileInfo(m_filePath).absolutePath()));
        m_openFile->show();
        m_openFolder->show();
        // Enter opens the file.
        m_openFile->setDefault(true);
        m_openFile->setFocus();
        break;
    case QWebEngineDownloadRequest::DownloadCancelled:
        if (m_failure == DownloadFailure::None) {
            m_status->setText(QStringLiteral("下载已取消"));
            break;
        }
        [[fallthrough]];
    default:
        // The engine's reason text is not for users: ours names the file and why.
        if (m_failure == DownloadFailure::None)
            m_failure = downloadFailureFor(m_download->interruptReason());
        m_status->setText(downloadFailureText(QFileInfo(m_filePath).fileName(),
                                              m_failure == DownloadFailure::None ? DownloadFailure::Other : m_failure));
        break;
    }
    m_status->setWordWrap(true);
    m_button->setText(QStringLiteral("关闭"));
    m_download = nullptr;
}

QPoint DownloadProgress::placeFor(const QRect &area, const QSize &size, int index)
{
    constexpr int margin = 24;
    // With room for the window manager's title bar.
    const int step = size.height() + 40;
    // A full column goes on in a new one to its left.
    const int rows = std::max(1, (area.height() - 2 * margin) / step);
    const int column = index / rows;
    return {area.right() - margin - size.width() - column * (size.width() + 16),
            area.bottom() - margin - size.height() - (index % rows) * step};
}

void DownloadProgress::showWithOwner()
{
    QWidget *owner = parentWidget();
    if (!owner || owner->isVisible()) {
        show();
        return;
    }
    owner->installEventFilter(this);
}

bool DownloadProgress::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Show) {
        parentWidget()->removeEventFilter(this);
        // After the owner is placed, so that this one is placed over it.
        QMetaObject::invokeMethod(this, &QWidget::show, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

void DownloadProgress::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
        const QRect area = owner && owner->isVisible() ? owner->frameGeometry() : screen()->availableGeometry();
        const QSize size = sizeHint().expandedTo(minimumSize());
        // The first place no other download window of the owner takes.
        QList<QPoint> taken;
        for (const QWidget *other : (owner ? owner->findChildren<DownloadProgress *>() : QList<DownloadProgress *>()))
            if (other != this && other->isVisible())
                taken << other->pos();
        int index = 0;
        while (taken.contains(placeFor(area, size, index)) && index < 50)
            ++index;
        move(placeFor(area, size, index));
    }
    QWidget::showEvent(event);
}

void DownloadProgress::closeEvent(QCloseEvent *event)
{
    if (m_download && !m_download->isFinished())
        m_download->cancel();
    QWidget::closeEvent(event);
}
