#pragma once

#include <QAbstractButton>
#include <QPixmap>

// A button drawn entirely from images: one for the normal state, one while
// pressed, one while it has the keyboard focus. Each image is drawn at the
// top left corner and cut to the button's size.
class BitmapButton final : public QAbstractButton
{
    Q_OBJECT

public:
    explicit BitmapButton(QWidget *parent = nullptr);

    void LoadBitmaps(const QString &normal, const QString &pressed, const QString &focused);
    QSize sizeHint() const override;

signals:
    void hoverChanged(bool entering);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QPixmap m_normal;
    QPixmap m_pressed;
    QPixmap m_focused;
};
