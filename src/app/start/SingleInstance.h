#pragma once

#include "platform/LocalBell.h"
#include "platform/ProcessLock.h"

#include <QObject>
#include <QString>

class QWidget;

namespace Kakiva {

// One running program per application directory: two would each save the same day and
// leave the entry of one beside the pages of the other. The first start holds a lock
// file in the directory for as long as it runs (a lock left by a crash is taken over); a
// later start asks that one to bring its window to the front and ends without touching
// a file.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString &directory, QObject *parent = nullptr);

    // True when this start may run. Otherwise the running one has been asked to come to
    // the front, or, when it does not answer, the user has been told it is running.
    bool claim();

    // Raises window, and any dialog open over it, whenever a later start asks.
    void bringToFrontOnRequest(QWidget *window);

signals:
    void activationRequested();

private:
    bool askRunningToShow() const;

    QString m_serverName;
    ProcessLock m_lock;
    LocalBell m_bell;
};

} // namespace Kakiva
