#include "browser/print/PreviewPages.h"

#include <QBuffer>
#include <QFutureWatcher>
#include <QImage>
#include <QPainter>
#include <QPdfDocument>
#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

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
    QBuffer buffer;
    buffer.setData(pdf);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument document;
    document.load(&buffer);
    const int count = document.status() == QPdfDocument::Status::Ready ? document.pageCount() : 0;
    if (count <= 0) {
        promise.addResult(PreviewPages::Rendered{0, -1, false, {}});
        return;
    }
    double area = 0; // square inches
    for (int i = 0; i < count; ++i) {
        const QSizeF points = document.pagePointSize(i);
        area += points.width() * points.height() / (72.0 * 72.0);
    }
    dpi = fittingDpi(dpi, area, maxBytes);
    sharpDpi = fittingDpi(sharpDpi, area, maxBytes);
    // Sharpening by less than a tenth is not worth a second round.
    const int passes = sharpDpi > dpi * 1.1 ? 2 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const double passDpi = pass == 0 ? dpi : sharpDpi;
        for (int i = 0; i < count && !promise.isCanceled(); ++i) {
            const QSizeF points = document.pagePointSize(i);
            const QSize pixels(std::max(1, static_cast<int>(std::lround(points.width() * passDpi / 72.0))),
                               std::max(1, static_cast<int>(std::lround(points.height() * passDpi / 72.0))));
            // On white paper: a PDF the engine did not make (a report shown
            // in the viewer) may leave its background clear.
            QImage image(pixels, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter(&image).drawImage(0, 0, document.render(i, pixels));
            promise.addResult(PreviewPages::Rendered{count, i, pass > 0, std::move(image)}, pass * count + i);
        }
    }
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
