#pragma once

#include <QByteArray>

#include <memory>

namespace Poppler {
class Document;
}

// Opens a PDF held in memory for drawing its pages on screen or on paper:
// smoothed lines and text, on white paper. Null for bytes that are not a
// readable PDF (damaged, or locked by a password). `pdf` must outlive the
// document, which reads from it.
std::unique_ptr<Poppler::Document> openPdf(const QByteArray &pdf);
