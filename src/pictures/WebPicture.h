#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace Kakiva {

// A picture made for the web once: read with its orientation applied, scaled so its long
// edge is at most the limit (never enlarged), and written anew, so nothing of the original
// file but its pixels leaves the machine: no location, camera, time, comment or thumbnail.

inline constexpr int DefaultPictureLongEdge = 1600;
inline constexpr int MinPictureLongEdge = 100;
inline constexpr int MaxPictureLongEdge = 8000;
// Larger files are refused before anything is read: no photo comes near it.
inline constexpr qint64 MaxPictureFileBytes = 100LL * 1024 * 1024;
// Larger pictures are refused: more than a camera makes, and the memory for their pixels
// could not be counted on.
inline constexpr qint64 MaxPicturePixels = 200LL * 1000 * 1000;

enum class PictureFault
{
    None,
    Missing,       // no file at the path
    Folder,        // a folder, not a file
    FileTooLarge,  // over MaxPictureFileBytes
    Heif,          // HEIC/HEIF, which cannot be read here
    NotPicture,    // no format that can be read here
    Damaged,       // a picture format, but broken or cut short
    TooManyPixels, // over MaxPicturePixels, or more than memory allows
    Unreadable,    // the file could not be read
    NotWritten,    // the new picture could not be encoded
};

struct WebPicture
{
    PictureFault fault = PictureFault::None;
    QString detail;   // the reader's own words, for a fault
    QByteArray bytes; // the new file
    QString suffix;   // "jpg" or "png"
    QSize size;       // of the new picture, as shown

    bool ok() const { return fault == PictureFault::None; }
};

// The picture in the file at path, made for the web with its long edge at most longEdge.
WebPicture makeWebPicture(const QString &path, int longEdge);

// The same for a picture already in memory (the clipboard's): PNG, as a screenshot is.
WebPicture makeWebPicture(const QImage &image, int longEdge);

// The long edge the user set (0 or out of range: the default).
int longEdgeOrDefault(int configured);

// The size a picture of size, as shown, takes with its long edge at most longEdge.
QSize fittedSize(const QSize &size, int longEdge);

} // namespace Kakiva
