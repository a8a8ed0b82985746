#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPixmap>
#include <QImage>

#include <memory>

template <typename T>
class QFutureWatcher;

// The pages of a PDF as pictures for the screen, rendered in order on two
// worker threads, so the window keeps answering meanwhile. Meant
// for a preview, not for paper: every page first at the size the screen
// shows it, then all of them again sharper, for a closer look.
class PreviewPages final : public QObject
{
    Q_OBJECT

public:
    // One rendered page as the worker hands it over.
    struct Rendered
    {
        int pageCount = 0;
        int index = -1;
        bool sharp = false;
        QImage image;
    };

    explicit PreviewPages(QObject *parent = nullptr);
    ~PreviewPages() override;

    // Starts over with `pdf` at `dpi`, then at `sharpDpi`, each lowered so
    // that all pages together stay within `maxBytes`; what an earlier call
    // was rendering is dropped.
    void render(const QByteArray &pdf, double dpi, double sharpDpi, qint64 maxBytes);
    void clear();

    // -1 until the document is read; 0 for a document that cannot be read.
    int pageCount() const { return m_pageCount; }
    int renderedCount() const { return m_rendered; }
    bool isFinished() const { return m_finished; }
    // A null pixmap for a page not rendered yet.
    QPixmap page(int index) const { return index >= 0 && index < m_pages.size() ? m_pages.at(index) : QPixmap(); }

signals:
    void pageReady(int index);
    // Every page is there, or the document could not be read.
    void finished();
    // Every page has been replaced by its sharper picture.
    void sharpened();

private:
    void stop();

    std::unique_ptr<QFutureWatcher<Rendered>> m_watcher;
    QList<QPixmap> m_pages;
    int m_pageCount = -1;
    int m_rendered = 0;
    bool m_finished = false;
};
