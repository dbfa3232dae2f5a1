#include "CursorBuilder.h"
#include "TestFiles.h"
#include "appearance/CursorFile.h"
#include "core/Failure.h"

#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <functional>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr QRgb kTransparent = 0;

/// A 5 by 3 image (odd width, so rows are padded) with one transparent pixel, in @p colours.
QImage testImage(const QList<QRgb>& colours)
{
    QImage image(5, 3, QImage::Format_ARGB32);
    for (int i = 0; i < 15; ++i)
        image.setPixel(i % 5, i / 5, colours[i % colours.size()]);
    image.setPixel(0, 0, kTransparent);
    return image;
}

const QList<QRgb> kSixColours{0xff000000, 0xffffffff, 0xffff0000,
                              0xff00ff00, 0xff0000ff, 0xff07a2fe};

/// A valid cursor file of one 8-bit image with hot spot (2, 1); the damaged files are made
/// from it. Its fields lie at these offsets.
QByteArray validFile()
{
    return CursorBuilder::file(
        {{CursorBuilder::bitmap(testImage(kSixColours), 8, kSixColours), QPoint(2, 1), 5}});
}
enum Offset : int {
    kReserved = 0,
    kType = 2,
    kCount = 4,
    kHotX = 6 + 4,
    kByteCount = 6 + 8,
    kImageOffset = 6 + 12,
    kHeaderSize = 22,
    kWidth = 22 + 4,
    kHeight = 22 + 8,
    kPlanes = 22 + 12,
    kBitCount = 22 + 14,
    kCompression = 22 + 16,
    kColoursUsed = 22 + 32,
    kFirstPixel = 22 + 40 + 6 * 4,
};

template <typename T> QByteArray patched(QByteArray bytes, int at, T value)
{
    qToLittleEndian<T>(value, bytes.data() + at);
    return bytes;
}

/// Fails the test unless @p decoded shows @p expected, transparent pixels compared by alpha.
void compareImages(const QImage& decoded, const QImage& expected)
{
    QCOMPARE(decoded.size(), expected.size());
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            const QRgb want = expected.pixel(x, y);
            const QRgb got = decoded.pixel(x, y);
            if (qAlpha(want) == 0)
                QVERIFY2(qAlpha(got) == 0, qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
            else
                QVERIFY2(got == want, qPrintable(QStringLiteral("(%1, %2): %3 instead of %4")
                                                     .arg(x)
                                                     .arg(y)
                                                     .arg(got, 8, 16)
                                                     .arg(want, 8, 16)));
        }
    }
}

QString failureOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const Failure& failure) {
        return failure.description();
    }
    return {};
}

} // namespace

class tst_CursorFile : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void decodesEveryKindOfImage_data();
    void decodesEveryKindOfImage();
    void takesTheImageNearestToPointerSize();
    void rejectsDamagedContents_data();
    void rejectsDamagedContents();
    void readsFileWithItsHotSpot();
    void refusesUnusableFiles_data();
    void refusesUnusableFiles();
    void refusesFileItMayNotRead();
    void survivesRandomDamage();
};

void tst_CursorFile::decodesEveryKindOfImage_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<QImage>("expected");

    const QList<QRgb> blackWhite{0xff000000, 0xffffffff};
    const QImage twoColours = testImage(blackWhite);
    const QImage sixColours = testImage(kSixColours);
    QImage translucent = sixColours;
    translucent.setPixel(3, 2, qRgba(200, 100, 50, 128));

    using CursorBuilder::bitmap;
    QTest::newRow("1 bit") << bitmap(twoColours, 1, blackWhite) << twoColours;
    QTest::newRow("4 bits") << bitmap(sixColours, 4, kSixColours) << sixColours;
    QTest::newRow("8 bits") << bitmap(sixColours, 8, kSixColours) << sixColours;
    QTest::newRow("24 bits") << bitmap(sixColours, 24) << sixColours;
    QTest::newRow("32 bits, mask only") << bitmap(sixColours, 32) << sixColours;
    QTest::newRow("32 bits with alpha") << bitmap(translucent, 32, {}, true) << translucent;
    QTest::newRow("32 bits with alpha, no mask")
        << bitmap(translucent, 32, {}, true, false) << translucent;
    QTest::newRow("PNG") << CursorBuilder::png(translucent) << translucent;
}

