#pragma once

#include <QToolBar>

class QLabel;
class QMenu;
class QLineEdit;
class QWebEngineFindTextResult;
class QWebEngineView;

// "第 n 项，共 m 项" for the active match of a search, "无匹配" when there is
// none, nothing while the search text is empty.
QString findStatusText(const QString &searchText, int activeMatch, int numberOfMatches);

// Writes each editing entry's keys (Ctrl+Z, Ctrl+X, Ctrl+C, Ctrl+V, Ctrl+A)
// into a text field's standard context menu.
void showEditingKeys(QMenu *menu);

// The bar that finds text in a view's page: it searches as the user types,
// Enter and F3 go to the next match, Shift+Enter and Shift+F3 to the previous
// one, Escape closes it and hands the focus back to the page.
class FindBar final : public QToolBar
{
    Q_OBJECT

public:
    explicit FindBar(QWebEngineView *view, QWidget *parent = nullptr);

    // Shows the bar with its text selected, ready for typing.
    void openBar();
    // Hides it, clears the page's highlighting and gives the page the focus.
    void closeBar();
    void findNext();
    void findPrevious();

    QString statusText() const;
    QLineEdit *searchField() const { return m_field; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void find(bool backward);
    void showResult(const QWebEngineFindTextResult &result);

    QWebEngineView *m_view;
    QLineEdit *m_field;
    QLabel *m_status;
};
