#pragma once

#include <QString>
#include <QStringView>

#include <utility>

namespace Kakiva {

// One line of an entry cut to a short piece around a hit, with the hit's place in it.
struct Excerpt
{
    QString text;
    qsizetype markStart = 0;
    qsizetype markLength = 0;
};

// The line of text that holds the hit [hitStart, hitEnd), cut to a few characters before
// the hit and enough after it to fill one row; "…" stands where the line was cut.
Excerpt excerptAround(QStringView text, qsizetype hitStart, qsizetype hitEnd);

// The part of text excerptAround() needs for that hit: the hit's line, or as much of it as
// the excerpt can show and a character more on each side. Given only that part, with the
// hit's place in it, excerptAround() cuts the same excerpt.
std::pair<qsizetype, qsizetype> excerptWindow(QStringView text, qsizetype hitStart,
                                              qsizetype hitEnd);

} // namespace Kakiva
