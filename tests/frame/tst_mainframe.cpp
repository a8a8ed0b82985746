#include "base/Trace.h"
#include "frame/CMainFrame.h"
#include "frame/FirstPaintTrace.h"
#include "frame/FrameAccelerators.h"
#include "frame/MyStateBar.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStatusTipEvent>
#include <QTest>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const QString product = QStringLiteral("Kelumo大数据");

// Stands in for the web view: claims every key through ShortcutOverride, as
// the page does for editing keys, and counts the key presses it receives.
class ClaimingView final : public QWidget
{
public:
    explicit ClaimingView(QWidget *parent = nullptr) : QWidget(parent) { setFocusPolicy(Qt::StrongFocus); }
    int presses = 0;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() != QEvent::ShortcutOverride)
            return QWidget::event(event);
        event->accept();
        return true;
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        // QTest presses the modifier keys first; those are not the keys under test.
        const int key = event->key();
        presses += key != Qt::Key_Control && key != Qt::Key_Shift && key != Qt::Key_Alt;
    }
};

const char *const commandSignals[] = {"fileNew", "fileOpen", "fileSave", "editCut", "editCopy", "editPaste"};

} // namespace

class TestMainFrame final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void builtAsAWindowWithoutMenu();
    void loadFrameFailsOrSkipsView();
    void statusBarShowsProductName();
    void toolbarFollowsNavigationState_data();
    void toolbarFollowsNavigationState();
    void quickLoadLeavesStopAlone();
    void acceleratorTable_data();
    void acceleratorTable();
    void acceleratorKeys_data();
    void acceleratorKeys();
    void otherKeysReachView();
    void pressWithoutShortcutStillRuns();
    void dialogsKeepTheirKeys();
    void doubleClickSwallowed();
    void titleLeftAlone();
    void firstPaintWatchedOnlyWhenTracing_data();
    void firstPaintWatchedOnlyWhenTracing();

private:
    void showActive();

    CMainFrame *m_frame = nullptr;
    QWidget *m_view = nullptr;
    QLineEdit *m_edit = nullptr;
    ClaimingView *m_claiming = nullptr;
};

void TestMainFrame::init()
{
    m_frame = new CMainFrame;
    m_frame->setWindowTitle(product);
    // The view the frame gets: a line edit above a claiming view.
    QVERIFY(m_frame->LoadFrame([this](QWidget *parent) {
        m_view = new QWidget(parent);
        auto *layout = new QVBoxLayout(m_view);
        layout->addWidget(m_edit = new QLineEdit(m_view));
        layout->addWidget(m_claiming = new ClaimingView(m_view), 1);
        return m_view;
    }));
}

void TestMainFrame::cleanup()
{
    delete m_frame;
}

void TestMainFrame::showActive()
{
    m_frame->resize(800, 600);
    m_frame->show();
    m_frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_frame));
}

void TestMainFrame::builtAsAWindowWithoutMenu()
{
    showActive();
    QVERIFY(!m_frame->menuWidget());
    QVERIFY(m_frame->findChildren<QMenuBar *>().isEmpty());
    QVERIFY(!m_frame->createPopupMenu());
    QCOMPARE(m_frame->view(), m_view);
    QCOMPARE(m_frame->centralWidget(), m_view);

    const Qt::WindowFlags flags = m_frame->windowFlags();
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags.testFlags(Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint));

    auto *toolbar = m_frame->findChild<QToolBar *>(QStringLiteral("toolbar"));
    QVERIFY(toolbar);
    QCOMPARE(m_frame->toolBarArea(toolbar), Qt::TopToolBarArea);
    QVERIFY(!toolbar->isMovable() && !toolbar->isFloatable());
    QStringList tips;
    for (QAction *action : toolbar->actions()) {
        tips << action->toolTip();
        QVERIFY(!action->icon().isNull());
    }
    QCOMPARE(tips, (QStringList{QStringLiteral("后退"), QStringLiteral("前进"), QStringLiteral("刷新"),
                                QStringLiteral("停止")}));
}

void TestMainFrame::loadFrameFailsOrSkipsView()
{
    CMainFrame withNull;
    QVERIFY(!withNull.LoadFrame([](QWidget *) { return nullptr; }));

    CMainFrame withoutView;
    QVERIFY(withoutView.LoadFrame({}));
    QVERIFY(!withoutView.view() && withoutView.stateBar() && withoutView.navigationBar());

    // A frame is built once.
    int calls = 0;
    QVERIFY(!m_frame->LoadFrame([&](QWidget *parent) { ++calls; return new QWidget(parent); }));
    QCOMPARE(calls, 0);
}

void TestMainFrame::statusBarShowsProductName()
{
    QCOMPARE(m_frame->statusBar(), m_frame->stateBar());
    QCOMPARE(m_frame->stateBar()->currentText(), product);

    m_frame->showStatusText(QStringLiteral("http://www.kelumo.com/a.aspx"));
    QStatusTipEvent tip(QStringLiteral("后退"));
    QCoreApplication::sendEvent(m_frame, &tip);
    QCOMPARE(m_frame->stateBar()->currentText(), product);
    QVERIFY(m_frame->stateBar()->currentMessage().isEmpty());
}

