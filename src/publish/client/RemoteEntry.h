#pragma once

#include <QByteArray>
#include <QString>

namespace Kakiva {

// One name of a server's directory listing. A listing comes from the server and is believed
// about nothing but itself: a name is only ever a name of the directory listed (never a path),
// and a listing is cut short where it outgrows what any site of ours could hold.
struct RemoteEntry
{
    QString name;
    qint64 size = -1; // -1: the server did not say
    bool isDirectory = false;
    QByteArray sha256; // empty: not asked, or the server cannot tell
};

namespace RemoteListing {
// More than any diary's month or root directory holds, many times over.
inline constexpr int MaxEntries = 20000;
inline constexpr qint64 MaxBytes = 8 * 1024 * 1024;
} // namespace RemoteListing

// Whether name, as a server listed it, can be taken as a plain name in the directory listed:
// not empty, not "." or "..", no "/" or "\" and no control character.
bool isPlainEntryName(const QString &name);

} // namespace Kakiva
