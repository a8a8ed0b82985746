#include "app/BrowserModuleLoader.h"

#include "app/AppPlatform.h"
#include "base/MainWindowModule.h"
#include "base/Trace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QOpenGLContext>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <string>

namespace {

using SetShareContext = void (*)(QOpenGLContext *);
using ShareContext = QOpenGLContext *(*)();

// The web engine renders with OpenGL and needs Qt's global share context.
// Linked in, the engine asks for it before the QApplication is made, and Qt
// then spends tens of milliseconds on it in front of the login dialog. Made
// late, it needs qt_gl_set_global_share_context(), which QtGui exports but
// declares only in its private headers. It is looked up at run time, so that
// another Qt without it still runs: on the early path, slower but correct.
SetShareContext setShareContextFunction()
{
    static const auto function =
        reinterpret_cast<SetShareContext>(loadedFunction("_Z30qt_gl_set_global_share_contextP14QOpenGLContext"));
    return function;
}

ShareContext shareContextFunction()
{
    static const auto function =
        reinterpret_cast<ShareContext>(loadedFunction("_Z26qt_gl_global_share_contextv"));
    return function;
}

bool lateShareContext()
{
    return setShareContextFunction() && shareContextFunction();
}

QtMessageHandler g_previousHandler = nullptr;

// Qt warns that the attribute belongs before the QApplication; here, with the
// share context made by hand before anything reads it, it does not.
void dropLateAttributeWarning(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("AA_ShareOpenGLContexts")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
    else
        qt_message_output(type, context, message);
}

void setShareAttributeLate()
{
    g_previousHandler = qInstallMessageHandler(dropLateAttributeWarning);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    qInstallMessageHandler(g_previousHandler);
}

} // namespace

struct BrowserModuleLoader::StallProbe
{
    QTimer timer;
    QElapsedTimer sinceTick;
    qint64 longestStall = 0;

    StallProbe()
    {
        timer.setInterval(4);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] { tick(); });
        sinceTick.start();
        timer.start();
    }

    void tick() { longestStall = std::max(longestStall, sinceTick.restart()); }
};

BrowserModuleLoader::BrowserModuleLoader(const QString &modulePath, QObject *parent)
    : QObject(parent), m_library(modulePath)
{
}

BrowserModuleLoader::~BrowserModuleLoader()
{
    // Only when the program ends while the worker still loads (a quick
    // cancel): the libraries' start-up is not cut off under them.
    if (m_worker.joinable())
        m_worker.join();
    // The module's objects go first, while the application is there. Its code
    // stays mapped (QLibrary never unloads on its own).
    m_module.reset();
}

void BrowserModuleLoader::chooseShareContextPath()
{
    if (!lateShareContext())
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void BrowserModuleLoader::start(const char *startUrlBuffer, const QString &programFolder)
{
    if (m_state != State::Idle)
        return;
    m_state = State::Loading;
    m_startUrl = startUrlBuffer;
    m_programFolder = programFolder;
    if (traceEnabled())
        m_probe = std::make_unique<StallProbe>();
    trace("module loading");
    if (lateShareContext())
        setShareAttributeLate();
    // Every symbol bound on the worker, not at first use on this thread.
    m_library.setLoadHints(QLibrary::ResolveAllSymbolsHint | QLibrary::PreventUnloadHint);
    m_worker = std::thread([this] { loadOnWorker(); });
}

void BrowserModuleLoader::loadOnWorker()
{
    if (lateShareContext() && !shareContextFunction()()) {
        // The platform answers by making an OpenGL context of its own and
        // looking at the driver: tens of milliseconds, here rather than on
        // the dialog's thread.
        if (!QOpenGLContext::supportsThreadedOpenGL()) {
            QMetaObject::invokeMethod(this, &BrowserModuleLoader::makeShareContextHere, Qt::QueuedConnection);
            return;
        }
        auto *context = new QOpenGLContext;
        context->create();
        // It lives as long as the process, on the application's thread.
        context->moveToThread(QCoreApplication::instance()->thread());
        // Before the engine's libraries are loaded: their start-up looks for it.
        setShareContextFunction()(context);
    }
    m_loaded = m_library.load();
    if (!m_loaded)
        m_workerError = m_library.errorString();
    QMetaObject::invokeMethod(this, &BrowserModuleLoader::onLoaded, Qt::QueuedConnection);
}

void BrowserModuleLoader::makeShareContextHere()
{
    // Where the platform cannot make OpenGL contexts off its main thread.
    m_worker.join();
    auto *context = new QOpenGLContext;
    context->create();
    setShareContextFunction()(context);
    m_worker = std::thread([this] { loadOnWorker(); });
}

void BrowserModuleLoader::onLoaded()
{
    // The worker has nothing left to do but end.
    m_worker.join();
    if (!m_loaded) {
        fail(m_workerError);
        return;
    }
    trace("module loaded");
    const auto create =
        reinterpret_cast<CreateMainWindowModuleFunction>(m_library.resolve(createMainWindowModuleSymbol));
    if (!create) {
        fail(m_library.errorString());
        return;
    }
    m_module.reset(create(mainWindowModuleVersion));
    if (!m_module) {
        fail(QStringLiteral("the module is of another version"));
        return;
    }
    if (m_prepareAsked)
        prepareModule();
}

void BrowserModuleLoader::prepareNow()
{
    if (m_prepareAsked)
        return;
    m_prepareAsked = true;
    // From here on the user waits anyway: the engine's start holds this
    // thread while the call is out.
    stopProbe();
    if (m_state == State::Loading && m_module)
        prepareModule();
}

void BrowserModuleLoader::prepareModule()
{
    if (!m_module->Prepare(m_startUrl, m_programFolder)) {
        m_module.reset();
        fail(QStringLiteral("the web engine did not start"));
        return;
    }
    m_state = State::Prepared;
    trace("main window prepared");
    emit finishedLoading();
}

void BrowserModuleLoader::fail(const QString &error)
{
    m_state = State::Failed;
    m_error = error;
    stopProbe();
    trace("module failed");
    emit finishedLoading();
}

void BrowserModuleLoader::stopProbe()
{
    if (!m_probe)
        return;
    m_probe->tick();
    const qint64 longest = m_probe->longestStall;
    m_probe.reset();
    trace("loading stall", ("longest " + std::to_string(longest) + " ms"));
}

MainWindowModule *BrowserModuleLoader::waitUntilPrepared(const char *startUrlBuffer, const QString &programFolder)
{
    start(startUrlBuffer, programFolder);
    prepareNow();
    if (!finished()) {
        QEventLoop loop;
        connect(this, &BrowserModuleLoader::finishedLoading, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return m_module.get();
}