void TestMainFrame::toolbarFollowsNavigationState_data()
{
    QTest::addColumn<bool>("back");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<bool>("loading");
    QTest::newRow("fresh") << false << false << false;
    QTest::newRow("first page loading") << false << false << true;
    QTest::newRow("history both ways") << true << true << false;
    QTest::newRow("back while loading") << true << false << true;
}

void TestMainFrame::quickLoadLeavesStopAlone()
{
    m_frame->setNavigationState(true, false, false);
    QAction *stop = m_frame->navigationBar()->actions()[3];
    QSignalSpy changed(stop, &QAction::changed);
    m_frame->setNavigationState(true, false, true);
    m_frame->setNavigationState(true, false, false);
    QTest::qWait(2 * CMainFrame::stopDelayMs);
    QVERIFY(!stop->isEnabled());
    QCOMPARE(changed.size(), 0);
}

void TestMainFrame::toolbarFollowsNavigationState()
{
    QFETCH(bool, back);
    QFETCH(bool, forward);
    QFETCH(bool, loading);

    m_frame->setNavigationState(!back, !forward, !loading);
    m_frame->setNavigationState(back, forward, loading);
    const QList<QAction *> actions = m_frame->navigationBar()->actions();
    QCOMPARE(actions[0]->isEnabled(), back);
    QCOMPARE(actions[1]->isEnabled(), forward);
    QVERIFY(actions[2]->isEnabled());
    QTRY_COMPARE(actions[3]->isEnabled(), loading);

    QSignalSpy goBack(m_frame, &CMainFrame::goBack);
    QSignalSpy goForward(m_frame, &CMainFrame::goForward);
    QSignalSpy goRefresh(m_frame, &CMainFrame::goRefresh);
    QSignalSpy goStop(m_frame, &CMainFrame::goStop);
    for (QAction *action : actions)
        action->trigger(); // disabled actions do not fire
    QCOMPARE(goBack.size(), int(back));
    QCOMPARE(goForward.size(), int(forward));
    QCOMPARE(goRefresh.size(), 1);
    QCOMPARE(goStop.size(), int(loading));
}

void TestMainFrame::acceleratorTable_data()
{
    QTest::addColumn<QKeyCombination>("keys");
    QTest::addColumn<bool>("accelerator");
    QTest::newRow("Shift+Insert from the keypad")
        << QKeyCombination(Qt::ShiftModifier | Qt::KeypadModifier, Qt::Key_Insert) << true;
    QTest::newRow("Ctrl+Shift+Z") << (Qt::CTRL | Qt::SHIFT | Qt::Key_Z) << false;
    QTest::newRow("Ctrl+A") << (Qt::CTRL | Qt::Key_A) << false;
    QTest::newRow("Ctrl+F6") << (Qt::CTRL | Qt::Key_F6) << false;
    QTest::newRow("Backspace") << QKeyCombination(Qt::Key_Backspace) << false;
    QTest::newRow("Insert") << QKeyCombination(Qt::Key_Insert) << false;
}

void TestMainFrame::acceleratorTable()
{
    QFETCH(QKeyCombination, keys);
    QFETCH(bool, accelerator);
    QCOMPARE(frameAccelerators().size(), std::size_t(13));
    QCOMPARE(frameCommandFor(keys).has_value(), accelerator);
}

void TestMainFrame::acceleratorKeys_data()
{
    QTest::addColumn<bool>("claiming");
    QTest::addColumn<QKeyCombination>("keys");
    QTest::addColumn<QString>("signal"); // empty: swallowed

    const std::pair<QKeyCombination, const char *> keys[] = {
        {Qt::CTRL | Qt::Key_N, "fileNew"},       {Qt::CTRL | Qt::Key_O, "fileOpen"},
        {Qt::CTRL | Qt::Key_S, "fileSave"},      {Qt::CTRL | Qt::Key_X, "editCut"},
        {Qt::SHIFT | Qt::Key_Delete, "editCut"}, {Qt::CTRL | Qt::Key_C, "editCopy"},
        {Qt::CTRL | Qt::Key_Insert, "editCopy"}, {Qt::CTRL | Qt::Key_V, "editPaste"},
        {Qt::SHIFT | Qt::Key_Insert, "editPaste"}, {Qt::CTRL | Qt::Key_Z, ""},
        {Qt::ALT | Qt::Key_Backspace, ""},       {QKeyCombination(Qt::Key_F6), ""},
        {Qt::SHIFT | Qt::Key_F6, ""},
    };
    for (const bool claiming : {false, true}) {
        for (const auto &[combination, signal] : keys) {
            QTest::addRow("%s in the %s", qPrintable(QKeySequence(combination).toString()),
                          claiming ? "claiming view" : "line edit")
                << claiming << combination << QString::fromLatin1(signal);
        }
    }
}

