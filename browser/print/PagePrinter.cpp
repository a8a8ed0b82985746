#include "browser/print/PagePrinter.h"

#include "base/KelumoConfig.h"
#include "base/Trace.h"
#include "browser/print/PreviewPages.h"
#include "browser/print/ShownPdf.h"

#include <QAction>
#include <QEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QGraphicsView>
#include <QMessageBox>
#include <QPaintEngine>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QSaveFile>
#include <QTimer>
#include <QToolBar>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <string>

namespace {

// Sharp up to one and a half times the paper's size on screen.
constexpr double screenSharpness = 1.5;
// What the pictures of one preview may take together.
constexpr qint64 previewBytes = 256ll * 1024 * 1024;
// While pages come in, the preview is brought up to date this often.
constexpr int refreshEveryPages = 8;

// The preview widget has its printer paint into pictures; any other engine
// is a real device.
bool paintsPreview(QPrinter *printer)
{
    const QPaintEngine *engine = printer->paintEngine();
    return engine && engine->type() == QPaintEngine::Picture;
}

void drawNotice(QPainter &painter, const QString &text)
{
    painter.drawText(painter.viewport(), Qt::AlignCenter, text);
}

} // namespace

PagePrinter::PagePrinter(QWebEngineView *view) : QObject(view), m_view(view), m_pages(new PreviewPages(this))
{
    ShownPdf::attach(view);
    connect(m_view, &QWebEngineView::pdfPrintingFinished, this,
            [this](const QString &filePath, bool succeeded) {
                emit pdfSaved(filePath, succeeded);
                if (!succeeded)
                    QMessageBox::warning(m_view->window(), QString::fromUtf8(kelumo::productName),
                                         QStringLiteral("无法保存 PDF 文件“%1”。").arg(filePath));
            });
    // window.print() from the page.
    connect(m_view, &QWebEngineView::printRequested, this, &PagePrinter::printWithPreview);
    // A renderer that dies mid-print reports nothing more: the engine drops
    // the PDF under way without an answer. The preview says the page ended.
    connect(m_view->page(), &QWebEnginePage::renderProcessTerminated, this, [this] {
        if (!m_pendingRequest)
            return;
        m_pendingRequest = 0;
        emit engineFree();
        if (!m_discardPending && m_preview) {
            m_pageEnded = true;
            takePdf(m_requestedLayout, {});
        }
        if (!holdsPage())
            emit released();
    });
    connect(m_pages, &PreviewPages::pageReady, this, [this](int index) {
        if (index == 0 || (index + 1) % refreshEveryPages == 0)
            refreshPreview();
    });
    connect(m_pages, &PreviewPages::sharpened, this, &PagePrinter::refreshPreview);
    connect(m_pages, &PreviewPages::finished, this, [this] {
        refreshPreview();
        trace("print preview pages", std::to_string(m_pages->pageCount()));
        trace("print preview ready");
        emit previewFilled(m_pages->pageCount());
    });
}

int PagePrinter::previewPageCount() const
{
    return m_pages->isFinished() ? m_pages->pageCount() : 0;
}

void PagePrinter::printWithPreview()
{
    if (m_preview || m_printing)
        return;
    trace("print command");
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(m_view->title());
    // The engine starts on the PDF while the dialog is being built.
    requestPdf(printer.pageLayout());

    QPrintPreviewDialog dialog(&printer, m_view->window());
    m_preview = &dialog;
    m_previewWidget = dialog.findChild<QPrintPreviewWidget *>();
    // Pictures of the pages scaled to the zoom: smooth, not every nth dot.
    if (auto *pictures = dialog.findChild<QGraphicsView *>())
        pictures->setRenderHint(QPainter::SmoothPixmapTransform);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, &PagePrinter::paint);
    if (auto *tools = dialog.findChild<QToolBar *>()) {
        tools->addSeparator();
        QAction *pdf = tools->addAction(QStringLiteral("另存为 PDF"));
        pdf->setObjectName(QStringLiteral("savePdf"));
        pdf->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
        connect(pdf, &QAction::triggered, this, [this, &printer] { saveAsPdf(&printer); });
    }
    // The preview's paints are watched only for the trace.
    m_shownTraced = m_filledArmed = m_filledTraced = false;
    if (traceEnabled())
        dialog.installEventFilter(this);
    dialog.resize(900, 700);
    dialog.exec();
    endPreview();
}

