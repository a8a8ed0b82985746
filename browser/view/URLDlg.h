#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

// Asks for an address to open. Ends with 1 on OK, the edit's text then in
// m_strUrl exactly as typed; with 2 on Cancel, Escape or close.
class URLDlg final : public QDialog
{
    Q_OBJECT

public:
    enum Result { IDOK = 1, IDCANCEL = 2 };

    explicit URLDlg(QWidget *parent);

    void done(int result) override;
    void reject() override;

    QString m_strUrl;

private:
    QPushButton *m_btnOk;
    QPushButton *m_btnCancel;
    QLineEdit *m_editUrl;
};
