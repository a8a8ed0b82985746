#include "browser/commands/FindBar.h"

#include "base/Trace.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStyle>
#include <QWebEngineFindTextResult>
#include <QWebEngineView>

#include <iterator>

QString findStatusText(const QString &searchText, int activeMatch, int numberOfMatches)
{
    if (searchText.isEmpty())
        return {};
    if (numberOfMatches <= 0 || activeMatch <= 0)
        return QStringLiteral("无匹配");
    return QStringLiteral("第 %1 项，共 %2 项").arg(activeMatch).arg(numberOfMatches);
}

void showEditingKeys(QMenu *menu)
{
    // Qt leaves a key out of the menu when a window's shortcut has it too;
    // the frame's editing keys do, yet in the field they edit. Qt 6.4 names
    // the entries by nothing but their order: undo, redo, cut, copy, paste,
    // delete, select all.
    static const QKeySequence::StandardKey keys[] = {QKeySequence::Undo,  QKeySequence::Redo,
                                                     QKeySequence::Cut,   QKeySequence::Copy,
                                                     QKeySequence::Paste, QKeySequence::UnknownKey,
                                                     QKeySequence::SelectAll};
    std::size_t entry = 0;
    for (QAction *action : menu->actions()) {
        if (action->isSeparator())
            continue;
        if (entry >= std::size(keys))
            break;
        const QKeySequence::StandardKey key = keys[entry++];
        if (key != QKeySequence::UnknownKey && !action->text().contains(QLatin1Char('\t')))
            action->setText(action->text() + QLatin1Char('\t') + QKeySequence(key).toString(QKeySequence::NativeText));
    }
}

FindBar::FindBar(QWebEngineView *view, QWidget *parent)
    : QToolBar(parent), m_view(view), m_field(new QLineEdit(this)), m_status(new QLabel(this))
{
    setObjectName(QStringLiteral("findbar"));
    setMovable(false);
    setFloatable(false);
    setContextMenuPolicy(Qt::PreventContextMenu);
    toggleViewAction()->setVisible(false);

    setAccessibleName(QStringLiteral("查找栏"));
    auto *caption = new QLabel(QStringLiteral("查找："), this);
    caption->setBuddy(m_field);
    addWidget(caption);
    m_field->setAccessibleName(QStringLiteral("查找"));
    m_field->setAccessibleDescription(QStringLiteral("输入要在网页中查找的文字"));
    m_field->setClearButtonEnabled(true);
    m_field->setMaximumWidth(260);
    m_field->installEventFilter(this);
    m_field->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_field, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        QMenu *menu = m_field->createStandardContextMenu();
        showEditingKeys(menu);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(m_field->mapToGlobal(pos));
    });
    addWidget(m_field);
    QAction *previous = addAction(style()->standardIcon(QStyle::SP_ArrowUp), QStringLiteral("上一个"));
    QAction *next = addAction(style()->standardIcon(QStyle::SP_ArrowDown), QStringLiteral("下一个"));
    // Its name is the result it shows, read out as it changes.
    m_status->setAccessibleDescription(QStringLiteral("查找结果"));
    m_status->setMinimumWidth(120);
    m_status->setContentsMargins(8, 0, 8, 0);
    addWidget(m_status);
    auto *spacer = new QWidget(this);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    addWidget(spacer);
    QAction *closeAction = addAction(style()->standardIcon(QStyle::SP_TitleBarCloseButton), QStringLiteral("关闭"));

    connect(m_field, &QLineEdit::textChanged, this, [this] { find(false); });
    connect(previous, &QAction::triggered, this, &FindBar::findPrevious);
    connect(next, &QAction::triggered, this, &FindBar::findNext);
    connect(closeAction, &QAction::triggered, this, &FindBar::closeBar);
    connect(m_view->page(), &QWebEnginePage::findTextFinished, this,
            [this](const QWebEngineFindTextResult &result) { showResult(result); });
    hide();
}

void FindBar::openBar()
{
    show();
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
    if (!m_field->text().isEmpty())
        find(false);
}

void FindBar::closeBar()
{
    hide();
    m_status->clear();
    m_view->findText(QString()); // an empty search clears the highlighting
    m_view->setFocus(Qt::OtherFocusReason);
}

void FindBar::findNext()
{
    if (!isVisible())
        return openBar();
    find(false);
}

void FindBar::findPrevious()
{
    if (!isVisible())
        return openBar();
    find(true);
}

QString FindBar::statusText() const
{
    return m_status->text();
}

void FindBar::find(bool backward)
{
    const QString text = m_field->text();
    if (text.isEmpty()) {
        m_status->clear();
        m_view->findText(QString());
        return;
    }
    m_view->findText(text, backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags());
}

void FindBar::showResult(const QWebEngineFindTextResult &result)
{
    // Results of an emptied search, or after the bar closed, are stale.
    if (!isVisible())
        return;
    m_status->setText(findStatusText(m_field->text(), result.activeMatch(), result.numberOfMatches()));
    trace("find result", m_status->text().toStdString());
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            find(key->modifiers().testFlag(Qt::ShiftModifier));
            return true;
        case Qt::Key_Escape:
            closeBar();
            return true;
        default:
            break;
        }
    }
    return QToolBar::eventFilter(watched, event);
}
