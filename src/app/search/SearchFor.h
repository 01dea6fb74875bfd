#pragma once

#include "diary/DiaryIndex.h"

#include <QTimer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListView;

namespace Kakiva {

class SearchResultModel;

// The search window: finds the days whose entry holds every word typed, as they are
// typed, newest first. Down moves from the query into the list; Return or a double click
// on a row chooses that day; Escape closes the window. Not modal: the calendar window
// stays usable beside it.
class SearchFor : public QWidget
{
    Q_OBJECT

public:
    explicit SearchFor(QWidget *parent = nullptr);

    // Shows and raises the window with the query box focused; the first showing starts
    // reading the diary.
    void showSearch();

    QLineEdit *QueryTex = nullptr;
    QListView *ResultLis = nullptr;
    QLabel *CountLab = nullptr;

signals:
    void dayChosen(const QDate &date);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void placeBesideParent();
    void runQuery();
    void showCount(qsizetype days);
    void enterList();
    void chooseRow(const QModelIndex &index);

    DiaryIndex m_index;
    SearchResultModel *m_results = nullptr;
    QTimer m_typingPause;
    bool m_placed = false;
};

} // namespace Kakiva