void tst_CursorFile::decodesEveryKindOfImage()
{
    QFETCH(QByteArray, image);
    QFETCH(QImage, expected);

    const CursorImage cursor = decodeCursorFile(CursorBuilder::file({{image, QPoint(4, 2), 5}}));
    compareImages(cursor.image, expected);
    QCOMPARE(cursor.hotSpot, QPoint(4, 2));
}

void tst_CursorFile::takesTheImageNearestToPointerSize()
{
    const auto solid = [](int side, QRgb colour) {
        QImage image(side, side, QImage::Format_ARGB32);
        image.fill(colour);
        return CursorBuilder::Image{CursorBuilder::bitmap(image, 32, {}, true),
                                    QPoint(side / 2, side - 1), side};
    };
    const CursorImage cursor = decodeCursorFile(
        CursorBuilder::file({solid(16, 0xffff0000), solid(48, 0xff0000ff), solid(32, 0xff00ff00)}));
    QCOMPARE(cursor.image.size(), QSize(32, 32));
    QCOMPARE(cursor.image.pixel(5, 5), 0xff00ff00);
    QCOMPARE(cursor.hotSpot, QPoint(16, 31));
}

void tst_CursorFile::rejectsDamagedContents_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");

    const QByteArray valid = validFile();
    QTest::newRow("empty") << QByteArray() << "too short";
    QTest::newRow("cut in the header") << valid.left(5) << "too short";
    QTest::newRow("reserved field set") << patched<quint16>(valid, kReserved, 1) << "not a cursor";
    QTest::newRow("icon file") << patched<quint16>(valid, kType, 1) << "icon file";
    QTest::newRow("unknown type") << patched<quint16>(valid, kType, 3) << "not a cursor";
    QTest::newRow("no image") << patched<quint16>(valid, kCount, 0) << "no image";
    QTest::newRow("cut in the image table") << valid.left(14) << "truncated";
    QTest::newRow("more entries than bytes") << patched<quint16>(valid, kCount, 100) << "truncated";
    QTest::newRow("image inside the table")
        << patched<quint32>(valid, kImageOffset, 6) << "overlap";
    QTest::newRow("image after the end")
        << patched<quint32>(valid, kImageOffset, 0xfffffff0) << "beyond the end";
    QTest::newRow("image longer than the file")
        << patched<quint32>(valid, kByteCount, quint32(valid.size())) << "beyond the end";
    QTest::newRow("cut in the pixels") << valid.left(valid.size() - 1) << "beyond the end";
    QTest::newRow("image shorter than its header")
        << patched<quint32>(valid, kByteCount, 20) << "header is truncated";
    QTest::newRow("header size too small") << patched<quint32>(valid, kHeaderSize, 12) << "damaged";
    QTest::newRow("header size too large")
        << patched<quint32>(valid, kHeaderSize, 100000) << "damaged";
    QTest::newRow("zero width") << patched<qint32>(valid, kWidth, 0) << "dimensions";
    QTest::newRow("negative width") << patched<qint32>(valid, kWidth, -5) << "dimensions";
    QTest::newRow("huge width") << patched<qint32>(valid, kWidth, 0x7fffffff) << "dimensions";
    QTest::newRow("huge height") << patched<qint32>(valid, kHeight, 0x7ffffffe) << "dimensions";
    QTest::newRow("negative height") << patched<qint32>(valid, kHeight, -6) << "dimensions";
    QTest::newRow("odd height") << patched<qint32>(valid, kHeight, 7) << "damaged";
    QTest::newRow("two planes") << patched<quint16>(valid, kPlanes, 2) << "damaged";
    QTest::newRow("compressed") << patched<quint32>(valid, kCompression, 1) << "compressed";
    QTest::newRow("16 bits") << patched<quint16>(valid, kBitCount, 16) << "16 bits";
    QTest::newRow("no bits") << patched<quint16>(valid, kBitCount, 0) << "0 bits";
    QTest::newRow("colour table too large")
        << patched<quint32>(valid, kColoursUsed, 300) << "too large";
    QTest::newRow("colour outside the table")
        << patched<quint8>(valid, kFirstPixel, 200) << "colour table";
    QTest::newRow("hot spot outside") << patched<quint16>(valid, kHotX, 5) << "hot spot";

    const QByteArray bitmap24 = CursorBuilder::bitmap(testImage(kSixColours), 24);
    QTest::newRow("mask cut off") << CursorBuilder::file({{bitmap24.chopped(1), {}, 5}})
                                  << "image is truncated";

    const QByteArray png = CursorBuilder::png(testImage(kSixColours));
    QByteArray garbledPng = png;
    const qsizetype pixelData = png.indexOf("IDAT") + 4;
    for (qsizetype i = pixelData; i < pixelData + 8; ++i)
        garbledPng[i] = char(i * 37);
    const auto pngFile = [](const QByteArray& image) {
        return CursorBuilder::file({{image, QPoint()}});
    };
    QTest::newRow("PNG with a wrong checksum") << pngFile(garbledPng) << "PNG image is damaged";
    QTest::newRow("PNG that does not decode")
        << pngFile(CursorBuilder::rechecksummed(garbledPng)) << "PNG image cannot be decoded";
    QTest::newRow("PNG cut short") << pngFile(png.chopped(12)) << "PNG image is damaged";
    QTest::newRow("PNG without header") << pngFile(png.left(12)) << "PNG image is damaged";
    QTest::newRow("huge PNG") << pngFile(CursorBuilder::png(QImage(300, 200, QImage::Format_RGB32)))
                              << "dimensions (300 by 200";

    QByteArray garbage(300, '\0');
    QRandomGenerator random(7);
    random.fillRange(reinterpret_cast<quint32*>(garbage.data()), garbage.size() / 4);
    QTest::newRow("garbage") << garbage << "not a cursor";
}

