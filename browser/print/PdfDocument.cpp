#include "browser/print/PdfDocument.h"

#include <QColor>

#include <poppler-qt6.h>

#include <mutex>

namespace {

// A damaged PDF is a failure the caller reports; the reader's own account of
// it would only fill the user's terminal.
void quietly(const QString &, const QVariant &) {}

} // namespace

std::unique_ptr<Poppler::Document> openPdf(const QByteArray &pdf)
{
    static std::once_flag silenced;
    std::call_once(silenced, [] { Poppler::setDebugErrorFunction(quietly, QVariant()); });
    std::unique_ptr<Poppler::Document> document = Poppler::Document::loadFromData(pdf);
    if (!document || document->isLocked() || document->numPages() <= 0)
        return nullptr;
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    document->setPaperColor(Qt::white);
    return document;
}
