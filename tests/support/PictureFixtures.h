#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

// Pictures as cameras and phones write them, built byte by byte at test time, and readers
// of what a written picture holds besides its pixels.

// The TIFF block of an EXIF segment: orientation (1..8), a camera make, a time and, with
// withGps, GPS coordinates in a GPS directory of their own.
QByteArray exifTiff(int orientation, bool withGps);

// image as a JPEG (quality 95) carrying an EXIF APP1 segment (exifTiff) and a comment.
QByteArray jpegWithExif(const QImage &image, int orientation, bool withGps = true);

// image as a PNG carrying tEXt, tIME and eXIf chunks.
QByteArray pngWithMetadata(const QImage &image);

// quadrantScene as a GIF whose top left pixel is transparent (Qt writes no GIF).
QByteArray gifWithTransparency(int width, int height);

// A PNG that is all header: it claims width x height and holds no pixels.
QByteArray pngHeaderOnly(quint32 width, quint32 height);

// The pixels a camera stores for a scene that looks like upright once the EXIF orientation
// is applied (row 0 and column 0 as the EXIF tag places them).
QImage storedForOrientation(const QImage &upright, int orientation);

// The markers of a JPEG's segments up to and including the first scan (0xDA).
QList<quint8> jpegMarkers(const QByteArray &jpeg);

// The types of a PNG's chunks, in order.
QList<QByteArray> pngChunkTypes(const QByteArray &png);

// An upright test scene: four quadrants red, green, blue and white, from the top left,
// width x height pixels.
QImage quadrantScene(int width, int height);
