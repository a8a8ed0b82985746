#pragma once

#include <QLabel>

// The one-line prompt of the login dialog. It draws its text straight onto the
// dialog's picture: it has no background of its own, so the picture shows
// through and a shorter text leaves no trace of a longer one.
class MyOPCStatic final : public QLabel
{
    Q_OBJECT

public:
    explicit MyOPCStatic(QWidget *parent = nullptr);

    // `text` is GBK, as the sign-in keeps its texts.
    virtual void SetText(const char *text);
};