void tst_CursorFile::rejectsDamagedContents()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);

    const QString description = failureOf([&] { decodeCursorFile(bytes); });
    QVERIFY2(description.contains(reason), qPrintable(description));
}

void tst_CursorFile::readsFileWithItsHotSpot()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("HAND-M.CUR");
    writeTestFile(path, validFile());
    const QString link = dir.filePath("link.cur");
    QVERIFY(QFile::link(path, link));

    for (const QString& name : {path, link}) {
        const QCursor cursor = readCursorFile(name);
        QCOMPARE(cursor.hotSpot(), QPoint(2, 1));
        compareImages(cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
                      testImage(kSixColours));
    }
}

void tst_CursorFile::refusesUnusableFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing") << "missing.cur"
                             << "No such file";
    QTest::newRow("folder") << "folder"
                            << "folder";
    QTest::newRow("pipe") << "pipe"
                          << "not a regular file";
    QTest::newRow("link to a pipe") << "pipe-link"
                                    << "not a regular file";
    QTest::newRow("device") << "/dev/zero"
                            << "not a regular file";
    QTest::newRow("empty") << "empty.cur"
                           << "empty";
    QTest::newRow("too large") << "large.cur"
                               << "larger than 1048576 bytes";
    QTest::newRow("truncated") << "truncated.cur"
                               << "truncated";
    QTest::newRow("an icon") << "icon.ico"
                             << "icon file";
}

void tst_CursorFile::refusesUnusableFiles()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("pipe")).constData(), 0600), 0);
    QVERIFY(QFile::link(dir.filePath("pipe"), dir.filePath("pipe-link")));
    writeTestFile(dir.filePath("empty.cur"), {});
    QFile large(dir.filePath("large.cur"));
    QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(kMaxCursorFileBytes + 1));
    large.close();
    writeTestFile(dir.filePath("truncated.cur"), validFile().chopped(10));
    writeTestFile(dir.filePath("icon.ico"), patched<quint16>(validFile(), kType, 1));

    const QString path = name.startsWith('/') ? name : dir.filePath(name);
    // A reader that opened the pipe would wait for a writer for ever; end the test instead.
    ::alarm(20);
    const QString description = failureOf([&] { readCursorFile(path); });
    ::alarm(0);
    QVERIFY2(description.contains(reason), qPrintable(description));
    QVERIFY2(description.contains(path), qPrintable(description));
}

