#include "signin/LoginLook.h"

#include "base/KelumoConfig.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

QString loginStyleSheet()
{
    return QStringLiteral(
        "CLogin > QPushButton { color: #dde6ee; background: transparent; border: 1px solid rgba(185,211,226,90);"
        " border-radius: 3px; }"
        "CLogin > QPushButton:hover { background: rgba(255,255,255,30); }"
        "CLogin > QPushButton:pressed { background: rgba(255,255,255,60); }"
        "CLogin > QPushButton:focus { border-color: #b9d3e2; }"
        "MyOPCStatic { color: #b9d3e2; }"
        "QLineEdit { border: 1px solid #7f9db9; background: white; color: black; padding: 0 3px; }"
        "QLineEdit:focus { border-color: #2a8bd0; }");
}

void paintLoginBackdrop(QPainter &painter, const QWidget &dialog, const QPixmap &picture)
{
    const QRect rect = dialog.rect();
    if (!picture.isNull()) {
        painter.drawPixmap(rect, picture);
    } else {
        QLinearGradient gradient(0, 0, rect.width(), rect.height());
        gradient.setColorAt(0, QColor(0x0b, 0x2a, 0x4a));
        gradient.setColorAt(1, QColor(0x0a, 0x21, 0x36));
        painter.fillRect(rect, gradient);
        QFont title = dialog.font();
        title.setPixelSize(36);
        title.setBold(true);
        painter.setFont(title);
        painter.setPen(Qt::white);
        painter.drawText(QRect(40, 40, rect.width() - 80, 90), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromUtf8(kelumo::productName));
    }
    painter.setPen(QColor(0, 0, 0, 140));
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
}