void PagePrinter::endPreview()
{
    m_preview = nullptr;
    m_previewWidget = nullptr;
    // The engine may still be at work: its answer is for nobody now.
    m_discardPending = m_pendingRequest != 0;
    m_wantedLayout.reset();
    m_haveResult = false;
    m_pdf.clear();
    m_pendingSavePath.clear();
    m_pages->clear();
    m_pageEnded = false;
    if (!holdsPage())
        emit released();
}

void PagePrinter::requestPdf(const QPageLayout &layout)
{
    m_wantedLayout = layout;
    if (m_pendingRequest) {
        // Asked again when the one under way is back.
        m_discardPending = false;
        return;
    }
    const quint64 request = ++m_lastRequest;
    m_pendingRequest = request;
    m_requestedLayout = layout;
    m_discardPending = false;
    QPointer<PagePrinter> self(this);
    // A PDF report prints from its own bytes, whatever the paper.
    if (ShownPdf *shown = ShownPdf::of(m_view); shown && shown->isPdf()) {
        shown->fetch([self, request](const QByteArray &pdf) {
            if (self)
                self->pdfArrived(request, pdf);
        });
        return;
    }
    m_view->page()->printToPdf(
        [self, request](const QByteArray &pdf) {
            if (self)
                self->pdfArrived(request, pdf);
        },
        layout);
}

void PagePrinter::pdfArrived(quint64 request, const QByteArray &pdf)
{
    if (request != m_pendingRequest)
        return;
    m_pendingRequest = 0;
    emit engineFree();
    if (!m_preview)
        emit released();
    if (m_discardPending || !m_preview)
        return;
    trace("print pdf made", std::to_string(pdf.size()));
    takePdf(m_requestedLayout, pdf);
}

void PagePrinter::takePdf(const QPageLayout &layout, const QByteArray &pdf)
{
    if (m_wantedLayout && !m_wantedLayout->isEquivalentTo(layout)) {
        // The user changed the paper meanwhile: this one is out of date.
        requestPdf(*m_wantedLayout);
        return;
    }
    m_wantedLayout.reset();
    m_haveResult = true;
    m_resultLayout = layout;
    m_pdf = pdf;
    if (!m_pendingSavePath.isEmpty() && m_pendingSaveLayout.isEquivalentTo(layout)) {
        const QString path = std::exchange(m_pendingSavePath, QString());
        if (pdf.isEmpty())
            m_view->printToPdf(path, layout);
        else
            writePdf(path, pdf);
    }
    if (pdf.isEmpty()) {
        m_pages->clear();
        refreshPreview();
        trace("print preview pages", "0");
        trace("print preview ready");
        emit previewFilled(0);
        return;
    }
    // First at the size the preview shows the paper, so every page is there
    // soon; then sharp enough for a closer look.
    const double screenDpi = m_preview->logicalDpiY() * m_preview->devicePixelRatioF();
    const double sharpDpi = screenDpi * screenSharpness;
    const double shownDpi = m_previewWidget ? screenDpi * m_previewWidget->zoomFactor() : sharpDpi;
    m_pages->render(pdf, std::min(shownDpi, sharpDpi), sharpDpi, previewBytes);
}

bool PagePrinter::haveResultFor(const QPageLayout &layout) const
{
    return m_haveResult && m_resultLayout.isEquivalentTo(layout);
}

void PagePrinter::refreshPreview()
{
    if (m_previewWidget)
        m_previewWidget->updatePreview();
}

void PagePrinter::paint(QPrinter *printer)
{
    if (paintsPreview(printer))
        paintPreview(printer);
    else
        printOnPrinter(printer);
}

void PagePrinter::paintPreview(QPrinter *printer)
{
    const QPageLayout layout = printer->pageLayout();
    const bool current = haveResultFor(layout);
    if (!current)
        requestPdf(layout);
    QPainter painter(printer);
    if (!current) {
        drawNotice(painter, QStringLiteral("正在准备打印页面…"));
        return;
    }
    const int count = m_pages->pageCount();
    if (m_pdf.isEmpty() || count == 0) {
        drawNotice(painter, m_pageEnded ? QStringLiteral("页面意外终止，无法打印此页面。")
                                        : QStringLiteral("无法打印此页面。"));
        return;
    }
    if (count < 0) {
        drawNotice(painter, QStringLiteral("正在准备打印页面…"));
        return;
    }
    // The painter starts at the printable area; the pictures are of the
    // whole sheet, margins included.
    const int dpi = printer->resolution();
    const QRect paintArea = layout.paintRectPixels(dpi);
    const QRectF sheet = QRectF(layout.fullRectPixels(dpi)).translated(-paintArea.topLeft());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            printer->newPage();
        const QPixmap page = m_pages->page(i);
        if (page.isNull()) {
            drawNotice(painter, QStringLiteral("正在准备打印页面…"));
            continue;
        }
        painter.drawPixmap(sheet, page, QRectF(page.rect()));
        if (i == 0 && traceEnabled())
            m_filledArmed = true;
    }
}

