#include "browser/view/URLDlg.h"

#include <QLineEdit>
#include <QPushButton>

URLDlg::URLDlg(QWidget *parent)
    : QDialog(parent),
      m_btnOk(new QPushButton(QStringLiteral("确定"), this)),
      m_btnCancel(new QPushButton(QStringLiteral("取消"), this)),
      m_editUrl(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("URL"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    // The dialog template's 288 x 73 units at 1.5 px across and 1.625 px down.
    setFixedSize(432, 119);

    m_btnOk->setGeometry(36, 70, 75, 23);
    m_btnOk->setDefault(true);
    m_btnCancel->setGeometry(320, 68, 75, 23);
    m_editUrl->setGeometry(36, 28, 356, 21);
    m_editUrl->setObjectName(QStringLiteral("url"));
    // The dialog shows no caption beside its field.
    m_editUrl->setAccessibleName(QStringLiteral("网址"));
    m_editUrl->setAccessibleDescription(QStringLiteral("输入要打开的网页地址"));
    setAccessibleDescription(QStringLiteral("打开网址"));

    // Creation order is the tab order: OK, Cancel, then the edit. The first
    // stop has the focus when the dialog opens.
    setTabOrder(m_btnOk, m_btnCancel);
    setTabOrder(m_btnCancel, m_editUrl);
    m_btnOk->setFocus();

    connect(m_btnOk, &QPushButton::clicked, this, [this] { done(IDOK); });
    connect(m_btnCancel, &QPushButton::clicked, this, [this] { done(IDCANCEL); });
}

void URLDlg::done(int result)
{
    // Every way to OK (the button, Enter, accept()) takes the text; QDialog's
    // own 0 from reject() becomes Cancel, so callers only ever see 1 or 2.
    if (result == IDOK) {
        m_strUrl = m_editUrl->text();
        QDialog::done(IDOK);
        return;
    }
    QDialog::done(IDCANCEL);
}

void URLDlg::reject()
{
    done(IDCANCEL);
}
