// Where the launch time of the login dialog goes: the bare dialog of the
// floor or the real CLogin, with or without what the client does around it.
// Built twice, without and with the web engine linked in (its libraries and
// their start-up hooks load before main()).
//
//   bench-dialog-parts[-webengine] [--login PROGRAM_FOLDER/] [--app-font] [--share-gl] [--repaints N]
//                                    [--no-style-sheet] [--text] [--edit]
//
// Traces "start" and "dialog painted" like the client, then quits. With
// --repaints, first repaints the dialog N times and prints the mean time of
// one repaint (what a prompt change or a hover costs the dialog).

#include "bench/BenchTrace.h"
#include "signin/CLogin.h"

#include <QApplication>
#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>

#ifdef KELUMO_BENCH_WEBENGINE
#include <QWebEngineView>
#endif

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

class BareDialog final : public QDialog
{
public:
    explicit BareDialog(bool text) : m_text(text)
    {
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        setFixedSize(609, 278);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0x0b, 0x2a, 0x4a));
        if (m_text) {
            // The least a Chinese login dialog draws: one line in the CJK face.
            QFont font(QStringLiteral("Noto Sans CJK SC"));
            font.setPixelSize(12);
            painter.setFont(font);
            painter.setPen(Qt::white);
            painter.drawText(QRect(27, 250, 342, 21), Qt::AlignCenter, QStringLiteral("欢迎使用Kelumo大数据"));
        }
        if (!m_painted) {
            m_painted = true;
            // As the client: once the paint has gone to the display.
            QTimer::singleShot(0, qApp, [] {
                benchTrace("dialog painted");
                QCoreApplication::quit();
            });
        }
    }

private:
    bool m_text;
    bool m_painted = false;
};

} // namespace

int main(int argc, char **argv)
{
    benchTrace("start");
    const char *loginFolder = nullptr;
    bool appFont = false;
    int repaints = 0;
    bool styleSheet = true;
    bool text = false;
    bool edit = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--login") == 0 && i + 1 < argc)
            loginFolder = argv[++i];
        else if (std::strcmp(argv[i], "--app-font") == 0)
            appFont = true;
        else if (std::strcmp(argv[i], "--repaints") == 0 && i + 1 < argc)
            repaints = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--text") == 0)
            text = true;
        else if (std::strcmp(argv[i], "--edit") == 0)
            edit = true;
        else if (std::strcmp(argv[i], "--no-style-sheet") == 0)
            styleSheet = false;
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
        // Dropped before the first show, so no control is polished with it.
        if (!styleSheet)
            login.setStyleSheet(QString());
        QObject::connect(&login, &CLogin::firstPainted, [&login, repaints] {
            benchTrace("dialog painted");
            QTimer::singleShot(0, &login, [&login, repaints] {
                if (repaints > 0) {
                    const auto start = std::chrono::steady_clock::now();
                    for (int i = 0; i < repaints; ++i)
                        login.repaint();
                    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
                    std::fprintf(stderr, "repaint %.3f ms\n", took.count() / repaints);
                }
                login.done(CLogin::IDCANCEL);
            });
        });
        login.DoModal();
        return 0;
    }
    BareDialog dialog(text);
    if (edit) {
        // The least a login dialog needs besides: one field to type into.
        QFont font(QStringLiteral("Noto Sans CJK SC"));
        font.setPixelSize(12);
        dialog.setFont(font);
        auto *line = new QLineEdit(&dialog);
        line->setGeometry(57, 201, 135, 24);
    }
    dialog.show();
    return app.exec();
}
