#include "signin/MyOPCStatic.h"

#include "base/GbkText.h"

MyOPCStatic::MyOPCStatic(QWidget *parent) : QLabel(parent)
{
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    setAlignment(Qt::AlignCenter);
    setTextFormat(Qt::PlainText);
    // Shown in the disabled style and takes no mouse input.
    setEnabled(false);
}

void MyOPCStatic::SetText(const char *text)
{
    // With no accessible name of its own, the label is named by its text, and
    // QLabel tells a screen reader of each new text as it is set.
    setText(QString::fromStdString(gbkToUtf8(text ? text : "")));
}
