#include "browser/view/URLDlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

class TestURLDlg final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensLikeItsTemplate();
    void okWithEmptyField();
    void okKeepsTextAsTyped();
    void cancelAndEscapeLeaveAddressEmpty();

private:
    // exec() runs a loop of its own: the user's part is played inside it.
    int execWith(const std::function<void()> &user);

    URLDlg *m_dlg = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
    QLineEdit *m_edit = nullptr;
};

void TestURLDlg::init()
{
    m_dlg = new URLDlg(nullptr);
    for (auto *button : m_dlg->findChildren<QPushButton *>())
        (button->text() == QStringLiteral("确定") ? m_ok : m_cancel) = button;
    m_edit = m_dlg->findChild<QLineEdit *>(QStringLiteral("url"));
    QVERIFY(m_ok && m_cancel && m_edit);
}

void TestURLDlg::cleanup()
{
    delete m_dlg;
}

int TestURLDlg::execWith(const std::function<void()> &user)
{
    QTimer::singleShot(0, m_dlg, user);
    return m_dlg->exec();
}

void TestURLDlg::opensLikeItsTemplate()
{
    QCOMPARE(m_dlg->windowTitle(), QStringLiteral("URL"));
    QCOMPARE(m_dlg->size(), QSize(432, 119));
    QCOMPARE(m_ok->geometry(), QRect(36, 70, 75, 23));
    QCOMPARE(m_cancel->text(), QStringLiteral("取消"));
    QCOMPARE(m_cancel->geometry(), QRect(320, 68, 75, 23));
    QCOMPARE(m_edit->geometry(), QRect(36, 28, 356, 21));
    QVERIFY(m_ok->isDefault());
    QVERIFY(m_edit->text().isEmpty());
    QVERIFY(m_dlg->m_strUrl.isEmpty());

    // The field is last in tab order, so the dialog opens on OK.
    QCOMPARE(m_ok->nextInFocusChain(), m_cancel);
    QCOMPARE(m_cancel->nextInFocusChain(), m_edit);
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg));
    QCOMPARE(m_dlg->focusWidget(), m_ok);
}

void TestURLDlg::okWithEmptyField()
{
    QCOMPARE(execWith([this] { m_ok->click(); }), 1);
    QCOMPARE(m_dlg->m_strUrl, QString());
}

void TestURLDlg::okKeepsTextAsTyped()
{
    const int result = execWith([this] {
        m_edit->setFocus();
        QTest::keyClicks(m_edit, QStringLiteral("  www.kelumo.com/"));
        // What an input method sends: text without a key of its own.
        QTest::sendKeyEvent(QTest::Click, m_edit, Qt::Key_unknown, QStringLiteral("数据"), Qt::NoModifier);
        QTest::keyClicks(m_edit, QStringLiteral(" "));
        QTest::keyClick(m_edit, Qt::Key_Return); // Enter is OK
    });
    QCOMPARE(result, 1);
    QCOMPARE(m_dlg->m_strUrl, QStringLiteral("  www.kelumo.com/数据 ")); // no trimming, no scheme added
}

void TestURLDlg::cancelAndEscapeLeaveAddressEmpty()
{
    m_edit->setText(QStringLiteral("http://typed/"));
    QCOMPARE(execWith([this] { m_cancel->click(); }), 2);
    QCOMPARE(m_dlg->m_strUrl, QString());
    QCOMPARE(execWith([this] { QTest::keyClick(m_dlg, Qt::Key_Escape); }), 2);
    QCOMPARE(m_dlg->m_strUrl, QString());
    // Closing the window, and QDialog's own reject(), give 2, never 0.
    QCOMPARE(execWith([this] { m_dlg->close(); }), 2);
    QCOMPARE(execWith([this] { m_dlg->reject(); }), 2);
    QCOMPARE(m_dlg->m_strUrl, QString());
}

QTEST_MAIN(TestURLDlg)
#include "tst_urldlg.moc"
