// The web engine side of the late-engine prototype, as a module the process
// loads only after its dialog is on screen. Nothing here runs before then.

#include "BenchTrace.h"

#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace {

QWebEngineProfile *g_profile = nullptr;
QWebEngineView *g_view = nullptr;

void ensureView(const char *profileName)
{
    if (g_view)
        return;
    g_profile = new QWebEngineProfile(QString::fromUtf8(profileName));
    g_view = new QWebEngineView;
    g_view->setPage(new QWebEnginePage(g_profile, g_view));
    g_view->resize(1000, 600);
    QObject::connect(g_view, &QWebEngineView::loadFinished, [](bool ok) {
        if (!ok)
            return;
        benchTrace(g_view->url().path() == QLatin1String("/start") ? "page loaded" : "warm page loaded");
    });
}

} // namespace

// Brings the engine up while nobody waits for it: profile, page and a
// renderer (about:blank). BENCH_WARM_MODE says how far the view gets before
// the login command: hidden (unset), "pagevisible", "dontshow" (realised but
// not mapped) or "offscreen" (mapped outside the screen); BENCH_WARM_URL
// replaces about:blank.
extern "C" Q_DECL_EXPORT void benchEngineWarm(const char *profileName)
{
    ensureView(profileName);
    const QByteArray warmUrl = qgetenv("BENCH_WARM_URL");
    const QByteArray mode = qgetenv("BENCH_WARM_MODE");
    if (mode == "offscreen") {
        g_view->move(-3000, -3000);
        g_view->show();
    } else if (mode == "dontshow") {
        g_view->setAttribute(Qt::WA_DontShowOnScreen);
        g_view->show();
    } else if (mode == "pagevisible") {
        g_view->page()->setVisible(true);
    }
    g_view->load(QUrl(warmUrl.isEmpty() ? QStringLiteral("about:blank") : QString::fromUtf8(warmUrl)));
}

extern "C" Q_DECL_EXPORT void benchEngineOpen(const char *profileName, const char *url)
{
    ensureView(profileName);
    if (g_view->testAttribute(Qt::WA_DontShowOnScreen)) {
        g_view->hide();
        g_view->setAttribute(Qt::WA_DontShowOnScreen, false);
    }
    g_view->move(183, 84);
    g_view->show();
    g_view->load(QUrl(QString::fromUtf8(url)));
}
