// A picture made for the web: upright whatever its EXIF orientation, never larger than the
// limit and never enlarged, in the format that suits it, and with nothing of the original
// but its pixels; and every kind of bad input refused with its own fault.

#include "PictureFixtures.h"
#include "TestAppDir.h"

#include "pictures/WebPicture.h"

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTest>

#include <memory>

using namespace Kakiva;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Kakiva::PictureFault)

namespace {

QImage decoded(const QByteArray &bytes)
{
    QImage image;
    image.loadFromData(bytes);
    return image;
}

QByteArray encodedAs(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// Close enough after scaling and JPEG: the quadrants are pure colours.
bool near(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) < 48 && qAbs(qGreen(a) - qGreen(b)) < 48 &&
           qAbs(qBlue(a) - qBlue(b)) < 48;
}

// The colour at the centre of each quadrant, from the top left, row by row.
QList<QRgb> quadrantColours(const QImage &image)
{
    const int w = image.width();
    const int h = image.height();
    return {image.pixel(w / 4, h / 4), image.pixel(3 * w / 4, h / 4), image.pixel(w / 4, 3 * h / 4),
            image.pixel(3 * w / 4, 3 * h / 4)};
}

} // namespace

class TestWebPicture : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_app = std::make_unique<TestAppDir>(); }
    void cleanup() { m_app.reset(); }

    void standsUpright_data();
    void standsUpright();
    void fitsTheLimit_data();
    void fitsTheLimit();
    void keepsNoMetadata_data();
    void keepsNoMetadata();
    void formatSuitsThePicture_data();
    void formatSuitsThePicture();
    void clipboardPictureBecomesPng();
    void badInputIsRefused_data();
    void badInputIsRefused();

private:
    std::unique_ptr<TestAppDir> m_app;
};

void TestWebPicture::standsUpright_data()
{
    QTest::addColumn<int>("orientation");
    const char *names[] = {"1 as stored",  "2 mirrored",     "3 upside down", "4 flipped",
                           "5 transposed", "6 turned right", "7 transversed", "8 turned left"};
    for (int o = 1; o <= 8; ++o)
        QTest::newRow(names[o - 1]) << o;
}

// Whatever the camera stored, the picture comes out as the scene looked, at the limit.
void TestWebPicture::standsUpright()
{
    QFETCH(int, orientation);
    const QImage scene = quadrantScene(320, 160);
    const QString path = m_app->write(
        u"photo.jpg"_s, jpegWithExif(storedForOrientation(scene, orientation), orientation));

    const WebPicture made = makeWebPicture(path, 200);
    QVERIFY2(made.ok(), qPrintable(made.detail));
    QCOMPARE(made.size, QSize(200, 100));
    const QImage out = decoded(made.bytes);
    QCOMPARE(out.size(), QSize(200, 100));
    const QList<QRgb> expected = quadrantColours(scene);
    const QList<QRgb> got = quadrantColours(out);
    for (int i = 0; i < 4; ++i)
        QVERIFY2(near(got[i], expected[i]),
                 qPrintable(u"quadrant %1: %2 instead of %3"_s.arg(i).arg(
                     QColor(got[i]).name(), QColor(expected[i]).name())));
}

void TestWebPicture::fitsTheLimit_data()
{
    QTest::addColumn<QSize>("stored");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("wide, scaled down, rounded")
        << QSize(3000, 2000) << 1 << 1600 << QSize(1600, 1067);
    QTest::newRow("tall, scaled down") << QSize(1000, 4000) << 1 << 1600 << QSize(400, 1600);
    QTest::newRow("turned: long edge is the stored height")
        << QSize(4000, 3000) << 6 << 1600 << QSize(1200, 1600);
    QTest::newRow("smaller than the limit: never enlarged")
        << QSize(640, 480) << 1 << 1600 << QSize(640, 480);
    QTest::newRow("50 megapixels, turned: scaled while read")
        << QSize(8660, 5774) << 6 << 1600 << QSize(1067, 1600);
    QTest::newRow("exactly the limit") << QSize(1600, 900) << 1 << 1600 << QSize(1600, 900);
    QTest::newRow("a strip one pixel high stays one pixel")
        << QSize(5000, 2) << 1 << 1000 << QSize(1000, 1);
}

