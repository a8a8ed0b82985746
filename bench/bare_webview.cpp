// Floor of sign-in -> start page: a bare QWebEngineView that loads one
// address at process start and traces its first successful load.
//
//   bench-bare-webview URL [--profile NAME] [--width W --height H]
//
// --profile uses a named on-disk profile, as the client does, instead of the
// default one; the table uses the default, profiling uses both.

#include "bench/BenchTrace.h"

#include <QApplication>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

int main(int argc, char **argv)
{
    benchTrace("start");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench-bare-webview URL [--profile NAME] [--width W --height H]\n");
        return 2;
    }
    QString profileName;
    int width = 1000;
    int height = 600;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--profile") == 0)
            profileName = QString::fromLocal8Bit(argv[i + 1]);
        else if (std::strcmp(argv[i], "--width") == 0)
            width = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--height") == 0)
            height = std::atoi(argv[i + 1]);
    }

    // Declared before the view: a page must go before its profile.
    std::unique_ptr<QWebEngineProfile> profile;
    QWebEngineView view;
    if (!profileName.isEmpty()) {
        profile = std::make_unique<QWebEngineProfile>(profileName);
        view.setPage(new QWebEnginePage(profile.get(), &view));
    }
    QObject::connect(&view, &QWebEngineView::loadFinished, [](bool ok) {
        if (ok)
            benchTrace("page loaded");
    });
    view.resize(width, height);
    view.load(QUrl(QString::fromLocal8Bit(argv[1])));
    view.show();
    const int code = app.exec();
    view.setPage(nullptr);
    return code;
}
