#pragma once

#include <QStyledItemDelegate>

namespace Kakiva {

// Draws a result row on one line: the date, then the excerpt with the hit marked in
// bold on a marker colour. What does not fit is cut off with "…".
class SearchHitDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

} // namespace Kakiva
