#include "PictureFixtures.h"

#include <QBuffer>
#include <QColor>
#include <QImageWriter>
#include <QtEndian>

#include <array>

namespace {

// A small builder of little-endian TIFF: a fixed area of directories and a data area after.
class Tiff
{
public:
    void u16(QByteArray &to, quint16 v) { to.append(char(v & 0xff)).append(char(v >> 8)); }
    void u32(QByteArray &to, quint32 v)
    {
        u16(to, quint16(v & 0xffff));
        u16(to, quint16(v >> 16));
    }
    void entry(QByteArray &to, quint16 tag, quint16 type, quint32 count, quint32 value)
    {
        u16(to, tag);
        u16(to, type);
        u32(to, count);
        u32(to, value);
    }
};

quint32 crc32(const QByteArray &bytes)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xffffffffu;
    for (const char byte : bytes)
        c = table[(c ^ quint8(byte)) & 0xff] ^ (c >> 8);
    return c ^ 0xffffffffu;
}

QByteArray bigEndian32(quint32 v)
{
    QByteArray out(4, '\0');
    qToBigEndian(v, out.data());
    return out;
}

QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    return bigEndian32(quint32(data.size())) + type + data + bigEndian32(crc32(type + data));
}

QByteArray encoded(const QImage &image, const char *format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

QByteArray jpegSegment(quint8 marker, const QByteArray &payload)
{
    QByteArray segment;
    segment.append(char(0xff)).append(char(marker));
    const quint16 length = quint16(payload.size() + 2);
    segment.append(char(length >> 8)).append(char(length & 0xff));
    return segment + payload;
}

} // namespace

QByteArray exifTiff(int orientation, bool withGps)
{
    Tiff t;
    const quint16 Ascii = 2, Short = 3, Long = 4, Rational = 5;
    const QByteArray make("Phone\0", 6);
    const QByteArray time("2026:12:08 10:00:00\0", 20);
    const quint32 ifd0 = 8;
    const quint16 entries = withGps ? 4 : 3;
    const quint32 data = ifd0 + 2 + entries * 12 + 4;
    const quint32 makeAt = data;
    const quint32 timeAt = makeAt + make.size();
    const quint32 gpsAt = timeAt + time.size();
    const quint32 latitudeAt = gpsAt + 2 + 2 * 12 + 4;

    QByteArray tiff("II*\0", 4);
    t.u32(tiff, ifd0);
    t.u16(tiff, entries);
    t.entry(tiff, 0x010f, Ascii, make.size(), makeAt);
    t.entry(tiff, 0x0112, Short, 1, quint32(orientation));
    t.entry(tiff, 0x0132, Ascii, time.size(), timeAt);
    if (withGps)
        t.entry(tiff, 0x8825, Long, 1, gpsAt);
    t.u32(tiff, 0);
    tiff += make + time;
    if (withGps) {
        t.u16(tiff, 2);
        t.entry(tiff, 0x0001, Ascii, 2, 'N');
        t.entry(tiff, 0x0002, Rational, 3, latitudeAt);
        t.u32(tiff, 0);
        for (const quint32 part : {35u, 41u, 0u}) {
            t.u32(tiff, part);
            t.u32(tiff, 1);
        }
    }
    return tiff;
}

QByteArray jpegWithExif(const QImage &image, int orientation, bool withGps)
{
    const QByteArray plain = encoded(image, "jpeg", 95);
    return plain.left(2) +
           jpegSegment(0xe1, QByteArray("Exif\0\0", 6) + exifTiff(orientation, withGps)) +
           jpegSegment(0xfe, "taken at home") + plain.mid(2);
}

QByteArray pngWithMetadata(const QImage &image)
{
    const QByteArray plain = encoded(image, "png");
    const QByteArray end = plain.right(12); // IEND
    return plain.chopped(12) + pngChunk("tEXt", QByteArray("Comment\0at home", 15)) +
           pngChunk("tIME", QByteArray("\x07\xea\x0c\x08\x0a\x00\x00", 7)) +
           pngChunk("eXIf", exifTiff(1, true)) + end;
}

