#include "LoginDialogHost.h"

#include "CLogin.h"
#include "GbkText.h"
#include "SignInRules.h"
#include "Trace.h"

#include <QMessageBox>
#include <QPointer>

LoginDialogHost::LoginDialogHost(CLogin *dialog) : m_dialog(dialog) {}

void LoginDialogHost::detach()
{
    {
        std::lock_guard lock(m_mutex);
        m_dialog = nullptr;
    }
    m_closed.notify_all();
}

void LoginDialogHost::showMessage(const std::string &gbkText)
{
    std::unique_lock lock(m_mutex);
    if (!m_dialog)
        return;
    const unsigned ticket = m_boxesClosed + 1;
    // Posted while the lock is held: the dialog cannot go away in between,
    // and if it goes before the box shows, the posted call goes with it.
    QMetaObject::invokeMethod(
        m_dialog,
        [self = shared_from_this(), dialog = QPointer<CLogin>(m_dialog), text = gbkText] {
            if (dialog) {
                trace("message", gbkToUtf8(text));
                QMessageBox box(QMessageBox::Warning, QString::fromUtf8(signin::messageCaption),
                                QString::fromStdString(gbkToUtf8(text)), QMessageBox::Ok, dialog);
                box.setObjectName(QStringLiteral("signInMessage"));
                box.exec();
            }
            self->boxClosed();
        },
        Qt::QueuedConnection);
    m_closed.wait(lock, [&] { return m_boxesClosed >= ticket || !m_dialog; });
}

void LoginDialogHost::boxClosed()
{
    {
        std::lock_guard lock(m_mutex);
        ++m_boxesClosed;
    }
    m_closed.notify_all();
}

void LoginDialogHost::loginFinished()
{
    std::lock_guard lock(m_mutex);
    if (!m_dialog)
        return;
    QMetaObject::invokeMethod(
        m_dialog, [dialog = m_dialog] { dialog->OnLoginFinished(0, 0); }, Qt::QueuedConnection);
}
