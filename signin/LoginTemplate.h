#pragma once

#include <QSize>

class BitmapButton;
class MyOPCStatic;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QWidget;

// The login dialog's template: its controls, their names, texts and places
// in pixels at 96 DPI, made in the template's tab order. What they do is the
// dialog's.
struct LoginControls
{
    BitmapButton *login = nullptr;
    QLineEdit *account = nullptr;
    QLineEdit *password = nullptr;
    MyOPCStatic *tip = nullptr;
    BitmapButton *quit = nullptr;
    QPushButton *forgot = nullptr;
    QPushButton *cannotLogin = nullptr;
    QPushButton *contact = nullptr;
    QCheckBox *remember = nullptr;
    QLineEdit *company = nullptr;
};

inline constexpr QSize loginDialogSize(609, 278);

// Makes the controls as children of `dialog`.
LoginControls buildLoginControls(QWidget *dialog);
