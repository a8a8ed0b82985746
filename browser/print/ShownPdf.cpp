#include "browser/print/ShownPdf.h"

#include "base/Trace.h"
#include "browser/print/PdfDocument.h"

#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QTimer>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <poppler-qt6.h>

#include <string>

namespace {

constexpr int pollEveryMs = 50;
// A report that has not come again by then is printed as the page.
constexpr int pollTries = 400;

// Run apart from the page's own scripts, which cannot see or change it.
const quint32 world = QWebEngineScript::ApplicationWorld;

const char *fetchScript = R"(
(() => {
  const slot = window.__kelumoShownPdf = {done: false, data: ''};
  fetch(location.href, {credentials: 'include', cache: 'force-cache'})
    .then((r) => r.ok ? r.arrayBuffer() : Promise.reject(r.status))
    .then((buffer) => {
      const bytes = new Uint8Array(buffer);
      let text = '';
      for (let i = 0; i < bytes.length; i += 0x8000)
        text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
      slot.data = btoa(text);
      slot.done = true;
    }, () => { slot.done = true; });
  return true;
})())";

const char *pollScript = "window.__kelumoShownPdf && window.__kelumoShownPdf.done ? window.__kelumoShownPdf.data : null";

} // namespace

ShownPdf::ShownPdf(QWebEngineView *view) : QObject(view), m_view(view)
{
    connect(view, &QWebEngineView::loadStarted, this, [this] {
        m_isPdf = false;
        ++m_fetch;
    });
    connect(view, &QWebEngineView::loadFinished, this, [this](bool ok) {
        if (!ok)
            return;
        m_view->page()->runJavaScript(QStringLiteral("document.contentType"), world,
                                      [self = QPointer<ShownPdf>(this)](const QVariant &type) {
                                          if (self)
                                              self->m_isPdf = type.toString() == QLatin1String("application/pdf");
                                      });
    });
}

ShownPdf *ShownPdf::attach(QWebEngineView *view)
{
    if (ShownPdf *attached = of(view))
        return attached;
    return new ShownPdf(view);
}

ShownPdf *ShownPdf::of(QWebEngineView *view)
{
    return view ? view->findChild<ShownPdf *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void ShownPdf::fetch(std::function<void(const QByteArray &)> done)
{
    const quint64 fetch = ++m_fetch;
    m_view->page()->runJavaScript(QString::fromLatin1(fetchScript), world,
                                  [self = QPointer<ShownPdf>(this), fetch, done](const QVariant &started) {
                                      if (!self)
                                          return;
                                      if (!started.toBool() || fetch != self->m_fetch) {
                                          done({});
                                          return;
                                      }
                                      self->poll(fetch, pollTries, done);
                                  });
}

void ShownPdf::poll(quint64 fetch, int triesLeft, std::function<void(const QByteArray &)> done)
{
    QTimer::singleShot(pollEveryMs, this, [this, fetch, triesLeft, done] {
        // Another page, or the page gone: nothing to print from.
        if (fetch != m_fetch || triesLeft <= 0 || m_view->page()->renderProcessPid() == 0) {
            done({});
            return;
        }
        m_view->page()->runJavaScript(QString::fromLatin1(pollScript), world,
                                      [self = QPointer<ShownPdf>(this), fetch, triesLeft, done](const QVariant &data) {
                                          if (!self)
                                              return;
                                          if (data.isNull() || !data.isValid()) {
                                              self->poll(fetch, triesLeft - 1, done);
                                              return;
                                          }
                                          const QByteArray pdf = QByteArray::fromBase64(data.toString().toLatin1());
                                          trace("shown pdf fetched", std::to_string(pdf.size()));
                                          done(pdf);
                                      });
    });
}

bool ShownPdf::print(const QByteArray &pdf, QPrinter *printer)
{
    const std::unique_ptr<Poppler::Document> document = openPdf(pdf);
    if (!document)
        return false;
    QPainter painter;
    if (!painter.begin(printer))
        return false;
    const QRect area = painter.viewport();
    for (int i = 0; i < document->numPages(); ++i) {
        if (i > 0)
            printer->newPage();
        const std::unique_ptr<Poppler::Page> page = document->page(i);
        if (!page)
            continue;
        const QSizeF points = page->pageSizeF();
        const QSize size = points.scaled(area.size(), Qt::KeepAspectRatio).toSize();
        const double dpi = points.width() > 0 ? size.width() * 72.0 / points.width() : 72.0;
        painter.drawImage(QRect(area.topLeft(), size), page->renderToImage(dpi, dpi));
    }
    return painter.end();
}
