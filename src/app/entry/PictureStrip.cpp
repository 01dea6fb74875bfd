#include "app/entry/PictureStrip.h"

#include "diary/DayPictureNames.h"
#include "pictures/DayPictureStore.h"

#include <QImageReader>

namespace Kakiva {

namespace {

constexpr int ThumbnailEdge = 40;

QImage thumbnailOf(const QString &path)
{
    QImageReader reader(path);
    const QSize size = reader.size();
    if (size.isValid())
        reader.setScaledSize(
            size.scaled(ThumbnailEdge, ThumbnailEdge, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    return reader.read();
}

} // namespace

PictureStrip::PictureStrip(QWidget *parent) : QListWidget(parent)
{
    setObjectName(QStringLiteral("PictureStrip"));
    setViewMode(QListView::IconMode);
    setFlow(QListView::LeftToRight);
    setWrapping(false);
    setMovement(QListView::Static);
    setIconSize(QSize(ThumbnailEdge, ThumbnailEdge));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    connect(&m_job, &BackgroundJob::finished, this, &PictureStrip::fill);
}

void PictureStrip::showDay(const DateFields &date)
{
    m_date = date;
    if (m_job.isRunning()) {
        m_again = true; // read once more when this reading is done
        return;
    }
    m_job.start([this, date](JobProgress &) {
        m_read.clear();
        for (const QString &name : dayPictures(date))
            m_read.append({name, thumbnailOf(dayPicturePath(date, name))});
    });
}

void PictureStrip::fill()
{
    if (m_again) {
        m_again = false;
        showDay(m_date);
        return;
    }
    clear();
    for (const auto &[name, image] : std::as_const(m_read)) {
        auto *item = new QListWidgetItem(QIcon(QPixmap::fromImage(image)), QString(), this);
        item->setToolTip(name);
        item->setData(Qt::UserRole, name);
    }
    emit shown();
}

} // namespace Kakiva
