#pragma once

#include "diary/DateStrings.h"
#include "platform/BackgroundJob.h"

#include <QListWidget>

namespace Kakiva {

// A row of small images of the day's pictures, named as the entry's lines name them, so
// the user sees what each line shows. The images are read off the window's thread.
class PictureStrip : public QListWidget
{
    Q_OBJECT

public:
    explicit PictureStrip(QWidget *parent = nullptr);

    // Reads the day's pictures afresh; shown() follows once they are in the row.
    void showDay(const DateFields &date);

signals:
    void shown();

private:
    void fill();

    // What the job reads into; it outlives the job, which a destructor cancels and joins.
    QList<std::pair<QString, QImage>> m_read;
    DateFields m_date;
    bool m_again = false;
    BackgroundJob m_job;
};

} // namespace Kakiva
