// Floor of launch -> painted login dialog: the least a Qt Widgets program
// does to put one frameless 609x278 window on screen and paint it once. It
// quits after that paint. With --edit, it also holds one empty line edit in
// the client's CJK face: the least any login dialog adds (a profiling aid).

#include "bench/BenchTrace.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>

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
            // As the client: once the paint has gone to the display.
            QTimer::singleShot(0, qApp, [] {
                benchTrace("dialog painted");
                QCoreApplication::quit();
            });
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
    BareDialog dialog;
    if (argc > 1 && QByteArray(argv[1]) == "--edit") {
        QFont font(QStringLiteral("Noto Sans CJK SC"));
        font.setPixelSize(12);
        dialog.setFont(font);
        (new QLineEdit(&dialog))->setGeometry(57, 201, 135, 24);
    }
    dialog.show();
    return app.exec();
}
