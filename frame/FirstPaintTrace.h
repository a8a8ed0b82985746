#pragma once

#include <QObject>

class QWidget;

// Traces "main window painted" once a window's first paint after it was
// shown has gone to the screen, then goes. Only while tracing: otherwise
// nothing watches the window's events.
class FirstPaintTrace final : public QObject
{
    Q_OBJECT

public:
    // The watcher of `window`'s next paint; null when tracing is off.
    static FirstPaintTrace *watch(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit FirstPaintTrace(QWidget *window);
};
