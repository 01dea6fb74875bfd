#pragma once

#include "diary/DateStrings.h"
#include "platform/BackgroundJob.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

namespace Kakiva {

// Makes the pictures the user inserts into one day's entry, one after the other, off the
// window's thread: each is made for the web and kept with the day, and then its line for
// the entry is handed over. Nothing is kept of a picture that fails; its message is.
class PictureInsert : public QObject
{
    Q_OBJECT

public:
    explicit PictureInsert(QObject *parent = nullptr);

    void setDay(const DateFields &date, int longEdge);

    void addFiles(const QStringList &paths);
    void addImage(const QImage &image);

    // A picture is being made or waits to be.
    bool isBusy() const { return m_job.isRunning() || !m_waiting.isEmpty(); }

    // Drops what waits and returns once the picture being made is done; nothing more is
    // handed over. For a dialog that closes.
    void stop();

signals:
    void inserted(const QString &line);
    void failed(const QString &message);
    // Every picture asked for is done.
    void idle();

private:
    struct Request
    {
        QString path; // empty for image
        QImage image;
    };
    struct Outcome
    {
        QString line;
        QString message;
    };

    void startNext();
    void finishOne();

    BackgroundJob m_job;
    QList<Request> m_waiting;
    DateFields m_date;
    int m_longEdge = 0;
    bool m_stopped = false;
    std::shared_ptr<Outcome> m_outcome;
};

} // namespace Kakiva
