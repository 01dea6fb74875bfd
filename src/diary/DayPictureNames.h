#pragma once

#include "diary/DateStrings.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

namespace Kakiva {

// A day's pictures lie beside its entry, named from the date and a number:
// "20261208-1.jpg" is the first picture of 8 December 2026. The names are ASCII and never
// come from the user's file, so they are safe on every server and in every archive.

struct DayPictureName
{
    QDate date;
    int number = 0;
    QString suffix; // "jpg" or "png"
};

inline constexpr int MaxPicturesPerDay = 9999;

QString dayPictureName(const DateFields &date, int number, const QString &suffix);

// The parts of a picture's file name; nothing for any other name (the date must exist, the
// number lies in 1..MaxPicturesPerDay without a leading zero, the suffix is lower case).
std::optional<DayPictureName> parseDayPictureName(const QString &fileName);

// The folder of the day's entry, which holds its pictures too.
QString dayPictureFolder(const DateFields &date);

// The names of the day's pictures in its folder, by number.
QStringList dayPictures(const DateFields &date);

// The first number no picture of the day uses.
int nextDayPictureNumber(const DateFields &date);

// Whether text (an entry, in any encoding that keeps ASCII as it is) names the picture.
bool refersToPicture(const QByteArray &text, const QString &pictureName);

} // namespace Kakiva
