#include "browser/view/BrowserWindow.h"

#include "base/KelumoConfig.h"
#include "frame/FramePlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWebEngineView>

BrowserWindow::BrowserWindow(QWidget *owner) : QMainWindow(owner, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromUtf8(kelumo::productName));
    if (QScreen *screen = QGuiApplication::primaryScreen())
        resize(framePlacement(screen->availableGeometry().size()).size());
}

void BrowserWindow::setView(QWebEngineView *view)
{
    m_view = view;
    setCentralWidget(view);
    // window.open() with a size: the page asks for the size of its content.
    connect(view->page(), &QWebEnginePage::geometryChangeRequested, this, [this](const QRect &geometry) {
        if (geometry.isValid())
            setGeometry(geometry);
    });
}

QWidget *BrowserWindow::ownerFor(QWidget *opener)
{
    QWidget *owner = opener ? opener->window() : nullptr;
    while (qobject_cast<BrowserWindow *>(owner) && owner->parentWidget())
        owner = owner->parentWidget()->window();
    return owner;
}
