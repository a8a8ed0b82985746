#include "browser/PagePrinter.h"

#include "base/KelumoConfig.h"

#include <QAction>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QToolBar>
#include <QWebEngineView>

PagePrinter::PagePrinter(QWebEngineView *view) : QObject(view), m_view(view)
{
    connect(m_view, &QWebEngineView::pdfPrintingFinished, this,
            [this](const QString &filePath, bool succeeded) {
                emit pdfSaved(filePath, succeeded);
                if (!succeeded)
                    QMessageBox::warning(m_view->window(), QString::fromUtf8(kelumo::productName),
                                         QStringLiteral("无法保存 PDF 文件“%1”。").arg(filePath));
            });
    // window.print() from the page.
    connect(m_view, &QWebEngineView::printRequested, this, &PagePrinter::printWithPreview);
}

void PagePrinter::printWithPreview()
{
    if (m_preview || m_rendering)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(m_view->title());

    QPrintPreviewDialog dialog(&printer, m_view->window());
    m_preview = &dialog;
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter *target) { render(target); });
    if (auto *tools = dialog.findChild<QToolBar *>()) {
        tools->addSeparator();
        QAction *pdf = tools->addAction(QStringLiteral("另存为 PDF"));
        pdf->setObjectName(QStringLiteral("savePdf"));
        connect(pdf, &QAction::triggered, this, [this, &printer] { saveAsPdf(&printer); });
    }
    dialog.resize(900, 700);
    dialog.exec();
}

bool PagePrinter::render(QPrinter *printer)
{
    // The engine prints on a thread of its own and reports the end; wait for
    // it with the event loop running, so the window keeps painting.
    if (m_rendering)
        return false;
    m_rendering = true;
    QPointer<QWebEngineView> view(m_view);
    QEventLoop loop;
    bool succeeded = false;
    const auto finished = connect(m_view, &QWebEngineView::printFinished, &loop, [&](bool ok) {
        succeeded = ok;
        loop.quit();
    });
    const auto gone = connect(m_view, &QObject::destroyed, &loop, &QEventLoop::quit);
    // A renderer that dies mid-print reports nothing more.
    const auto crashed = connect(m_view->page(), &QWebEnginePage::renderProcessTerminated, &loop, &QEventLoop::quit);
    m_view->print(printer);
    loop.exec();
    disconnect(finished);
    disconnect(gone);
    disconnect(crashed);
    if (!view)
        return false;
    m_rendering = false;
    if (!succeeded) {
        QPainter painter(printer);
        painter.drawText(painter.viewport(), Qt::AlignCenter, QStringLiteral("无法打印此页面。"));
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
    // The preview's paper and orientation, A4 unless the user changed them.
    m_view->printToPdf(path, printer->pageLayout());
}
