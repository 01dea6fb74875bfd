#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace Kakiva {

// The front page and the style sheet Kakiva ships for the root of the HTML tree. Once
// written they are the user's: Kakiva replaces one only while it is exactly a starter it
// shipped (told by its digest), never after the user has changed it.
struct StarterFile
{
    QString name;     // below the HTML root: "index.html", "kakiva.css"
    QByteArray bytes; // as written to disk
};

enum class StarterState
{
    Missing,
    Current, // this version's starter, unchanged
    Earlier, // a starter of an earlier version, unchanged: safe to replace
    Edited,  // changed by the user (or not a file Kakiva can read): left alone
};

QList<StarterFile> starterFiles();

StarterState starterState(const StarterFile &starter);

// Writes each starter that is missing or an unchanged earlier one, after every save of the
// site; the names written go to *written. False with *error when a write failed.
bool installStarterFiles(QStringList *written, QString *error);

// Writes fresh copies of every starter that is not this version's: an edited one only
// where replaceEdited(name) agrees. The names written go to *written.
bool writeFreshStarterFiles(const std::function<bool(const QString &name)> &replaceEdited,
                            QStringList *written, QString *error);

} // namespace Kakiva