QByteArray pngHeaderOnly(quint32 width, quint32 height)
{
    const QByteArray header =
        bigEndian32(width) + bigEndian32(height) + QByteArray("\x08\x06\x00\x00\x00", 5);
    // An empty deflate stream: the reader learns the size before it looks at the data.
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) +
           pngChunk("IDAT", QByteArray("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)) +
           pngChunk("IEND", QByteArray());
}

QImage storedForOrientation(const QImage &upright, int orientation)
{
    const int w = upright.width();
    const int h = upright.height();
    const bool turned = orientation >= 5;
    QImage stored(turned ? h : w, turned ? w : h, upright.format());
    const int rows = stored.height();
    const int columns = stored.width();
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            int x = c;
            int y = r;
            switch (orientation) {
            case 2:
                x = columns - 1 - c;
                break;
            case 3:
                x = columns - 1 - c;
                y = rows - 1 - r;
                break;
            case 4:
                y = rows - 1 - r;
                break;
            case 5:
                x = r;
                y = c;
                break;
            case 6:
                x = rows - 1 - r;
                y = c;
                break;
            case 7:
                x = rows - 1 - r;
                y = columns - 1 - c;
                break;
            case 8:
                x = r;
                y = columns - 1 - c;
                break;
            default:
                break;
            }
            stored.setPixel(c, r, upright.pixel(x, y));
        }
    }
    return stored;
}

QList<quint8> jpegMarkers(const QByteArray &jpeg)
{
    QList<quint8> markers;
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && quint8(jpeg[at]) == 0xff) {
        const quint8 marker = quint8(jpeg[at + 1]);
        markers.append(marker);
        if (marker == 0xda)
            break;
        at += 2 + ((quint8(jpeg[at + 2]) << 8) | quint8(jpeg[at + 3]));
    }
    return markers;
}

QList<QByteArray> pngChunkTypes(const QByteArray &png)
{
    QList<QByteArray> types;
    qsizetype at = 8;
    while (at + 8 <= png.size()) {
        const quint32 length = qFromBigEndian<quint32>(png.constData() + at);
        types.append(png.mid(at + 4, 4));
        at += 12 + qsizetype(length);
    }
    return types;
}

QImage quadrantScene(int width, int height)
{
    QImage scene(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            const QColor color =
                bottom ? (right ? Qt::white : Qt::blue) : (right ? Qt::green : Qt::red);
            scene.setPixel(x, y, color.rgb());
        }
    }
    return scene;
}

QByteArray gifWithTransparency(int width, int height)
{
    Tiff t;
    QByteArray gif("GIF89a");
    t.u16(gif, quint16(width));
    t.u16(gif, quint16(height));
    gif.append(char(0x81)).append('\0').append('\0'); // a table of four colours
    gif.append(QByteArray("\0\0\0"
                          "\xff\0\0"
                          "\0\xff\0"
                          "\0\0\xff",
                          12));
    // White is not among four; the bottom right quadrant is the transparent colour's black.
    gif.append(QByteArray("\x21\xf9\x04\x01\0\0\0\0", 8)); // index 0 transparent
    gif.append(',');
    t.u16(gif, 0);
    t.u16(gif, 0);
    t.u16(gif, quint16(width));
    t.u16(gif, quint16(height));
    gif.append('\0').append('\2'); // no local table; codes start at three bits
    // Each pixel after a clear code, so the codes never grow past three bits.
    QByteArray data;
    quint32 bits = 0;
    int count = 0;
    const auto put = [&](quint32 code) {
        bits |= code << count;
        count += 3;
        while (count >= 8) {
            data.append(char(bits & 0xff));
            bits >>= 8;
            count -= 8;
        }
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            const quint32 index = (x == 0 && y == 0) ? 0
                                  : bottom           ? (right ? 1 : 3)
                                                     : (right ? 2 : 1);
            put(4);
            put(index);
        }
    }
    put(5);
    if (count > 0)
        data.append(char(bits & 0xff));
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const QByteArray block = data.mid(at, 255);
        gif.append(char(block.size())).append(block);
    }
    gif.append('\0').append(';');
    return gif;
}
