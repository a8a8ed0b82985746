// Floor of Ctrl+P -> print preview: a bare QWebEngineView loads one address,
// waits a moment as a user would before printing, then has the engine make
// a PDF of the page into memory (A4, the engine's default layout) and traces
// when it is there.
//
//   bench-bare-printpdf URL [--wait MS] [--out FILE]
//
// --out also writes the PDF, to check its pages, and ends the program.

#include "bench/BenchTrace.h"

#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    benchTrace("start");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench-bare-printpdf URL [--wait MS] [--out FILE]\n");
        return 2;
    }
    int waitMs = 1000;
    QString out;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--wait") == 0)
            waitMs = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--out") == 0)
            out = QString::fromLocal8Bit(argv[i + 1]);
    }

    QWebEngineView view;
    bool printed = false;
    QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool ok) {
        if (!ok || printed)
            return;
        printed = true;
        benchTrace("page loaded");
        QTimer::singleShot(waitMs, &view, [&] {
            benchTrace("print command");
            view.page()->printToPdf([&](const QByteArray &pdf) {
                benchTrace(pdf.isEmpty() ? "pdf failed" : "pdf ready");
                if (!out.isEmpty()) {
                    QFile file(out);
                    if (file.open(QIODevice::WriteOnly))
                        file.write(pdf);
                    QCoreApplication::quit();
                }
            });
        });
    });
    view.resize(1000, 600);
    view.load(QUrl(QString::fromLocal8Bit(argv[1])));
    view.show();
    return app.exec();
}