void TestMainFrame::acceleratorKeys()
{
    QFETCH(bool, claiming);
    QFETCH(QKeyCombination, keys);
    QFETCH(QString, signal);

    showActive();
    m_edit->setText(QStringLiteral("abc"));
    m_edit->selectAll();
    QWidget *target = claiming ? static_cast<QWidget *>(m_claiming) : m_edit;
    target->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), target);

    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (const char *name : commandSignals)
        spies.push_back(std::make_unique<QSignalSpy>(m_frame, (QByteArray("2") + name + "()").constData()));
    // The frame's own action for the keys: the shortcut map must deliver them,
    // not just the frame's fallback for stray presses.
    QAction *accelerator = nullptr;
    for (QAction *action : m_frame->actions())
        accelerator = action->shortcut() == QKeySequence(keys) ? action : accelerator;
    QVERIFY(accelerator);
    QSignalSpy triggered(accelerator, &QAction::triggered);

    QTest::keyClick(target, keys.key(), keys.keyboardModifiers());

    // A text field of the frame's own (the find bar's) edits with its editing keys.
    const bool fieldEdits = !claiming && !frameTakesKeys(keys, true);
    QCOMPARE(triggered.size(), fieldEdits ? 0 : 1);
    for (std::size_t i = 0; i < spies.size(); ++i)
        QCOMPARE(spies[i]->size(), !fieldEdits && signal == QLatin1String(commandSignals[i]) ? 1 : 0);
    // The view saw nothing of it: no press, no edit.
    QCOMPARE(m_claiming->presses, 0);
    if (!fieldEdits)
        QCOMPARE(m_edit->text(), QStringLiteral("abc"));
}

void TestMainFrame::otherKeysReachView()
{
    showActive();
    m_claiming->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), m_claiming);
    QSignalSpy copy(m_frame, &CMainFrame::editCopy);

    QTest::keyClick(m_claiming, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(m_claiming, Qt::Key_C);
    QTest::keyClick(m_claiming, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(m_claiming->presses, 3);
    QCOMPARE(copy.size(), 0);
}

void TestMainFrame::pressWithoutShortcutStillRuns()
{
    // A press no shortcut took (the window is not the active one, say) still
    // belongs to the frame, not to the view.
    QSignalSpy paste(m_frame, &CMainFrame::editPaste);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
    QCoreApplication::sendEvent(m_claiming, &press);
    QKeyEvent undo(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier);
    QCoreApplication::sendEvent(m_claiming, &undo);
    QCOMPARE(paste.size(), 1);
    QCOMPARE(m_claiming->presses, 0);
}

void TestMainFrame::dialogsKeepTheirKeys()
{
    showActive();
    QDialog dialog(m_frame);
    auto *inDialog = new ClaimingView(&dialog);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QSignalSpy copy(m_frame, &CMainFrame::editCopy);

    QTest::keyClick(inDialog, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(inDialog, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(inDialog->presses, 2);
    QCOMPARE(copy.size(), 0);
}

void TestMainFrame::doubleClickSwallowed()
{
    showActive();
    const QPointF at(4, m_frame->height() / 2.0);
    QMouseEvent left(QEvent::MouseButtonDblClick, at, m_frame->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
    left.ignore();
    QCoreApplication::sendEvent(m_frame, &left);
    QVERIFY(left.isAccepted());
    QVERIFY(!m_frame->isMaximized());

    // Other buttons are not the frame's business.
    QMouseEvent right(QEvent::MouseButtonDblClick, at, m_frame->mapToGlobal(at), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_frame, &right);
    QVERIFY(!right.isAccepted());
}

void TestMainFrame::titleLeftAlone()
{
    showActive();
    m_frame->setNavigationState(true, true, true);
    m_frame->showStatusText(QStringLiteral("http://www.kelumo.com/"));
    QStatusTipEvent tip(QStringLiteral("刷新"));
    QCoreApplication::sendEvent(m_frame, &tip);
    m_edit->setFocus();
    QTest::keyClick(m_edit, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(m_edit, Qt::Key_F6);
    QTest::mouseDClick(m_frame, Qt::LeftButton);
    for (QAction *action : m_frame->navigationBar()->actions())
        action->trigger();
    QCOMPARE(m_frame->windowTitle(), product);
}

void TestMainFrame::firstPaintWatchedOnlyWhenTracing_data()
{
    QTest::addColumn<bool>("tracing");
    QTest::newRow("tracing off: nothing watches the frame") << false;
    QTest::newRow("tracing on: one paint, then gone") << true;
}

void TestMainFrame::firstPaintWatchedOnlyWhenTracing()
{
    QFETCH(bool, tracing);
    const bool before = traceEnabled();
    const auto restore = qScopeGuard([before] { setTraceEnabled(before); });
    setTraceEnabled(tracing);
    QPointer<FirstPaintTrace> watcher = FirstPaintTrace::watch(m_frame);
    QCOMPARE(!watcher.isNull(), tracing);
    QCOMPARE(m_frame->findChildren<FirstPaintTrace *>().size(), tracing ? 1 : 0);
    showActive();
    QTRY_VERIFY(watcher.isNull());
}

QTEST_MAIN(TestMainFrame)
#include "tst_mainframe.moc"
