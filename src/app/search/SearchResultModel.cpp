#include "app/search/SearchResultModel.h"

#include "diary/DateStrings.h"

#include <algorithm>

namespace Kakiva {

void SearchResultModel::setHits(QList<SearchHit> hits)
{
    beginResetModel();
    m_hits = std::move(hits);
    endResetModel();
}

int SearchResultModel::rowOf(const QDate &date) const
{
    const auto found = std::find_if(m_hits.cbegin(), m_hits.cend(),
                                    [&](const SearchHit &hit) { return hit.date == date; });
    return found == m_hits.cend() ? -1 : int(found - m_hits.cbegin());
}

int SearchResultModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_hits.size());
}

QVariant SearchResultModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_hits.size())
        return {};
    const SearchHit &hit = m_hits[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return slashedDate(hit.date) + QLatin1String("  ") + hit.excerpt.text;
    case DateRole:
        return hit.date;
    case ExcerptRole:
        return hit.excerpt.text;
    case MarkStartRole:
        return qlonglong(hit.excerpt.markStart);
    case MarkLengthRole:
        return qlonglong(hit.excerpt.markLength);
    default:
        return {};
    }
}

} // namespace Kakiva
