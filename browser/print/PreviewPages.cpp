#include "browser/print/PreviewPages.h"

#include "browser/print/PdfDocument.h"

#include <QFutureWatcher>
#include <QImage>
#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>

#include <poppler-qt6.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>

namespace {

// Four bytes a pixel; a long document gets fewer dots rather than all the
// memory there is.
double fittingDpi(double dpi, double squareInches, qint64 maxBytes)
{
    if (squareInches <= 0)
        return dpi;
    return std::clamp(std::min(dpi, std::sqrt(maxBytes / 4.0 / squareInches)), 36.0, 600.0);
}

void renderPages(QPromise<PreviewPages::Rendered> &promise, const QByteArray &pdf, double dpi, double sharpDpi,
                 qint64 maxBytes)
{
    const std::unique_ptr<Poppler::Document> document = openPdf(pdf);
    const int count = document ? document->numPages() : 0;
    if (count <= 0) {
        promise.addResult(PreviewPages::Rendered{0, -1, false, {}});
        return;
    }
    double area = 0; // square inches
    for (int i = 0; i < count; ++i) {
        if (const std::unique_ptr<Poppler::Page> page = document->page(i)) {
            const QSizeF points = page->pageSizeF();
            area += points.width() * points.height() / (72.0 * 72.0);
        }
    }
    dpi = fittingDpi(dpi, area, maxBytes);
    sharpDpi = fittingDpi(sharpDpi, area, maxBytes);
    // Sharpening by less than a tenth is not worth a second round.
    const int jobs = (sharpDpi > dpi * 1.1 ? 2 : 1) * count;

    // Two workers, each with a document of its own (one is not to be shared
    // between threads), take the pages in order: every page at the shown size
    // first, then every page sharp. A page takes a tenth of a second or more,
    // so the second core halves the wait for the last one.
    std::atomic<int> next{0};
    std::mutex reporting;
    const auto work = [&](Poppler::Document *own) {
        std::unique_ptr<Poppler::Document> opened;
        if (!own) {
            opened = openPdf(pdf);
            own = opened.get();
        }
        for (int job; own && (job = next++) < jobs && !promise.isCanceled();) {
            const int index = job % count;
            const bool sharp = job >= count;
            const double jobDpi = sharp ? sharpDpi : dpi;
            const std::unique_ptr<Poppler::Page> page = own->page(index);
            QImage image = page ? page->renderToImage(jobDpi, jobDpi) : QImage();
            if (image.isNull()) {
                const QSizeF points = page ? page->pageSizeF() : QSizeF(595, 842);
                image = QImage(std::max(1, int(std::lround(points.width() * jobDpi / 72.0))),
                               std::max(1, int(std::lround(points.height() * jobDpi / 72.0))), QImage::Format_RGB32);
                image.fill(Qt::white);
            }
            const std::lock_guard lock(reporting);
            promise.addResult(PreviewPages::Rendered{count, index, sharp, std::move(image)});
        }
    };
    std::thread second(work, nullptr);
    work(document.get());
    second.join();
}

} // namespace

PreviewPages::PreviewPages(QObject *parent) : QObject(parent) {}

PreviewPages::~PreviewPages()
{
    stop();
}

void PreviewPages::stop()
{
    if (!m_watcher)
        return;
    m_watcher->disconnect(this);
    m_watcher->future().cancel();
    // The worker runs code of this module: it ends before the module may go.
    // It stops between two pages.
    m_watcher->future().waitForFinished();
    m_watcher.reset();
}

void PreviewPages::clear()
{
    stop();
    m_pages.clear();
    m_pageCount = -1;
    m_rendered = 0;
    m_finished = false;
}

void PreviewPages::render(const QByteArray &pdf, double dpi, double sharpDpi, qint64 maxBytes)
{
    clear();
    m_watcher = std::make_unique<QFutureWatcher<Rendered>>();
    QFutureWatcher<Rendered> *watcher = m_watcher.get();
    connect(watcher, &QFutureWatcherBase::resultReadyAt, this, [this, watcher](int at) {
        Rendered result = watcher->resultAt(at);
        if (m_pageCount < 0) {
            m_pageCount = result.pageCount;
            m_pages.resize(m_pageCount);
        }
        if (result.index < 0 || result.index >= m_pages.size())
            return;
        // The two workers may hand a page's sharp picture over before its
        // first one: a picture already there is that sharp one, and stays.
        if (result.sharp || m_pages.at(result.index).isNull())
            m_pages[result.index] = QPixmap::fromImage(std::move(result.image));
        if (result.sharp)
            return;
        ++m_rendered;
        emit pageReady(result.index);
        if (m_rendered == m_pages.size()) {
            m_finished = true;
            emit finished();
        }
    });
    connect(watcher, &QFutureWatcherBase::finished, this, [this] {
        // The pixmaps are all that is kept: the worker's images go.
        m_watcher.release()->deleteLater();
        if (m_finished) {
            emit sharpened();
            return;
        }
        if (m_pageCount < 0)
            m_pageCount = 0;
        m_finished = true;
        emit finished();
    });
    watcher->setFuture(QtConcurrent::run(renderPages, pdf, dpi, sharpDpi, maxBytes));
}
