#include "frame/FirstPaintTrace.h"

#include "base/Trace.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

FirstPaintTrace *FirstPaintTrace::watch(QWidget *window)
{
    return traceEnabled() ? new FirstPaintTrace(window) : nullptr;
}

FirstPaintTrace::FirstPaintTrace(QWidget *window) : QObject(window)
{
    window->installEventFilter(this);
}

bool FirstPaintTrace::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::UpdateRequest) {
        watched->removeEventFilter(this);
        // After the request is handled: painted and flushed.
        QTimer::singleShot(0, this, [this] {
            trace("main window painted");
            deleteLater();
        });
    }
    return false;
}
