#include "frame/MyStateBar.h"

#include <QLabel>
#include <QMainWindow>
#include <QStatusTipEvent>
#include <QTest>

namespace {

const QString product = QStringLiteral("Kelumo大数据");

// How a text reaches the bar.
enum class Route { OnSetText, SetPaneText, SetWindowText, ShowMessage, TipToWindow, TipToBar };

class PaintCounter final : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return QObject::eventFilter(watched, event);
    }
};

// A main window with the bar at its bottom.
struct Window
{
    QMainWindow window;
    MyStateBar *bar = new MyStateBar;
    QLabel *pane0 = nullptr;

    Window()
    {
        window.setStatusBar(bar);
        pane0 = bar->findChild<QLabel *>(QStringLiteral("pane0"));
        window.resize(640, 200);
    }
};

} // namespace

Q_DECLARE_METATYPE(Route)

class TestMyStateBar final : public QObject
{
    Q_OBJECT

private slots:
    void emptyBeforeFirstText();
    void alwaysShowsProductName_data();
    void alwaysShowsProductName();
    void sameTextIsNotRepainted();
    void unknownPanes();
    void indicatorsFollowLocks_data();
    void indicatorsFollowLocks();
};

void TestMyStateBar::emptyBeforeFirstText()
{
    MyStateBar bar;
    QCOMPARE(bar.paneCount(), 4);
    QVERIFY(bar.currentText().isEmpty());
    QVERIFY(bar.windowTitle().isEmpty());
}

void TestMyStateBar::alwaysShowsProductName_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<QString>("text");

    const std::pair<const char *, Route> routes[] = {
        {"OnSetText", Route::OnSetText},         {"SetPaneText", Route::SetPaneText},
        {"SetWindowText", Route::SetWindowText}, {"showMessage", Route::ShowMessage},
        {"tip to window", Route::TipToWindow},   {"tip to bar", Route::TipToBar},
    };
    const std::pair<const char *, QString> texts[] = {
        {"empty", QString()},
        {"link", QStringLiteral("http://www.kelumo.com/data/report.aspx?id=42")},
        {"idle", QStringLiteral("就绪")},
    };
    for (const auto &[routeName, route] : routes) {
        for (const auto &[textName, text] : texts)
            QTest::addRow("%s, %s", routeName, textName) << route << text;
    }
}

void TestMyStateBar::alwaysShowsProductName()
{
    QFETCH(Route, route);
    QFETCH(QString, text);
    Window w;
    w.window.show();
    QStatusTipEvent tip(text);

    switch (route) {
    case Route::OnSetText: QCOMPARE(w.bar->OnSetText(text), 0L); break;
    case Route::SetPaneText: QVERIFY(w.bar->SetPaneText(0, text, false)); break;
    case Route::SetWindowText: w.bar->SetWindowText(text); break;
    case Route::ShowMessage: w.bar->showMessage(text, 3000); break;
    case Route::TipToWindow: QCoreApplication::sendEvent(&w.window, &tip); break;
    // Tips travel up from the widget under the mouse; an indicator is one.
    case Route::TipToBar: QCoreApplication::sendEvent(w.bar->findChild<QLabel *>(QStringLiteral("cap")), &tip); break;
    }

    // An empty temporary message is no text at all: nothing has arrived yet.
    const QString expected = route == Route::ShowMessage && text.isEmpty() ? QString() : product;
    QCOMPARE(w.bar->currentText(), expected);
    QCOMPARE(w.bar->windowTitle(), expected);
    QVERIFY(w.bar->currentMessage().isEmpty());
    QVERIFY(w.pane0->isVisible());
}

void TestMyStateBar::sameTextIsNotRepainted()
{
    Window w;
    PaintCounter counter;
    w.pane0->installEventFilter(&counter);
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    // The platform may paint a few times after showing; wait for quiet.
    const auto settle = [&] {
        for (int round = 0; round < 20 && (round == 0 || counter.paints > 0); ++round) {
            counter.paints = 0;
            QTest::qWait(50);
        }
    };
    settle();
    w.bar->OnSetText(QStringLiteral("就绪"));
    QTRY_VERIFY(counter.paints > 0);
    settle();

    // The page reports every hovered link; none of them may cost a repaint.
    for (const char *link : {"http://a.example/", "http://b.example/", ""})
        w.bar->OnSetText(QString::fromLatin1(link));
    QTest::qWait(100);
    QCOMPARE(counter.paints, 0);
}

void TestMyStateBar::unknownPanes()
{
    MyStateBar bar;
    bar.OnSetText(QString());
    for (const int index : {-1, 4, 100}) {
        QVERIFY(!bar.SetPaneText(index, QStringLiteral("CAP")));
        QVERIFY(bar.paneText(index).isEmpty());
    }
    QCOMPARE(bar.currentText(), product);

    delete bar.findChild<QLabel *>(QStringLiteral("pane0"));
    QCOMPARE(bar.OnSetText(QStringLiteral("就绪")), -1L);
    QVERIFY(!bar.SetPaneText(0, QString()));
}

void TestMyStateBar::indicatorsFollowLocks_data()
{
    QTest::addColumn<LockKeyState::Locks>("locks");
    QTest::newRow("all off") << LockKeyState::Locks{false, false, false};
    QTest::newRow("caps") << LockKeyState::Locks{true, false, false};
    QTest::newRow("num") << LockKeyState::Locks{false, true, false};
    QTest::newRow("scroll") << LockKeyState::Locks{false, false, true};
    QTest::newRow("all on") << LockKeyState::Locks{true, true, true};
}

void TestMyStateBar::indicatorsFollowLocks()
{
    QFETCH(LockKeyState::Locks, locks);
    Window w;
    w.bar->OnSetText(QStringLiteral("就绪"));
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    const QStringList names{QStringLiteral("cap"), QStringLiteral("num"), QStringLiteral("scrl")};
    QList<int> widthsBefore;
    for (const QString &name : names)
        widthsBefore << w.bar->findChild<QLabel *>(name)->width();

    w.bar->lockKeyState()->setReader([locks] { return std::optional(locks); });
    QCoreApplication::processEvents();

    const bool on[] = {locks.caps, locks.num, locks.scroll};
    for (int i = 0; i < 3; ++i) {
        auto *pane = w.bar->findChild<QLabel *>(names[i]);
        QCOMPARE(w.bar->paneText(i + 1), on[i] ? names[i].toUpper() : QString());
        // Blank or lit, an indicator keeps the width of its text: nothing shifts.
        QCOMPARE(pane->width(), widthsBefore[i]);
        QVERIFY(pane->width() >= pane->fontMetrics().horizontalAdvance(names[i].toUpper()));
    }
    QCOMPARE(w.bar->currentText(), product);
}

QTEST_MAIN(TestMyStateBar)
#include "tst_mystatebar.moc"
