#pragma once

#include <QDialog>
#include <QString>

// The product name and version, with the application's icon; on a desktop
// whose administrator sets policies, "由贵单位管理" and the policies in force.
class CAboutDlg final : public QDialog
{
    Q_OBJECT

public:
    // `policies`: the policy report (base/PolicyReport.h); empty for none.
    explicit CAboutDlg(QWidget *parent = nullptr, const QString &policies = QString());

    int DoModal() { return exec(); }
    void reject() override { done(2); }
};