void TestWebPicture::fitsTheLimit()
{
    QFETCH(QSize, stored);
    QFETCH(int, orientation);
    QFETCH(int, limit);
    QFETCH(QSize, expected);
    QImage image(stored, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QString path = m_app->write(u"photo.jpg"_s, jpegWithExif(image, orientation));

    const WebPicture made = makeWebPicture(path, limit);
    QVERIFY2(made.ok(), qPrintable(made.detail));
    QCOMPARE(made.size, expected);
    QCOMPARE(decoded(made.bytes).size(), expected);
}

void TestWebPicture::keepsNoMetadata_data()
{
    QTest::addColumn<QByteArray>("original");
    const QImage scene = quadrantScene(400, 300);
    QTest::newRow("phone JPEG with GPS, camera, time and comment") << jpegWithExif(scene, 6);
    QTest::newRow("JPEG with GPS, not scaled") << jpegWithExif(quadrantScene(80, 60), 1);
    QTest::newRow("PNG with text, time and EXIF chunks") << pngWithMetadata(scene);
}

// Only what draws the picture survives: no APP1 (EXIF), APP2 (profile), comment or any other
// application segment in a JPEG; only header, palette, transparency, data and end in a PNG.
// And no byte of the original's EXIF block anywhere.
void TestWebPicture::keepsNoMetadata()
{
    QFETCH(QByteArray, original);
    const QString path = m_app->write(u"photo"_s, original);

    const WebPicture made = makeWebPicture(path, 200);
    QVERIFY2(made.ok(), qPrintable(made.detail));
    QVERIFY(!made.bytes.contains("Phone"));
    QVERIFY(!made.bytes.contains("2026:12:08"));
    QVERIFY(!made.bytes.contains("at home"));
    QVERIFY(!made.bytes.contains("Exif"));
    if (made.suffix == u"jpg") {
        const QList<quint8> markers = jpegMarkers(made.bytes);
        QVERIFY(!markers.isEmpty());
        QCOMPARE(markers.last(), quint8(0xda));
        for (const quint8 marker : markers) {
            const bool application = marker >= 0xe1 && marker <= 0xef; // APP0 (JFIF) alone
            QVERIFY2(!application && marker != 0xfe,
                     qPrintable(u"segment %1"_s.arg(marker, 2, 16)));
        }
    } else {
        const QList<QByteArray> allowed{"IHDR", "PLTE", "tRNS", "IDAT",
                                        "IEND", "pHYs", "sRGB", "gAMA"};
        const QList<QByteArray> chunks = pngChunkTypes(made.bytes);
        QVERIFY(chunks.contains("IDAT"));
        for (const QByteArray &chunk : chunks)
            QVERIFY2(allowed.contains(chunk), chunk.constData());
    }
}

void TestWebPicture::formatSuitsThePicture_data()
{
    QTest::addColumn<QByteArray>("original");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<bool>("alpha");
    QImage opaque = quadrantScene(120, 80);
    QImage clear = opaque.convertToFormat(QImage::Format_ARGB32);
    clear.setPixel(0, 0, qRgba(0, 0, 0, 0));
    QTest::newRow("JPEG stays JPEG") << encodedAs(opaque, "jpeg") << u"jpg"_s << false;
    QTest::newRow("PNG stays PNG") << encodedAs(opaque, "png") << u"png"_s << false;
    QTest::newRow("PNG keeps its transparency") << encodedAs(clear, "png") << u"png"_s << true;
    QTest::newRow("BMP becomes JPEG") << encodedAs(opaque, "bmp") << u"jpg"_s << false;
    QTest::newRow("GIF with transparency becomes PNG")
        << gifWithTransparency(120, 80) << u"png"_s << true;
}

void TestWebPicture::formatSuitsThePicture()
{
    QFETCH(QByteArray, original);
    QFETCH(QString, suffix);
    QFETCH(bool, alpha);
    QVERIFY(!original.isEmpty());
    const QString path = m_app->write(u"picture"_s, original);

    const WebPicture made = makeWebPicture(path, 1600);
    QVERIFY2(made.ok(), qPrintable(made.detail));
    QCOMPARE(made.suffix, suffix);
    QCOMPARE(made.size, QSize(120, 80));
    QBuffer buffer(&const_cast<QByteArray &>(made.bytes));
    QCOMPARE(QImageReader(&buffer).format(), suffix == u"jpg" ? QByteArray("jpeg") : "png");
    const QImage out = decoded(made.bytes);
    QCOMPARE(out.hasAlphaChannel(), alpha);
    if (alpha)
        QCOMPARE(qAlpha(out.pixel(0, 0)), 0);
}

void TestWebPicture::clipboardPictureBecomesPng()
{
    const QImage screenshot = quadrantScene(3200, 1800);
    const WebPicture made = makeWebPicture(screenshot, 1600);
    QVERIFY(made.ok());
    QCOMPARE(made.suffix, u"png"_s);
    QCOMPARE(made.size, QSize(1600, 900));
    QCOMPARE(decoded(made.bytes).size(), QSize(1600, 900));
}

void TestWebPicture::badInputIsRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<PictureFault>("fault");
    QTest::newRow("HEIC from a phone") << u"heic"_s << PictureFault::Heif;
    QTest::newRow("JPEG cut short") << u"truncated"_s << PictureFault::Damaged;
    QTest::newRow("a text file") << u"text"_s << PictureFault::NotPicture;
    QTest::newRow("a folder") << u"folder"_s << PictureFault::Folder;
    QTest::newRow("a 300 MB file") << u"huge"_s << PictureFault::FileTooLarge;
    QTest::newRow("header claiming 20000 x 20000 pixels")
        << u"bomb"_s << PictureFault::TooManyPixels;
    QTest::newRow("no file") << u"missing"_s << PictureFault::Missing;
}

