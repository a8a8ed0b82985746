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
    setText(QString::fromStdString(gbkToUtf8(text ? text : "")));
}
