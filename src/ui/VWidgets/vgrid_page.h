#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QHBoxLayout;

// The pager under a grid: previous, page numbers around the current page with
// the first and last page at the ends, next, and a box to type a page.
class VGrid_page : public QWidget
{
    Q_OBJECT
public:
    explicit VGrid_page(QWidget *parent = nullptr);

    void setPageCount(int count);
    int pageCount() const { return m_pageCount; }
    int currentPage() const { return m_currentPage; }
    // Sets the page without announcing it (a page reset by the list owner).
    void setCurrentPage(int page);
    // Chooses a page as a click would: clamped to 1 … page count, announced
    // only when it differs from the current one.
    void goToPage(int page);
    // The page numbers now shown, in order (for the owner and for tests).
    QList<int> shownPages() const;
    QLineEdit *pageLineEdit() const { return m_lineEdit; }
    QLabel *previousPageLabel() const { return m_previous; }
    QLabel *nextPageLabel() const { return m_next; }

signals:
    void currentPageChanged(int page);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuild();
    QLabel *makePageLabel(int page, QWidget *parent);
    static void clear(QWidget *container);

    int m_pageCount = 1;
    int m_currentPage = 1;
    // Page labels shown on each side of the current page.
    int m_around = 2;
    QLabel *m_previous;
    QLabel *m_next;
    QLabel *m_leftSeparator;
    QLabel *m_rightSeparator;
    QWidget *m_left;
    QWidget *m_center;
    QWidget *m_right;
    QLineEdit *m_lineEdit;
};
