#include "BitmapButton.h"

#include <QPainter>

BitmapButton::BitmapButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void BitmapButton::LoadBitmaps(const QString &normal, const QString &pressed, const QString &focused)
{
    m_normal.load(normal);
    m_pressed.load(pressed);
    m_focused.load(focused);
    update();
}

QSize BitmapButton::sizeHint() const
{
    return m_normal.isNull() ? QSize(16, 16) : m_normal.size();
}

void BitmapButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QPixmap &image = isDown() ? m_pressed : (hasFocus() ? m_focused : m_normal);
    if (!image.isNull()) {
        painter.drawPixmap(QPoint(0, 0), image, QRect(QPoint(0, 0), size()));
    } else {
        // Without its images the button still shows its text.
        painter.fillRect(rect(), palette().button());
        painter.drawText(rect(), Qt::AlignCenter, text());
    }
    if (hasFocus()) {
        // The focused image equals the pressed one; a dotted frame tells the
        // keyboard user where the focus is.
        QPen pen(Qt::white, 1, Qt::DotLine);
        painter.setPen(pen);
        painter.drawRect(rect().adjusted(2, 2, -3, -3));
    }
}

void BitmapButton::enterEvent(QEnterEvent *event)
{
    QAbstractButton::enterEvent(event);
    emit hoverChanged(true);
}

void BitmapButton::leaveEvent(QEvent *event)
{
    QAbstractButton::leaveEvent(event);
    emit hoverChanged(false);
}
