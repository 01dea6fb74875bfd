#include "app/search/SearchHitDelegate.h"

#include "app/search/SearchResultModel.h"
#include "diary/DateStrings.h"

#include <QApplication>
#include <QPainter>

namespace Kakiva {

namespace {

constexpr int Margin = 4;
constexpr int DateGap = 12;
// A highlighter's yellow: readable under black text on any light theme.
const QColor MarkerColour(255, 226, 110);

struct ExcerptParts
{
    QString before;
    QString mark;
    QString after;
};

ExcerptParts splitExcerpt(const QModelIndex &index)
{
    const QString excerpt = index.data(SearchResultModel::ExcerptRole).toString();
    const qsizetype start = index.data(SearchResultModel::MarkStartRole).toLongLong();
    const qsizetype length = index.data(SearchResultModel::MarkLengthRole).toLongLong();
    return {excerpt.first(start), excerpt.sliced(start, length), excerpt.sliced(start + length)};
}

// Draws text at the left of area and returns the area that is left over to its right.
QRect drawPiece(QPainter *painter, QRect area, const QString &text)
{
    painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter, text);
    area.setLeft(area.left() + painter->fontMetrics().horizontalAdvance(text));
    return area;
}

} // namespace

void SearchHitDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    item.text.clear();
    const QWidget *widget = item.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    // Background, selection and focus as the style draws them; the text is ours.
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    painter->save();
    const bool selected = item.state & QStyle::State_Selected;
    painter->setPen(item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(item.font);
    QRect area = item.rect.adjusted(Margin, 0, -Margin, 0);
    const QString date = slashedDate(index.data(SearchResultModel::DateRole).toDate());
    area = drawPiece(painter, area, date);
    area.setLeft(area.left() + DateGap);

    const ExcerptParts parts = splitExcerpt(index);
    QFont bold = item.font;
    bold.setBold(true);
    const QFontMetrics plainMetrics(item.font);
    const int markWidth = QFontMetrics(bold).horizontalAdvance(parts.mark);
    // The hit stays in view: the text before it gives way first.
    const QString before =
        plainMetrics.elidedText(parts.before, Qt::ElideLeft, std::max(0, area.width() - markWidth));
    area = drawPiece(painter, area, before);

    painter->setFont(bold);
    const QRect markArea(area.left(), area.top() + 2, std::min(markWidth, area.width()),
                         area.height() - 4);
    if (!selected)
        painter->fillRect(markArea, MarkerColour);
    area = drawPiece(painter, area,
                     painter->fontMetrics().elidedText(parts.mark, Qt::ElideRight, area.width()));
    painter->setFont(item.font);
    if (area.width() > 0)
        drawPiece(painter, area,
                  plainMetrics.elidedText(parts.after, Qt::ElideRight, area.width()));
    painter->restore();
}

QSize SearchHitDelegate::sizeHint(const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), option.fontMetrics.height() + 2 * Margin));
    return size;
}

} // namespace Kakiva
