#include "browser/BrowserWindow.h"

#include "base/KelumoConfig.h"

#include "browser/CCorvaneView.h"
#include "browser/FramePlacement.h"

#include <QGuiApplication>
#include <QScreen>

BrowserWindow::BrowserWindow(QWebEngineProfile *profile, const QString &programFolder, QWidget *owner)
    : QMainWindow(owner, Qt::Window),
      m_view(new CCorvaneView(profile, programFolder, this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromUtf8(kelumo::productName));
    setCentralWidget(m_view);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        resize(framePlacement(screen->availableGeometry().size()).size());

    QWebEnginePage *page = m_view->page();
    // window.open() with a size: the page asks for the size of its content.
    connect(page, &QWebEnginePage::geometryChangeRequested, this, [this](const QRect &geometry) {
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
