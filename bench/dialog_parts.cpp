// Where the launch time of the login dialog goes: the bare dialog of the
// floor or the real CLogin, with or without what the client does around it.
// Built twice, without and with the web engine linked in (its libraries and
// their start-up hooks load before main()).
//
//   bench-dialog-parts[-webengine] [--login PROGRAM_FOLDER/] [--app-font] [--share-gl]
//
// Traces "start" and "dialog painted" like the client, then quits.

#include "BenchTrace.h"
#include "CLogin.h"

#include <QApplication>
#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QTimer>

#ifdef KELUMO_BENCH_WEBENGINE
#include <QWebEngineView>
#endif

#include <cstring>

namespace {

class BareDialog final : public QDialog
{
public:
    BareDialog()
    {
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        setFixedSize(609, 278);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0x0b, 0x2a, 0x4a));
        if (!m_painted) {
            m_painted = true;
            benchTrace("dialog painted");
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
    }

private:
    bool m_painted = false;
};

} // namespace

int main(int argc, char **argv)
{
    benchTrace("start");
    const char *loginFolder = nullptr;
    bool appFont = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--login") == 0 && i + 1 < argc)
            loginFolder = argv[++i];
        else if (std::strcmp(argv[i], "--app-font") == 0)
            appFont = true;
        else if (std::strcmp(argv[i], "--share-gl") == 0)
            QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    }
#ifdef KELUMO_BENCH_WEBENGINE
    // Keeps the engine's libraries on the link line whatever the linker's defaults.
    volatile auto keep = &QWebEngineView::staticMetaObject;
    (void)keep;
#endif
    QApplication app(argc, argv);
    benchTrace("application");
    if (appFont) {
        // What the client's start-up sets before the dialog.
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/kelumo/kelumo.png")));
        QFont font(QStringLiteral("Noto Sans CJK SC"));
        font.setPointSize(9);
        QApplication::setFont(font);
    }

    if (loginFolder) {
        static char startUrl[500] = {};
        CLogin login;
        login.SetStartUrlBuffer(startUrl);
        login.SetProgramFolder(QString::fromLocal8Bit(loginFolder));
        QObject::connect(&login, &CLogin::firstPainted, [&login] {
            benchTrace("dialog painted");
            QTimer::singleShot(0, &login, [&login] { login.done(CLogin::IDCANCEL); });
        });
        login.DoModal();
        return 0;
    }
    BareDialog dialog;
    dialog.show();
    return app.exec();
}