void tst_CursorFile::refusesFileItMayNotRead()
{
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ExeOther));
    const QString path = dir.filePath("HAND-M.CUR");
    writeTestFile(path, validFile());
    QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));

    if (::geteuid() != 0) {
        const QString description = failureOf([&] { readCursorFile(path); });
        QVERIFY2(description.contains("Permission denied"), qPrintable(description));
        return;
    }

    // The superuser reads any file whatever its permissions, so the read is tried in a child
    // process that has given up the superuser's rights.
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(77);
        const QString description = failureOf([&] { readCursorFile(path); });
        ::_exit(description.contains("Permission denied") && description.contains(path) ? 0 : 1);
    }
    int status = 0;
    for (int tries = 0; ::waitpid(child, &status, WNOHANG) == 0; ++tries) {
        if (tries == 200) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            QFAIL("the read as an unprivileged user did not end");
        }
        QTest::qSleep(50);
    }
    QVERIFY(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        QSKIP("running as the superuser, which may not give up its rights here");
    QCOMPARE(WEXITSTATUS(status), 0);
}

void tst_CursorFile::survivesRandomDamage()
{
    QImage translucent = testImage(kSixColours);
    translucent.setPixel(1, 1, qRgba(1, 2, 3, 4));
    const QList<QByteArray> seeds{
        validFile(),
        CursorBuilder::file({{CursorBuilder::bitmap(translucent, 32, {}, true), {3, 2}, 5},
                             {CursorBuilder::bitmap(translucent, 4, kSixColours), {}, 5}}),
        CursorBuilder::file({{CursorBuilder::png(translucent), {4, 0}, 5}}),
    };
    const quint32 extremes[] = {0,      1,      0x7f,       0x80,       0xff,      0x7fff,
                                0x8000, 0xffff, 0x7fffffff, 0x80000000, 0xffffffff};

    QRandomGenerator random(20240611);
    QTemporaryDir dir;
    int cursors = 0;
    int failures = 0;
    for (int round = 0; round < 20000; ++round) {
        QByteArray bytes = seeds[random.bounded(int(seeds.size()))];
        for (int change = random.bounded(1, 4); change > 0 && !bytes.isEmpty(); --change) {
            const int at = random.bounded(int(bytes.size()));
            switch (random.bounded(5)) {
            case 0:
                bytes[at] = char(bytes[at] ^ (1 << random.bounded(8)));
                break;
            case 1: {
                const quint32 value = extremes[random.bounded(int(std::size(extremes)))];
                const int width = random.bounded(2) ? 4 : 2;
                for (int i = 0; i < width && at + i < bytes.size(); ++i)
                    bytes[at + i] = char(value >> (8 * i));
                break;
            }
            case 2:
                bytes.truncate(at);
                break;
            case 3:
                bytes.insert(at, QByteArray(random.bounded(1, 64), char(random.bounded(256))));
                break;
            default:
                bytes.remove(at, random.bounded(1, 64));
                break;
            }
        }

        try {
            CursorImage cursor;
            if (round % 100 == 0) {
                // Now and then the whole way, through a file and into a pointer.
                const QString path = dir.filePath("damaged.cur");
                writeTestFile(path, bytes);
                const QCursor pointer = readCursorFile(path);
                cursor = {pointer.pixmap().toImage(), pointer.hotSpot()};
            } else {
                cursor = decodeCursorFile(bytes);
            }
            QVERIFY(!cursor.image.isNull());
            QVERIFY(cursor.image.width() <= kMaxCursorSide);
            QVERIFY(cursor.image.height() <= kMaxCursorSide);
            QVERIFY(cursor.image.rect().contains(cursor.hotSpot));
            ++cursors;
        } catch (const Failure& failure) {
            QVERIFY(!failure.description().isEmpty());
            ++failures;
        }
    }
    // Both outcomes must have happened, or the damage was too mild or too harsh to test.
    QVERIFY2(cursors > 500 && failures > 500,
             qPrintable(QStringLiteral("%1 cursors, %2 failures").arg(cursors).arg(failures)));
}

QTEST_MAIN(tst_CursorFile)
#include "tst_cursor_file.moc"