void TestWebPicture::badInputIsRefused()
{
    QFETCH(QString, kind);
    QFETCH(PictureFault, fault);
    QString path = m_app->filePath(u"input"_s);
    if (kind == u"heic") {
        path = m_app->write(u"IMG_0001.HEIC"_s, QByteArray("\0\0\0\x18"
                                                           "ftypheic\0\0\0\0mif1heic",
                                                           24) +
                                                    QByteArray(4000, '\x5a'));
    } else if (kind == u"truncated") {
        const QByteArray whole = jpegWithExif(quadrantScene(400, 300), 1);
        path = m_app->write(u"cut.jpg"_s, whole.left(whole.size() * 2 / 3));
    } else if (kind == u"text") {
        path = m_app->write(u"notes.jpg"_s, "今日は晴れ。\r\n");
    } else if (kind == u"folder") {
        QVERIFY(QDir(m_app->path()).mkpath(u"photos"_s));
        path = m_app->filePath(u"photos"_s);
    } else if (kind == u"huge") {
        // Sparse: it takes no room on the disk.
        QFile file(m_app->filePath(u"huge.jpg"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(jpegWithExif(quadrantScene(40, 30), 1));
        QVERIFY(file.resize(300LL * 1024 * 1024));
        path = file.fileName();
    } else if (kind == u"bomb") {
        path = m_app->write(u"bomb.png"_s, pngHeaderOnly(20000, 20000));
    }
    const QStringList before = QDir(m_app->path()).entryList(QDir::AllEntries | QDir::Hidden);

    const WebPicture made = makeWebPicture(path, 1600);
    QCOMPARE(made.fault, fault);
    QVERIFY(made.bytes.isEmpty());
    QCOMPARE(QDir(m_app->path()).entryList(QDir::AllEntries | QDir::Hidden), before);
}

QTEST_GUILESS_MAIN(TestWebPicture)
#include "TestWebPicture.moc"
