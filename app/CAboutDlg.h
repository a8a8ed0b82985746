#pragma once

#include <QDialog>

// The product name and version, with the application's icon.
class CAboutDlg final : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget *parent = nullptr);

    int DoModal() { return exec(); }
    void reject() override { done(2); }
};