bool PagePrinter::printOnPrinter(QPrinter *printer)
{
    // The engine renders the pages at the printer's resolution on a thread of
    // its own and reports the end; wait for it with the event loop running,
    // so the window keeps painting.
    if (m_printing)
        return false;
    if (ShownPdf *shown = ShownPdf::of(m_view); shown && shown->isPdf() && !m_pdf.isEmpty())
        return ShownPdf::print(m_pdf, printer);
    m_printing = true;
    QPointer<QWebEngineView> view(m_view);
    QEventLoop loop;
    bool succeeded = false;
    bool ended = false;
    const auto gone = connect(m_view, &QObject::destroyed, &loop, &QEventLoop::quit);
    // A renderer that dies mid-print reports nothing more.
    const auto crashed = connect(m_view->page(), &QWebEnginePage::renderProcessTerminated, &loop, [&] {
        ended = true;
        loop.quit();
    });
    // The engine prints one thing at a time: the preview's PDF first.
    if (m_pendingRequest) {
        const auto free = connect(this, &PagePrinter::engineFree, &loop, &QEventLoop::quit);
        loop.exec();
        if (!view)
            return false;
        disconnect(free);
    }
    const auto finished = connect(m_view, &QWebEngineView::printFinished, &loop, [&](bool ok) {
        succeeded = ok;
        ended = true;
        loop.quit();
    });
    if (!ended && m_view->page()->renderProcessPid() != 0) {
        m_view->print(printer);
        while (!ended && view)
            loop.exec();
    }
    if (!view)
        return false;
    disconnect(finished);
    disconnect(gone);
    disconnect(crashed);
    m_printing = false;
    if (!succeeded) {
        QPainter painter(printer);
        drawNotice(painter, QStringLiteral("无法打印此页面。"));
    }
    return succeeded;
}

void PagePrinter::saveAsPdf(QPrinter *printer)
{
    QString name = m_view->title().trimmed();
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (name.isEmpty())
        name = QString::fromUtf8(kelumo::productName);
    const QString path = QFileDialog::getSaveFileName(m_preview ? static_cast<QWidget *>(m_preview) : m_view,
                                                      QStringLiteral("另存为 PDF"), name + QStringLiteral(".pdf"),
                                                      QStringLiteral("PDF 文件 (*.pdf)"));
    if (path.isEmpty())
        return;
    // The preview's paper and orientation, A4 unless the user changed them:
    // the very PDF the preview shows, when it is there.
    const QPageLayout layout = printer->pageLayout();
    if (haveResultFor(layout) && !m_pdf.isEmpty()) {
        writePdf(path, m_pdf);
    } else if (m_pendingRequest || m_preview) {
        m_pendingSavePath = path;
        m_pendingSaveLayout = layout;
        if (!m_pendingRequest)
            requestPdf(layout);
    } else {
        m_view->printToPdf(path, layout);
    }
}

void PagePrinter::writePdf(const QString &path, const QByteArray &pdf)
{
    QSaveFile file(path);
    const bool succeeded = file.open(QIODevice::WriteOnly) && file.write(pdf) == pdf.size() && file.commit();
    emit pdfSaved(path, succeeded);
    if (!succeeded)
        QMessageBox::warning(m_preview ? static_cast<QWidget *>(m_preview) : m_view->window(),
                             QString::fromUtf8(kelumo::productName),
                             QStringLiteral("无法保存 PDF 文件“%1”。").arg(path));
}

bool PagePrinter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_preview && event->type() == QEvent::UpdateRequest) {
        // After the request is handled: painted and flushed.
        if (!m_shownTraced) {
            m_shownTraced = true;
            QTimer::singleShot(0, this, [] { trace("print preview painted"); });
        }
        if (m_filledArmed && !m_filledTraced) {
            m_filledTraced = true;
            QTimer::singleShot(0, this, [] { trace("print preview filled"); });
        }
    }
    return QObject::eventFilter(watched, event);
}
