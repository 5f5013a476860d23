// Pictures in entries: the checks of a picture file, the prepared copy
// (scaled, upright, without its location), safe and free names, the tag, the
// local copies and the picture keys of weblog.ini.

#include "TestWorkspace.h"
#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/entry/WorkFiles.h"
#include "core/picture/PictureStore.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>

using namespace Qt::StringLiterals;
using namespace Picture;

namespace {

// A picture `w` x `h`, its left half red and its right half blue.
QImage halves(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w / 2; ++x)
            image.setPixel(x, y, qRgb(255, 0, 0));
    return image;
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// An EXIF block (APP1) saying "turn 90 degrees clockwise", with a GPS IFD.
QByteArray exifSegment(bool withGps)
{
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    const auto u16 = [&](int v) { tiff.append(char(v & 0xFF)).append(char(v >> 8)); };
    const auto u32 = [&](int v) { u16(v & 0xFFFF), u16(v >> 16); };
    u16(withGps ? 2 : 1);
    u16(0x0112), u16(3), u32(1), u16(6), u16(0); // orientation 6
    if (withGps)
        u16(0x8825), u16(4), u32(1), u32(38); // the GPS IFD follows
    u32(0);
    if (withGps)
        u16(1), u16(0x0000), u16(1), u32(4), u32(0x00000202), u32(0); // GPSVersionID 2.2
    const QByteArray body = "Exif\0\0"_ba + tiff;
    return "\xFF\xE1"_ba + char((body.size() + 2) >> 8) + char((body.size() + 2) & 0xFF) + body;
}

QString write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QImage decoded(const QByteArray& bytes)
{
    return QImage::fromData(bytes);
}

} // namespace

