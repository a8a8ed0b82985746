#pragma once

class QDialog;
class QLineEdit;
class QString;

// The look both sign-in dialogs share (the proxy's and a page's): a line
// that says who asks, the user name and password fields, 确定 and 取消.
namespace credentialsform {

// Lays `dialog` out around the two fields; the password field hides what is
// typed. With a user name filled in, the password field has the focus.
void build(QDialog *dialog, const QString &prompt, QLineEdit *user, QLineEdit *password, const QString &previousUser);

// Empties a field that held a password, so that no copy of it stays behind
// in the widget.
void clear(QLineEdit *password);

} // namespace credentialsform
