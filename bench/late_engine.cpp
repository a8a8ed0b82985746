// Prototype of a launch that keeps the web engine off the path to the login
// dialog: the process links no engine, paints its dialog, then loads the
// engine module. Optionally brings the engine up while the dialog waits, and
// opens the start page at a simulated login command.
//
//   bench-late-engine MODULE URL [--share-context] [--warm] [--login-after MS] [--profile NAME]
//
// Traces: start, dialog painted, engine loaded, engine warm-up returned,
// login command, page loaded.

#include "BenchTrace.h"

#include <QApplication>
#include <QDialog>
#include <QLibrary>
#include <QOpenGLContext>
#include <QPainter>
#include <QTimer>

#include <cstdlib>
#include <cstring>

// Exported by QtGui, declared only in its private headers: the context every
// OpenGL user in the process shares with, which the engine expects to exist.
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext *context);

namespace {

class BareDialog final : public QDialog
{
    Q_OBJECT

public:
    BareDialog()
    {
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        setFixedSize(609, 278);
    }

signals:
    void firstPainted();

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0x0b, 0x2a, 0x4a));
        if (!m_painted) {
            m_painted = true;
            benchTrace("dialog painted");
            emit firstPainted();
        }
    }

private:
    bool m_painted = false;
};

} // namespace

int main(int argc, char **argv)
{
    benchTrace("start");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench-late-engine MODULE URL [--share-context] [--warm] [--login-after MS]"
                             " [--profile NAME]\n");
        return 2;
    }
    const QString module = QString::fromLocal8Bit(argv[1]);
    const char *url = argv[2];
    bool shareContext = false;
    bool warm = false;
    int loginAfter = 0;
    const char *profile = "bench";
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--share-context") == 0)
            shareContext = true;
        else if (std::strcmp(argv[i], "--warm") == 0)
            warm = true;
        else if (std::strcmp(argv[i], "--login-after") == 0 && i + 1 < argc)
            loginAfter = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--profile") == 0 && i + 1 < argc)
            profile = argv[++i];
    }

    using Warm = void (*)(const char *);
    using Open = void (*)(const char *, const char *);
    QLibrary library(module);
    Open open = nullptr;

    BareDialog dialog;
    QObject::connect(&dialog, &BareDialog::firstPainted, &dialog, [&] {
        // After the paint has reached the screen, not inside it.
        QTimer::singleShot(0, &dialog, [&] {
            if (shareContext) {
                // What the engine's start-up hook would have done inside the
                // QApplication constructor, done now instead.
                QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
                auto *context = new QOpenGLContext;
                context->create();
                qt_gl_set_global_share_context(context);
            }
            if (!library.load()) {
                std::fprintf(stderr, "bench-late-engine: %s\n", qPrintable(library.errorString()));
                QCoreApplication::exit(1);
                return;
            }
            open = reinterpret_cast<Open>(library.resolve("benchEngineOpen"));
            const auto warmUp = reinterpret_cast<Warm>(library.resolve("benchEngineWarm"));
            benchTrace("engine loaded");
            if (warm) {
                warmUp(profile);
                // How long the dialog's thread was held by the warm-up call itself.
                benchTrace("engine warm-up returned");
            }
            QTimer::singleShot(loginAfter, &dialog, [&] {
                benchTrace("login command");
                dialog.hide();
                open(profile, url);
            });
        });
    });
    dialog.show();
    return app.exec();
}

#include "late_engine.moc"
