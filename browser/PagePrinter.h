#pragma once

#include <QObject>
#include <QPointer>
#include <QPrintPreviewDialog>

class QPrinter;
class QWebEngineView;

// Prints a view's page: a preview dialog, from which the user prints on a
// printer or saves the page as a PDF file. Pages are A4 unless the user
// chooses otherwise. The engine renders the pages on its own; the window
// stays responsive meanwhile.
class PagePrinter final : public QObject
{
    Q_OBJECT

public:
    explicit PagePrinter(QWebEngineView *view);

    // Opens the preview; does nothing while one is already up.
    void printWithPreview();

    // The preview while it is up, for tests.
    QPrintPreviewDialog *preview() const { return m_preview; }

signals:
    // A PDF was written (or not) to `filePath`.
    void pdfSaved(const QString &filePath, bool succeeded);

private:
    bool render(QPrinter *printer);
    void saveAsPdf(QPrinter *printer);

    QWebEngineView *m_view;
    QPointer<QPrintPreviewDialog> m_preview;
    bool m_rendering = false;
};
