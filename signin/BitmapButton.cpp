#include "signin/BitmapButton.h"

#include "signin/DoubleImages.h"

#include <QPainter>

BitmapButton::BitmapButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void BitmapButton::LoadBitmaps(const QString &normal, const QString &pressed, const QString &focused)
{
    const qreal ratio = devicePixelRatioF();
    m_normal = loadImageFor(normal, ratio);
    m_pressed = loadImageFor(pressed, ratio);
    m_focused = loadImageFor(focused, ratio);
    update();
}

QSize BitmapButton::sizeHint() const
{
    return m_normal.isNull() ? QSize(16, 16) : m_normal.deviceIndependentSize().toSize();
}

void BitmapButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QPixmap &image = isDown() ? m_pressed : (hasFocus() ? m_focused : m_normal);
    if (!image.isNull()) {
        // The source rectangle counts the image's own pixels: twice the
        // button's size for a double image.
        const QSizeF source = QSizeF(size()) * image.devicePixelRatio();
        painter.drawPixmap(QRectF(QPointF(0, 0), QSizeF(size())), image, QRectF(QPointF(0, 0), source));
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
