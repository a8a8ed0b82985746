#pragma once

#include <QByteArray>
#include <QObject>
#include <QPageLayout>
#include <QPointer>
#include <QPrintPreviewDialog>

#include <optional>

class PreviewPages;
class QPainter;
class QPrinter;
class QPrintPreviewWidget;
class QWebEngineView;

// Prints a view's page: a preview dialog, from which the user prints on a
// printer or saves the page as a PDF file. Pages are A4 unless the user
// chooses otherwise.
//
// The preview is on screen at once and says that the pages are being
// prepared: the engine makes a PDF of the page in the preview's layout,
// then the pages are drawn for the screen from it, the first one first.
// Only a real printer gets the pages at its own resolution, from the engine;
// a saved PDF is the engine's, as vectors. The window stays responsive
// throughout.
class PagePrinter final : public QObject
{
    Q_OBJECT

public:
    explicit PagePrinter(QWebEngineView *view);

    // Opens the preview; does nothing while one is already up or a print is
    // under way.
    void printWithPreview();

    // The preview while it is up, for tests.
    QPrintPreviewDialog *preview() const { return m_preview; }
    // Pages the preview shows of the page itself; 0 while they are being
    // prepared or when the page cannot be printed.
    int previewPageCount() const;
    // A preview is up or the engine still makes a PDF of ours: the page is
    // not reloaded under it. A dead renderer's page comes back on
    // released(), once the preview has said that the page ended.
    bool holdsPage() const { return m_preview || m_pendingRequest; }

signals:
    // A PDF was written (or not) to `filePath`.
    void pdfSaved(const QString &filePath, bool succeeded);
    // The preview shows every page of the page (or that it cannot be printed).
    void previewFilled(int pageCount);
    // The engine has no PDF of ours under way any more.
    void engineFree();
    // holdsPage() has just become false.
    void released();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void paint(QPrinter *printer);
    void paintPreview(QPrinter *printer);
    bool printOnPrinter(QPrinter *printer);
    void requestPdf(const QPageLayout &layout);
    void pdfArrived(quint64 request, const QByteArray &pdf);
    void takePdf(const QPageLayout &layout, const QByteArray &pdf);
    void refreshPreview();
    bool haveResultFor(const QPageLayout &layout) const;
    void saveAsPdf(QPrinter *printer);
    void writePdf(const QString &path, const QByteArray &pdf);
    void endPreview();

    QWebEngineView *m_view;
    PreviewPages *m_pages;
    QPointer<QPrintPreviewDialog> m_preview;
    QPointer<QPrintPreviewWidget> m_previewWidget;

    // The engine makes one PDF at a time: the request under way (0: none),
    // its layout, and whether its answer is still wanted.
    quint64 m_lastRequest = 0;
    quint64 m_pendingRequest = 0;
    QPageLayout m_requestedLayout;
    bool m_discardPending = false;
    // What the preview asks for next, once the engine is free.
    std::optional<QPageLayout> m_wantedLayout;

    // The PDF the preview shows and its layout; empty with m_haveResult
    // when the engine could not print the page.
    bool m_haveResult = false;
    QPageLayout m_resultLayout;
    QByteArray m_pdf;

    // "另存为 PDF" chosen before the pages were ready.
    QString m_pendingSavePath;
    QPageLayout m_pendingSaveLayout;

    bool m_printing = false;
    // The page's renderer ended while the preview's PDF was being made.
    bool m_pageEnded = false;
    // The preview's paints that are traced: its first, and the first with a page.
    bool m_shownTraced = false;
    bool m_filledArmed = false;
    bool m_filledTraced = false;
};
