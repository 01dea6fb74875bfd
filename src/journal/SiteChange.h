#pragma once

#include <QString>
#include <QStringList>

namespace Kakiva::journal {

// What one change to a day did to the local site: the pages written and the pages removed,
// each as its path below the HTML tree ("2004/08/17.html"), in the order it happened. The
// same path names the file below the remote directory, so a publishing job sends what
// written names without working out a page's path again.
//
// A change that stopped part way says at which step and why; what it names is what was
// done before it stopped.
struct SiteChange
{
    enum class Failure
    {
        None,
        Backup, // the backup a deletion or restore writes first
        Entry,  // the entry itself (written, deleted or taken from a backup)
        Record, // the record of what a server is to lose
        Pages,  // a page of the site
    };

    QStringList written;
    QStringList removed;
    Failure failure = Failure::None;
    QString error;

    bool ok() const { return failure == Failure::None; }
};

} // namespace Kakiva::journal
