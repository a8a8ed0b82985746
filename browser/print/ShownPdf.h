#pragma once

#include <QByteArray>
#include <QObject>

#include <functional>

class QPrinter;
class QWebEngineView;

// A PDF report the view shows in the engine's viewer. The engine would
// print the viewer (its bars, an empty page) rather than the report, so the
// report is printed from its own bytes, fetched again by the page itself
// (its cookies and sign-in go with it).
class ShownPdf final : public QObject
{
    Q_OBJECT

public:
    // Watches what `view` shows; a child of it.
    static ShownPdf *attach(QWebEngineView *view);
    static ShownPdf *of(QWebEngineView *view);

    // Whether the page on screen is a PDF in the viewer.
    bool isPdf() const { return m_isPdf; }
    // Calls `done` with the PDF's bytes, or nothing when they cannot be had.
    void fetch(std::function<void(const QByteArray &)> done);

    // Prints the pages of `pdf` on `printer`, each fitted to its paper.
    static bool print(const QByteArray &pdf, QPrinter *printer);

private:
    explicit ShownPdf(QWebEngineView *view);
    void poll(quint64 fetch, int triesLeft, std::function<void(const QByteArray &)> done);

    QWebEngineView *m_view;
    bool m_isPdf = false;
    quint64 m_fetch = 0;
};
