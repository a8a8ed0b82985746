#pragma once

#include "frame/LockKeyState.h"

#include <QPointer>
#include <QStatusBar>

#include <array>

class QLabel;

// The main window's status bar: a message pane stretching over the free width
// and the CAP, NUM and SCRL indicators. Whatever text is asked for, the
// message pane shows the product name once the first text has arrived; Qt's
// temporary messages (status tips, hovered links) never cover it.
class MyStateBar final : public QStatusBar
{
    Q_OBJECT

public:
    enum Pane { MessagePane = 0, CapsPane = 1, NumPane = 2, ScrollPane = 3, PaneCount = 4 };

    explicit MyStateBar(QWidget *parent = nullptr);

    static QString productName();

    // Pane 0 ignores the text and the flag and shows the product name. Other
    // panes take the text. False for an index with no pane.
    virtual bool SetPaneText(int index, const QString &text, bool update = true);
    // The bar's own text is its message pane's: the product name.
    virtual void SetWindowText(const QString &text);
    // Every status text request ends here. 0, or -1 when the message pane is gone.
    long OnSetText(const QString &text);

    int paneCount() const { return PaneCount; }
    // Empty for an index with no pane.
    QString paneText(int index) const;
    QString currentText() const;

    LockKeyState *lockKeyState() const { return m_lockKeys; }

public slots:
    void SetLockState(const LockKeyState::Locks &locks);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void watchTipsOf(QWidget *window);
    void sizeIndicators();
    void dropTemporaryMessage(const QString &message);

    // Guarded: a pane deleted behind the bar's back reads as missing.
    std::array<QPointer<QLabel>, PaneCount> m_panes;
    LockKeyState *m_lockKeys = nullptr;
    // The main window the bar sits in: it would show status tips as
    // temporary messages, so its tips are taken here first.
    QPointer<QWidget> m_tipWindow;
};
