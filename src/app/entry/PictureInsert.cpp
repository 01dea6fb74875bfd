#include "app/entry/PictureInsert.h"

#include "app/entry/PictureFaultText.h"
#include "pictures/DayPictureStore.h"

namespace Kakiva {

PictureInsert::PictureInsert(QObject *parent) : QObject(parent)
{
    connect(&m_job, &BackgroundJob::finished, this, &PictureInsert::finishOne);
}

void PictureInsert::setDay(const DateFields &date, int longEdge)
{
    m_date = date;
    m_longEdge = longEdge;
    m_stopped = false;
}

void PictureInsert::addFiles(const QStringList &paths)
{
    for (const QString &path : paths)
        m_waiting.append({path, QImage()});
    startNext();
}

void PictureInsert::addImage(const QImage &image)
{
    m_waiting.append({QString(), image});
    startNext();
}

void PictureInsert::stop()
{
    m_stopped = true;
    m_waiting.clear();
    m_job.wait();
    m_outcome.reset(); // finished() still follows, with nothing to hand over
}

void PictureInsert::startNext()
{
    if (m_stopped || m_job.isRunning() || m_waiting.isEmpty())
        return;
    const Request request = m_waiting.takeFirst();
    auto outcome = std::make_shared<Outcome>();
    m_outcome = outcome;
    const DateFields date = m_date;
    const int longEdge = m_longEdge;
    m_job.start([request, outcome, date, longEdge](JobProgress &) {
        const WebPicture picture = request.path.isEmpty() ? makeWebPicture(request.image, longEdge)
                                                          : makeWebPicture(request.path, longEdge);
        if (!picture.ok()) {
            outcome->message = pictureFaultText(request.path, picture);
            return;
        }
        QString name;
        QString error;
        if (storeDayPicture(date, picture, &name, &error))
            outcome->line = pictureLine(name, picture.size);
        else
            outcome->message = QStringLiteral("画像を保存できませんでした。\n") + error;
    });
}

void PictureInsert::finishOne()
{
    const std::shared_ptr<Outcome> outcome = std::move(m_outcome);
    if (m_stopped || !outcome)
        return;
    if (!outcome->line.isEmpty())
        emit inserted(outcome->line);
    else
        emit failed(outcome->message);
    startNext();
    if (!isBusy())
        emit idle();
}

} // namespace Kakiva
