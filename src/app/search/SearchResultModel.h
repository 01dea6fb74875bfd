#pragma once

#include "diary/EntryMatch.h"

#include <QAbstractListModel>
#include <QList>

namespace Kakiva {

// The days found by one search, one row each, newest first as the index gives them.
class SearchResultModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role
    {
        DateRole = Qt::UserRole, // QDate
        ExcerptRole,             // the line cut around the hit
        MarkStartRole,           // where the hit begins in the excerpt
        MarkLengthRole,
    };

    using QAbstractListModel::QAbstractListModel;

    void setHits(QList<SearchHit> hits);
    // The row of date, or -1.
    int rowOf(const QDate &date) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    // The display text is the row as one line: date, two blanks, excerpt.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QList<SearchHit> m_hits;
};

} // namespace Kakiva
