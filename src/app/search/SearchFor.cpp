#include "app/search/SearchFor.h"

#include "app/kit/JapaneseFont.h"
#include "app/search/SearchHitDelegate.h"
#include "app/search/SearchResultModel.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

namespace Kakiva {

namespace {

// Long enough to let a burst of keys pass, short enough to feel immediate.
constexpr auto TypingPause = std::chrono::milliseconds(40);
constexpr int WindowGap = 8;

QString countText(qsizetype days, qsizetype unreadable)
{
    QString text = days > 0 ? QStringLiteral("%1日見つかりました").arg(days)
                            : QStringLiteral("見つかりませんでした");
    if (unreadable > 0)
        text += QStringLiteral("（読めない日記%1件を除く）").arg(unreadable);
    return text;
}

} // namespace

SearchFor::SearchFor(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("SearchFor"));
    setWindowTitle(QStringLiteral("日記の検索"));
    setFont(japaneseGothicFont(10.5));
    buildControls();
    resize(480, 360);

    m_typingPause.setSingleShot(true);
    m_typingPause.setInterval(TypingPause);
    connect(&m_typingPause, &QTimer::timeout, this, &SearchFor::runQuery);
    connect(QueryTex, &QLineEdit::textChanged, this, [this] { m_typingPause.start(); });
    connect(QueryTex, &QLineEdit::returnPressed, this, [this] {
        runQuery();
        enterList();
    });
    connect(ResultLis, &QListView::activated, this, &SearchFor::chooseRow);
    connect(&m_index, &DiaryIndex::ready, this, &SearchFor::runQuery);
    connect(&m_index, &DiaryIndex::changed, this, &SearchFor::runQuery);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &SearchFor::close);
}

void SearchFor::buildControls()
{
    QueryTex = new QLineEdit(this);
    QueryTex->setObjectName(QStringLiteral("QueryTex"));
    QueryTex->setClearButtonEnabled(true);
    QueryTex->installEventFilter(this);

    m_results = new SearchResultModel(this);
    ResultLis = new QListView(this);
    ResultLis->setObjectName(QStringLiteral("ResultLis"));
    ResultLis->setModel(m_results);
    ResultLis->setItemDelegate(new SearchHitDelegate(ResultLis));
    ResultLis->setUniformItemSizes(true);
    ResultLis->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ResultLis->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    CountLab = new QLabel(this);
    CountLab->setObjectName(QStringLiteral("CountLab"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(QueryTex);
    layout->addWidget(ResultLis, 1);
    layout->addWidget(CountLab);
}

void SearchFor::showSearch()
{
    if (!m_placed) {
        placeBesideParent();
        m_placed = true;
    }
    m_index.prepare();
    if (!m_index.isReady())
        CountLab->setText(QStringLiteral("日記を読み込んでいます…"));
    show();
    raise();
    activateWindow();
    QueryTex->setFocus();
    QueryTex->selectAll();
}

void SearchFor::placeBesideParent()
{
    QWidget *owner = parentWidget();
    if (!owner)
        return;
    // To the right of the calendar when there is room, so both stay in view.
    const QRect screenArea = owner->screen()->availableGeometry();
    const QRect ownerFrame = owner->frameGeometry();
    QPoint at(ownerFrame.right() + WindowGap, ownerFrame.top());
    if (at.x() + width() > screenArea.right())
        at.setX(std::max(screenArea.left(), ownerFrame.left() - width() - WindowGap));
    at.setY(std::clamp(at.y(), screenArea.top(),
                       std::max(screenArea.top(), screenArea.bottom() - height())));
    move(at);
}

void SearchFor::runQuery()
{
    m_typingPause.stop();
    if (!m_index.isReady())
        return;
    // Keep the chosen day chosen when its row survives a new search.
    const QDate current = ResultLis->currentIndex().data(SearchResultModel::DateRole).toDate();
    m_results->setHits(m_index.search(QueryTex->text()));
    const int row = m_results->rowOf(current);
    if (row >= 0)
        ResultLis->setCurrentIndex(m_results->index(row));
    if (QueryTex->text().trimmed().isEmpty())
        CountLab->clear();
    else
        showCount(m_results->rowCount());
}

void SearchFor::showCount(qsizetype days)
{
    CountLab->setText(countText(days, m_index.unreadableCount()));
}

bool SearchFor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == QueryTex && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Down) {
        runQuery();
        enterList();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void SearchFor::enterList()
{
    if (m_results->rowCount() == 0)
        return;
    ResultLis->setFocus();
    if (!ResultLis->currentIndex().isValid())
        ResultLis->setCurrentIndex(m_results->index(0));
}

void SearchFor::chooseRow(const QModelIndex &index)
{
    const QDate date = index.data(SearchResultModel::DateRole).toDate();
    if (date.isValid())
        emit dayChosen(date);
}

} // namespace Kakiva
