#pragma once

#include "signin/SignInSession.h"

#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QPushButton>
#include <QTimer>

// Whether the sign-in of `dialog` (a login dialog) holds its in-flight guard.
inline bool loginInFlight(const QObject *dialog)
{
    const auto *session = dialog ? dialog->findChild<const SignInSession *>() : nullptr;
    return session && session->loginInFlight();
}

// The worker's boxes run their own event loop, so a test can only meet them
// from inside it: a timer notes what the box shows and closes it.
class BoxCloser final : public QObject
{
public:
    BoxCloser()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            ++count;
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            parent = box->parentWidget();
            buttons = box->standardButtons();
            okTextColor = box->button(QMessageBox::Ok)->palette().color(QPalette::ButtonText);
            guardTakenWhileShown = loginInFlight(parent);
            box->button(QMessageBox::Ok)->click();
        });
        m_timer.start(20);
    }

    int count = 0;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget *parent = nullptr;
    QMessageBox::StandardButtons buttons;
    QColor okTextColor;
    bool guardTakenWhileShown = false;

private:
    QTimer m_timer;
};