class TestPicture : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QString in(const QString& name) { return dir.filePath(u"in/"_s + name); }
    QStringList local() { return QDir(dir.filePath(u"images"_s)).entryList(QDir::Files); }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir(dir.path()).mkpath(u"in"_s));
        QVERIFY(useProgramDir(dir.path()));
    }

    void wideImageIsScaledAndPlacedUnderAFreeName()
    {
        const QByteArray original = encoded(halves(2400, 1200), "PNG");
        const QString path = write(in(u"holiday.png"_s), original);
        QString error;
        const auto placed = place(path, u"The beach at dawn"_s, Options{}, &error);
        QVERIFY2(placed, qPrintable(error));
        QCOMPARE(placed->tag, u"<img src=\"images/holiday.png\" alt=\"The beach at dawn\" "
                              "width=\"1200\" height=\"600\">"_s);
        QCOMPARE(placed->notes.first(),
                 u"holiday.png was scaled down from 2400 x 1200 to 1200 x 600 pixels."_s);
        QCOMPARE(decoded(*WorkFiles::read(placed->localPath)).size(), QSize(1200, 600));
        QCOMPARE(*WorkFiles::read(path), original); // the original is only read

        // The same picture again uses its copy; another one of that name
        // gets a name of its own; the alternative text is escaped.
        QCOMPARE(place(path, u"x"_s, Options{}, &error)->localPath, placed->localPath);
        write(path, encoded(halves(300, 200), "PNG"));
        const auto other = place(path, u"Tom & \"Jerry\" <3"_s, Options{}, &error);
        QCOMPARE(other->tag, u"<img src=\"images/holiday-2.png\" alt=\"Tom &amp; &quot;Jerry&quot; "
                             "&lt;3\" width=\"300\" height=\"200\">"_s);
        QCOMPARE(other->notes,
                 QStringList{u"holiday.png goes to the web site as holiday-2.png."_s});
        QCOMPARE(local(), QStringList({u"holiday-2.png"_s, u"holiday.png"_s}));
        QCOMPARE(entryPictures(placed->tag + other->tag + u"<img src=\"images/gone.png\">"_s +
                                   placed->tag,
                               Options{}),
                 QStringList({u"holiday.png"_s, u"holiday-2.png"_s}));
        QCOMPARE(renameInPage(("a " + placed->tag + " b").toUtf8(), Options{}, u"holiday.png"_s,
                              u"holiday-3.png"_s),
                 "a <img src=\"images/holiday-3.png\" alt=\"The beach at dawn\" width=\"1200\" "
                 "height=\"600\"> b"_ba);
    }

    void jpegIsTurnedUprightAndLosesItsLocation()
    {
        const QByteArray plain = encoded(halves(200, 100), "JPEG");
        const QByteArray withGps = plain.left(2) + exifSegment(true) + plain.mid(2);
        const QByteArray turnedOnly = plain.left(2) + exifSegment(false) + plain.mid(2);
        QVERIFY(hasLocation(withGps));
        QVERIFY(!hasLocation(turnedOnly));
        QVERIFY(!hasLocation(plain));
        // The same block in a PNG's eXIf chunk (after IHDR) and a WebP's EXIF chunk.
        const QByteArray tiff = exifSegment(true).mid(10);
        const auto be32 = [](qsizetype n) {
            return QByteArray(1, char(n >> 24)) + char(n >> 16) + char(n >> 8) + char(n);
        };
        const QByteArray png = encoded(halves(4, 4), "PNG");
        QVERIFY(!hasLocation(png));
        QVERIFY(
            hasLocation(png.left(33) + be32(tiff.size()) + "eXIf" + tiff + "CRC!" + png.mid(33)));
        QByteArray le = be32(tiff.size());
        std::reverse(le.begin(), le.end());
        QVERIFY(hasLocation(encoded(halves(4, 4), "WEBP") + "EXIF" + le + tiff));

        QString error;
        for (int width : {0, 50}) {
            const auto p = prepare(write(in(u"gps.jpg"_s), withGps), width, &error);
            QVERIFY2(p, qPrintable(error));
            QVERIFY(p->gpsRemoved);
            QVERIFY(!hasLocation(p->bytes));
            const QImage image = decoded(p->bytes);
            QCOMPARE(image.size(), width ? QSize(50, 100) : QSize(100, 200));
            QCOMPARE(p->size, image.size());
            // Upright in its pixels: what was the left half is on top.
            QVERIFY(qRed(image.pixel(image.width() / 2, image.height() / 5)) > 200);
            QVERIFY(qBlue(image.pixel(image.width() / 2, image.height() * 4 / 5)) > 200);
        }
        // Small enough and without a location: the file goes as it is, the
        // tag gives the size as shown.
        const auto same = prepare(write(in(u"Turned Ünder.JPEG"_s), turnedOnly), 1200, &error);
        QCOMPARE(same->bytes, turnedOnly);
        QCOMPARE(same->size, QSize(100, 200));
        QCOMPARE(same->name, u"turned-under.jpeg"_s);
        QVERIFY(!same->gpsRemoved);
    }

    void otherFormats()
    {
        QString error;
        // A copy is named after what it holds.
        const auto png =
            prepare(write(in(u"shot.gif"_s), encoded(halves(1000, 10), "PNG")), 100, &error);
        QCOMPARE(std::pair(png->name, png->size), std::pair(u"shot.png"_s, QSize(100, 1)));
        const auto webp =
            prepare(write(in(u"w.webp"_s), encoded(halves(400, 200), "WEBP")), 100, &error);
        QVERIFY2(webp, qPrintable(error));
        QCOMPARE(decoded(webp->bytes).size(), QSize(100, 50));
        const auto svg = prepare(write(in(u"logo.svg"_s),
                                       "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"3000\" "
                                       "height=\"1000\"><rect width=\"10\" height=\"10\"/></svg>"),
                                 1200, &error);
        QVERIFY2(svg, qPrintable(error));
        QCOMPARE(svg->size, QSize(1200, 400));
        QVERIFY(svg->bytes.startsWith("<svg"));
    }

    void badInputIsRefusedAndNothingIsWritten()
    {
        const QStringList before = local();
        QFile big(in(u"big.png"_s));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(kMaxFileBytes + 1));
        big.close();
        const QList<std::pair<QString, QByteArray>> cases = {
            {u"notes.png"_s, "just some text"_ba},
            {u"empty.png"_s, {}},
            {u"huge.svg"_s, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"20001\" "
                            "height=\"10\"></svg>"_ba},
            {u"日本.png"_s, encoded(halves(4, 4), "PNG")},
        };
        QStringList errors;
        for (const auto& [name, bytes] : cases) {
            QString error;
            QVERIFY(!place(write(in(name), bytes), u"alt"_s, Options{}, &error));
            errors << error;
        }
        for (const QString& name : {u"big.png"_s, u"missing.png"_s}) {
            QString error;
            QVERIFY(!place(in(name), u"alt"_s, Options{}, &error));
            errors << error.replace(dir.path(), u"DIR"_s);
        }
        QCOMPARE(
            errors,
            QStringList({u"The file notes.png is not a picture Pagewick can use (PNG, JPEG, GIF, "
                         "WebP or SVG)."_s,
                         u"The file empty.png is empty."_s,
                         u"The picture huge.svg is 20001 x 10 pixels; pictures larger than 20,000 "
                         "pixels on a side are not used."_s,
                         u"The name of the picture 日本.png has no letters or digits Pagewick can "
                         "use on a web server.  Please rename the file."_s,
                         u"The picture big.png is larger than 50 MB."_s,
                         u"The picture DIR/in/missing.png cannot be read."_s}));
        QCOMPARE(local(), before);
    }

    void namesAndTheirClashes()
    {
        QCOMPARE(
            QStringList({safeName(u"My Holiday_Photo (1).PNG"_s), safeName(u"..x--.jpg"_s),
                         safeName(u"Ça va.webp"_s), safeName(u"-.png"_s)}),
            QStringList({u"my-holiday-photo-1.png"_s, u"x.jpg"_s, u"ca-va.webp"_s, QString()}));
        const QSet<QString> server{u"a.png"_s, u"a-2.png"_s, u"a-3.png"_s};
        QStringList asked;
        const auto same = [&](const QString& match) {
            return [&asked, match](const QString& n) {
                asked << n;
                return n == match;
            };
        };
        QCOMPARE(chooseName(u"b.png"_s, server, same({})).name, u"b.png"_s);
        const NameChoice resent = chooseName(u"a.png"_s, server, same(u"a-2.png"_s));
        QCOMPARE(std::pair(resent.name, resent.send), std::pair(u"a-2.png"_s, false));
        const NameChoice fresh = chooseName(u"a.png"_s, server, same({}));
        QCOMPARE(std::pair(fresh.name, fresh.send), std::pair(u"a-4.png"_s, true));
        QCOMPARE(asked,
                 QStringList({u"a.png"_s, u"a-2.png"_s, u"a.png"_s, u"a-2.png"_s, u"a-3.png"_s}));
    }

    // On the server another picture holds holiday.png and ours is there as
    // holiday-3.png; holiday-2.png is free there but the name of another
    // local copy, which the renamed picture must not take.
    void uploadsAgainstTheServer()
    {
        QCOMPARE(local(), QStringList({u"holiday-2.png"_s, u"holiday.png"_s}));
        const auto plan = planUploads(
            {u"holiday.png"_s, u"holiday-2.png"_s}, Options{}, u"/www/index.html"_s,
            {u"holiday.png"_s, u"holiday-3.png"_s}, [](const QString& name, const QString& copy) {
                return name == u"holiday-3.png"_s && copy.endsWith(u"/holiday.png"_s);
            });
        QStringList got;
        for (const Upload& u : plan)
            got << u.name + u' ' + u.sentAs + u' ' + u.remote + (u.send ? u" send"_s : u""_s);
        QCOMPARE(got,
                 QStringList({u"holiday.png holiday-3.png /www/images/holiday-3.png"_s,
                              u"holiday-2.png holiday-2.png /www/images/holiday-2.png send"_s}));
        QCOMPARE(remoteFolder(u"index.html"_s, Options{u"pics"_s, 0, {}}), u"pics"_s);
    }

    void keysOfWeblogIni()
    {
        Settings s;
        s.settingsPath = dir.filePath(u"weblog.ini"_s);
        s.activeSection = u"2"_s;
        QString error;
        auto o = readOptions(s, &error);
        QCOMPARE(std::pair(o->folder, o->maxWidth), std::pair(u"images"_s, 1200));
        writeSetting(u"2"_s, u"picturesfolder"_s, u"pics/2024/"_s, s.settingsPath);
        writeSetting(u"2"_s, u"picturewidth"_s, u"0"_s, s.settingsPath);
        o = readOptions(s, &error);
        QCOMPARE(std::pair(o->folder, o->maxWidth), std::pair(u"pics/2024"_s, 0));
        for (const QString& bad : {u"../up"_s, u"/root"_s, u"a b"_s}) {
            writeSetting(u"2"_s, u"picturesfolder"_s, bad, s.settingsPath);
            QVERIFY(!readOptions(s, &error));
            QVERIFY(error.contains(u"picturesfolder"_s));
        }
    }
};

QTEST_GUILESS_MAIN(TestPicture)
#include "tst_picture.moc"
