#include "pictures/WebPicture.h"

#include "platform/WholeFile.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

namespace Kakiva {

namespace {

constexpr int JpegQuality = 85;

WebPicture faulty(PictureFault fault, const QString &detail = QString())
{
    WebPicture picture;
    picture.fault = fault;
    picture.detail = detail;
    return picture;
}

// Phones write HEIC in an ISO media box whose brand says so; Qt here has no reader for it.
bool isHeif(const QByteArray &bytes, const QString &path)
{
    static const QList<QByteArray> brands{"heic", "heix", "hevc", "hevx", "heim",
                                          "heis", "mif1", "msf1", "avif"};
    if (bytes.size() >= 12 && bytes.mid(4, 4) == "ftyp" && brands.contains(bytes.mid(8, 4)))
        return true;
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("heic") || suffix == QLatin1String("heif");
}

// A JPEG cut short still decodes, its missing rows painted grey; only the end-of-image
// marker after the last scan tells that the whole picture is there.
bool jpegIsWhole(const QByteArray &bytes)
{
    const qsizetype lastScan = bytes.lastIndexOf("\xFF\xDA");
    return lastScan >= 0 && bytes.indexOf("\xFF\xD9", lastScan) > lastScan;
}

QSize shownSize(const QSize &stored, QImageIOHandler::Transformations transformation)
{
    return transformation.testFlag(QImageIOHandler::TransformationRotate90) ? stored.transposed()
                                                                            : stored;
}

PictureFault faultOfReader(QImageReader::ImageReaderError error)
{
    switch (error) {
    case QImageReader::UnsupportedFormatError:
        return PictureFault::NotPicture;
    case QImageReader::DeviceError:
        return PictureFault::Unreadable;
    default:
        return PictureFault::Damaged;
    }
}

// A new image holding the pixels alone, in sRGB: no text, no colour profile, no resolution
// of the original goes along.
QImage pixelsOnly(QImage image, bool keepAlpha)
{
    if (image.colorSpace().isValid() && image.colorSpace() != QColorSpace::SRgb)
        image.convertToColorSpace(QColorSpace::SRgb);
    const QImage::Format format =
        keepAlpha && image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    const QImage converted = image.convertToFormat(format);
    return QImage(converted.constBits(), converted.width(), converted.height(),
                  converted.bytesPerLine(), format)
        .copy();
}

WebPicture encoded(const QImage &image, const QString &suffix)
{
    WebPicture picture;
    picture.suffix = suffix;
    picture.size = image.size();
    QBuffer buffer(&picture.bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, suffix == QLatin1String("png") ? "png" : "jpeg");
    if (suffix == QLatin1String("jpg"))
        writer.setQuality(JpegQuality);
    if (!writer.write(pixelsOnly(image, suffix == QLatin1String("png"))))
        return faulty(PictureFault::NotWritten, writer.errorString());
    return picture;
}

QString suffixFor(const QByteArray &format, const QImage &image)
{
    if (format == "jpeg")
        return QStringLiteral("jpg");
    if (format == "png" || image.hasAlphaChannel())
        return QStringLiteral("png");
    return QStringLiteral("jpg");
}

void allowPixelsOfLargestPicture()
{
    // Four bytes for each pixel of the largest picture accepted.
    QImageReader::setAllocationLimit(int(MaxPicturePixels * 4 / (1024 * 1024)) + 1);
}

WebPicture readPicture(const QByteArray &bytes, const QString &path, int longEdge)
{
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QByteArray format = reader.format();
    if (format.isEmpty())
        return faulty(isHeif(bytes, path) ? PictureFault::Heif : PictureFault::NotPicture);
    const QSize stored = reader.size();
    if (!stored.isValid())
        return faulty(PictureFault::Damaged, reader.errorString());
    if (qint64(stored.width()) * stored.height() > MaxPicturePixels)
        return faulty(PictureFault::TooManyPixels);
    if (format == "jpeg" && !jpegIsWhole(bytes))
        return faulty(PictureFault::Damaged);
    // Scaled while it is read: a JPEG then decodes at a fraction of its size, so a
    // 50-megapixel photo never lies whole in memory.
    const QImageIOHandler::Transformations transformation = reader.transformation();
    const QSize target = fittedSize(shownSize(stored, transformation), longEdge);
    if (target != shownSize(stored, transformation))
        reader.setScaledSize(shownSize(target, transformation));
    reader.setQuality(100); // smooth scaling after the decoder's own
    allowPixelsOfLargestPicture();
    QImage image = reader.read();
    if (image.isNull())
        return faulty(faultOfReader(reader.error()), reader.errorString());
    if (image.size() != target)
        image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return encoded(image, suffixFor(format, image));
}

} // namespace

int longEdgeOrDefault(int configured)
{
    return configured >= MinPictureLongEdge && configured <= MaxPictureLongEdge
               ? configured
               : DefaultPictureLongEdge;
}

QSize fittedSize(const QSize &size, int longEdge)
{
    const int longest = std::max(size.width(), size.height());
    if (longest <= longEdge || longest <= 0)
        return size;
    const auto edge = [&](int length) {
        return std::max(1, int((qint64(length) * longEdge + longest / 2) / longest));
    };
    return QSize(edge(size.width()), edge(size.height()));
}

WebPicture makeWebPicture(const QString &path, int longEdge)
{
    const QFileInfo file(path);
    if (file.isDir())
        return faulty(PictureFault::Folder);
    if (!file.exists())
        return faulty(PictureFault::Missing);
    if (file.size() > MaxPictureFileBytes)
        return faulty(PictureFault::FileTooLarge);
    QByteArray bytes;
    QString error;
    if (readFileWhole(path, &bytes, &error) != FileRead::Done)
        return faulty(PictureFault::Unreadable, error);
    return readPicture(bytes, path, longEdge);
}

WebPicture makeWebPicture(const QImage &image, int longEdge)
{
    if (image.isNull())
        return faulty(PictureFault::NotPicture);
    if (qint64(image.width()) * image.height() > MaxPicturePixels)
        return faulty(PictureFault::TooManyPixels);
    const QSize target = fittedSize(image.size(), longEdge);
    const QImage scaled = target == image.size() ? image
                                                 : image.scaled(target, Qt::IgnoreAspectRatio,
                                                                Qt::SmoothTransformation);
    return encoded(scaled, QStringLiteral("png"));
}

} // namespace Kakiva
