#pragma once

#include <QString>

class QPainter;
class QPixmap;
class QWidget;

// How the login dialog looks beyond its controls' places: the style of its
// texts on the picture's dark lower panel, and its backdrop.

// The dialog's style sheet. Only the dialog's own buttons get the light text:
// the message boxes it owns would inherit light text on grey.
QString loginStyleSheet();

// Draws `picture` over the whole of `dialog`, or, when there is none, a plain
// field with the product name; then a thin edge around the borderless window.
void paintLoginBackdrop(QPainter &painter, const QWidget &dialog, const QPixmap &picture);
