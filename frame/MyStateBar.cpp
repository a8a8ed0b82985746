#include "frame/MyStateBar.h"

#include "base/KelumoConfig.h"

#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QPaintEvent>
#include <QPainter>
#include <QStatusTipEvent>
#include <QStyle>
#include <QStyleOption>

namespace {

// The indicators' texts; each pane keeps the width of its text while blank.
constexpr const char *indicatorTexts[MyStateBar::PaneCount] = {"", "CAP", "NUM", "SCRL"};

} // namespace

MyStateBar::MyStateBar(QWidget *parent) : QStatusBar(parent)
{
    setObjectName(QStringLiteral("statusbar"));

    for (int i = 0; i < PaneCount; ++i) {
        auto *pane = new QLabel(this);
        pane->setTextFormat(Qt::PlainText);
        pane->setObjectName(i == MessagePane ? QStringLiteral("pane0")
                                             : QString::fromLatin1(indicatorTexts[i]).toLower());
        m_panes[i] = pane;
    }
    m_panes[MessagePane]->setMinimumWidth(1); // long text must not widen the window
    addWidget(m_panes[MessagePane], 1);
    for (int i = CapsPane; i < PaneCount; ++i) {
        m_panes[i]->setAlignment(Qt::AlignCenter);
        addPermanentWidget(m_panes[i]);
    }
    sizeIndicators();

    // Status tips are taken as events, from the bar's children in event()
    // and from the main window in eventFilter(); a direct showMessage() call,
    // from Qt or anyone, is undone before it is painted.
    watchTipsOf(parentWidget());
    connect(this, &QStatusBar::messageChanged, this, &MyStateBar::dropTemporaryMessage);

    m_lockKeys = new LockKeyState(this);
    connect(m_lockKeys, &LockKeyState::changed, this, &MyStateBar::SetLockState);
    SetLockState(m_lockKeys->locks());
}

QString MyStateBar::productName()
{
    return QString::fromUtf8(kelumo::productName);
}

bool MyStateBar::SetPaneText(int index, const QString &text, bool update)
{
    if (index < 0 || index >= PaneCount || !m_panes[index])
        return false;
    QLabel *pane = m_panes[index];
    // Qt repaints changed text on its own and coalesces the repaints, so the
    // flag has nothing to add; it stays for callers written against it.
    Q_UNUSED(update);
    const QString shown = index == MessagePane ? productName() : text;
    if (pane->text() != shown)
        pane->setText(shown);
    // The bar's own text is its message pane's.
    if (index == MessagePane && windowTitle() != shown)
        setWindowTitle(shown);
    return true;
}

void MyStateBar::SetWindowText(const QString &text)
{
    OnSetText(text);
}

long MyStateBar::OnSetText(const QString &text)
{
    return SetPaneText(MessagePane, text) ? 0 : -1;
}

QString MyStateBar::paneText(int index) const
{
    return index >= 0 && index < PaneCount && m_panes[index] ? m_panes[index]->text() : QString();
}

QString MyStateBar::currentText() const
{
    return paneText(MessagePane);
}

void MyStateBar::SetLockState(const LockKeyState::Locks &locks)
{
    const bool on[PaneCount] = {false, locks.caps, locks.num, locks.scroll};
    for (int i = CapsPane; i < PaneCount; ++i)
        SetPaneText(i, on[i] ? QString::fromLatin1(indicatorTexts[i]) : QString());
}

void MyStateBar::sizeIndicators()
{
    // The bar's metrics: the panes inherit its font, and during a font change
    // the bar hears of it before every pane has taken the new font.
    const QFontMetrics metrics = fontMetrics();
    for (int i = CapsPane; i < PaneCount; ++i) {
        if (m_panes[i]) {
            const QString text = QString::fromLatin1(indicatorTexts[i]);
            m_panes[i]->setFixedWidth(metrics.horizontalAdvance(text) + 2 * metrics.averageCharWidth());
        }
    }
}

void MyStateBar::dropTemporaryMessage(const QString &message)
{
    if (message.isEmpty())
        return;
    // Called from inside showMessage(), before anything is painted: the
    // message pane is back before it could be seen missing.
    clearMessage();
    OnSetText(message);
}

void MyStateBar::watchTipsOf(QWidget *window)
{
    if (m_tipWindow)
        m_tipWindow->removeEventFilter(this);
    m_tipWindow = qobject_cast<QMainWindow *>(window);
    if (m_tipWindow)
        m_tipWindow->installEventFilter(this);
}

bool MyStateBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_tipWindow && event->type() == QEvent::StatusTip) {
        OnSetText(static_cast<QStatusTipEvent *>(event)->tip());
        event->accept();
        return true;
    }
    return QStatusBar::eventFilter(watched, event);
}

bool MyStateBar::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::StatusTip:
        // A tip from a child of the bar; it stops here instead of reaching
        // the main window.
        OnSetText(static_cast<QStatusTipEvent *>(event)->tip());
        event->accept();
        return true;
    case QEvent::ParentChange:
        // QMainWindow::setStatusBar() reparents the bar into the window.
        watchTipsOf(parentWidget());
        return QStatusBar::event(event);
    case QEvent::FontChange:
    case QEvent::StyleChange: {
        const bool handled = QStatusBar::event(event);
        sizeIndicators();
        return handled;
    }
    default:
        return QStatusBar::event(event);
    }
}

void MyStateBar::paintEvent(QPaintEvent *event)
{
    // As QStatusBar paints, except that the message pane has no border and no
    // temporary message is ever drawn.
    QPainter painter(this);
    QStyleOption panel;
    panel.initFrom(this);
    style()->drawPrimitive(QStyle::PE_PanelStatusBar, &panel, &painter, this);

    for (int i = CapsPane; i < PaneCount; ++i) {
        QLabel *pane = m_panes[i];
        if (!pane || !pane->isVisible())
            continue;
        const QRect frame = pane->geometry().adjusted(-2, -1, 2, 1);
        if (!event->rect().intersects(frame))
            continue;
        QStyleOption item;
        item.rect = frame;
        item.palette = palette();
        item.state = QStyle::State_None;
        style()->drawPrimitive(QStyle::PE_FrameStatusBarItem, &item, &painter, pane);
    }
}
