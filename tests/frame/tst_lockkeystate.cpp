#include "frame/LockKeyState.h"

#include <QGuiApplication>
#include <QTest>
#include <QWidget>

using Locks = LockKeyState::Locks;

char *toString(const Locks &l)
{
    return qstrdup(QByteArray::number(l.caps) + QByteArray::number(l.num) + QByteArray::number(l.scroll));
}

namespace {

// A keyboard the test controls; counts how often it is read.
struct FakeKeyboard
{
    Locks locks;
    bool readable = true;
    int reads = 0;

    LockKeyState::Reader reader()
    {
        return [this]() -> std::optional<Locks> {
            ++reads;
            return readable ? std::optional(locks) : std::nullopt;
        };
    }
};

} // namespace

class TestLockKeyState final : public QObject
{
    Q_OBJECT

private slots:
    void offscreenReportsNothing();
    void changesAreReported();
    void keyEventsTriggerOneRead();
    void timerOnlyWhileActive();
};

void TestLockKeyState::offscreenReportsNothing()
{
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        QSKIP("only the offscreen platform is known to tell nothing");
    LockKeyState state;
    QVERIFY(!state.hasReader());
    QVERIFY(!state.isTimerRunning());
    QCOMPARE(state.locks(), Locks{});
}

void TestLockKeyState::changesAreReported()
{
    LockKeyState state;
    FakeKeyboard keyboard;
    keyboard.locks = {true, false, true};
    QList<Locks> seen;
    connect(&state, &LockKeyState::changed, this, [&](const Locks &l) { seen << l; });

    state.setReader(keyboard.reader());
    state.poll();
    keyboard.locks.num = true;
    state.poll();
    state.poll();
    QCOMPARE(seen, (QList<Locks>{{true, false, true}, {true, true, true}}));

    // A display that stops answering must not leave a stale CAP behind.
    keyboard.readable = false;
    state.poll();
    QCOMPARE(state.locks(), Locks{});

    keyboard.readable = true;
    state.setReader({});
    QCOMPARE(state.locks(), Locks{});
    QVERIFY(!state.isTimerRunning());
}

void TestLockKeyState::keyEventsTriggerOneRead()
{
    LockKeyState state;
    FakeKeyboard keyboard;
    state.setReader(keyboard.reader());
    QWidget target;
    QCoreApplication::processEvents();
    const int reads = keyboard.reads;

    // Press and release pass several receivers; the keyboard is read once,
    // after delivery.
    keyboard.locks.caps = true;
    QTest::keyClick(&target, Qt::Key_CapsLock);
    QVERIFY(!state.locks().caps);
    QCoreApplication::processEvents();
    QVERIFY(state.locks().caps);
    QCOMPARE(keyboard.reads - reads, 1);

    state.setReader({});
    QTest::keyClick(&target, Qt::Key_CapsLock);
    QCoreApplication::processEvents();
    QCOMPARE(keyboard.reads - reads, 1);
}

void TestLockKeyState::timerOnlyWhileActive()
{
    LockKeyState state;
    FakeKeyboard keyboard;
    state.setReader(keyboard.reader());
    QVERIFY(!state.isTimerRunning());

    QWidget window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTRY_VERIFY(state.isTimerRunning());

    // A lock toggled in another program shows within a few intervals.
    keyboard.locks.scroll = true;
    QTRY_VERIFY_WITH_TIMEOUT(state.locks().scroll, 4 * LockKeyState::pollIntervalMs);

    // Offscreen never deactivates the application; this stands in for the
    // notice a desktop sends when another program comes to the front.
    emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
    const int reads = keyboard.reads;
    QTest::qWait(2 * LockKeyState::pollIntervalMs);
    QCOMPARE(keyboard.reads, reads);
}

QTEST_MAIN(TestLockKeyState)
#include "tst_lockkeystate.moc"
