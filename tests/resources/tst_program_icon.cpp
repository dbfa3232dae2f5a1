#include "core/ProductInfo.h"
#include "resources/ProgramIcon.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QList<int> kThemeSizes{16, 22, 24, 32, 48, 64, 128, 256};

/// Places on the icon, as fractions of its side, and the colour each must have at any size.
struct Spot
{
    const char* what;
    double x, y;
    QRgb colour;
};
const Spot kSpots[] = {
    {"ground above the middle of the W", 0.5, 0.16, kIconGroundColour},
    {"ground between the W's left strokes", 0.33, 0.27, kIconGroundColour},
    {"ground between the W's feet", 0.5, 0.7, kIconGroundColour},
    {"top of the W's left stroke", 0.203, 0.27, kIconLetterColour},
    {"top of the W's right stroke", 0.797, 0.27, kIconLetterColour},
    {"middle peak of the W", 0.5, 0.40, kIconLetterColour},
    {"left foot of the W", 0.36, 0.74, kIconLetterColour},
    {"right foot of the W", 0.64, 0.74, kIconLetterColour},
};

} // namespace

class tst_ProgramIcon : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void showsTheLetterAtEverySize_data();
    void showsTheLetterAtEverySize();
    void isCrispAtPanelSizes_data();
    void isCrispAtPanelSizes();
    void isSmoothWithWiderFrameWhenLarge();
    void offersEverySizeOfTheTheme();
    void sizesInBetweenAndNone();
    void drawnEvenWhenAThemeHasOne();
};

void tst_ProgramIcon::showsTheLetterAtEverySize_data()
{
    QTest::addColumn<int>("pixels");
    for (int pixels : kThemeSizes)
        QTest::addRow("%d pixels", pixels) << pixels;
}

void tst_ProgramIcon::showsTheLetterAtEverySize()
{
    QFETCH(int, pixels);
    const QImage icon = drawProgramIcon(pixels);
    QCOMPARE(icon.size(), QSize(pixels, pixels));

    const int last = pixels - 1;
    for (const QPoint frame : {QPoint(0, 0), QPoint(last, last / 2), QPoint(last / 2, last)})
        QCOMPARE(icon.pixel(frame), kIconFrameColour);
    for (const Spot& spot : kSpots) {
        const QPoint at(int(spot.x * pixels), int(spot.y * pixels));
        QVERIFY2(icon.pixel(at) == spot.colour, qPrintable(QStringLiteral("%1 at (%2, %3) is %4")
                                                               .arg(spot.what)
                                                               .arg(at.x())
                                                               .arg(at.y())
                                                               .arg(icon.pixel(at), 8, 16)));
    }
}

void tst_ProgramIcon::isCrispAtPanelSizes_data()
{
    QTest::addColumn<int>("pixels");
    for (int pixels : {16, 22, 24, 32})
        QTest::addRow("%d pixels", pixels) << pixels;
}

void tst_ProgramIcon::isCrispAtPanelSizes()
{
    QFETCH(int, pixels);
    const QImage icon = drawProgramIcon(pixels);

    // No blended pixel: each has one of the three colours.
    for (int y = 0; y < pixels; ++y)
        for (int x = 0; x < pixels; ++x) {
            const QRgb c = icon.pixel(x, y);
            QVERIFY2(c == kIconFrameColour || c == kIconGroundColour || c == kIconLetterColour,
                     qPrintable(QStringLiteral("(%1, %2) is %3").arg(x).arg(y).arg(c, 8, 16)));
        }
    // The frame is one pixel wide, all round.
    for (int i = 0; i < pixels; ++i) {
        QCOMPARE(icon.pixel(i, 0), kIconFrameColour);
        QCOMPARE(icon.pixel(0, i), kIconFrameColour);
        QCOMPARE(icon.pixel(i, pixels - 1), kIconFrameColour);
        QCOMPARE(icon.pixel(pixels - 1, i), kIconFrameColour);
    }
    for (int i = 1; i < pixels - 1; ++i) {
        QVERIFY(icon.pixel(i, 1) != kIconFrameColour);
        QVERIFY(icon.pixel(1, i) != kIconFrameColour);
    }
    // The W is drawn symmetric; uneven rounding would show as a lopsided letter.
    QCOMPARE(icon.mirrored(true, false), icon);
}

void tst_ProgramIcon::isSmoothWithWiderFrameWhenLarge()
{
    const QImage icon = drawProgramIcon(256);
    QCOMPARE(icon.pixel(7, 128), kIconFrameColour);
    QCOMPARE(icon.pixel(8, 128), kIconGroundColour);

    QSet<QRgb> colours;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            colours.insert(icon.pixel(x, y));
    // Antialiased edges blend the letter into the ground.
    QVERIFY2(colours.size() > 10, qPrintable(QString::number(colours.size())));
}

void tst_ProgramIcon::offersEverySizeOfTheTheme()
{
    const QIcon icon = programIcon();
    for (int pixels : kThemeSizes) {
        QVERIFY(icon.availableSizes().contains(QSize(pixels, pixels)));
        const QImage shown = icon.pixmap(pixels).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(shown, drawProgramIcon(pixels));
    }
}

void tst_ProgramIcon::sizesInBetweenAndNone()
{
    const QIcon icon = programIcon(64);
    QCOMPARE(icon.availableSizes().last(), QSize(64, 64));
    QCOMPARE(icon.pixmap(20).size(), QSize(20, 20));  // scaled down from 22
    QCOMPARE(icon.pixmap(100).size(), QSize(64, 64)); // never above the largest
    QVERIFY(icon.pixmap(QSize(0, 0)).isNull());
}

void tst_ProgramIcon::drawnEvenWhenAThemeHasOne()
{
    // Looking the icon up in the theme would cost start-up time for the same picture.
    QTemporaryDir themes;
    QDir theme(themes.filePath("test-theme"));
    QVERIFY(theme.mkpath("16x16/apps"));
    QFile index(theme.filePath("index.theme"));
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=Test\nDirectories=16x16/apps\n\n"
                "[16x16/apps]\nSize=16\nType=Fixed\n");
    index.close();
    QImage red(16, 16, QImage::Format_ARGB32);
    red.fill(0xffff0000);
    QVERIFY(red.save(theme.filePath("16x16/apps/" + ProductInfo::kAppId + ".png")));

    const QStringList searchPaths = QIcon::themeSearchPaths();
    const QString themeName = QIcon::themeName();
    QIcon::setThemeSearchPaths({themes.path()});
    QIcon::setThemeName("test-theme");
    const QImage shown = programIcon().pixmap(16).toImage();
    QIcon::setThemeSearchPaths(searchPaths);
    QIcon::setThemeName(themeName);

    QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32), drawProgramIcon(16));
}

QTEST_MAIN(tst_ProgramIcon)
#include "tst_program_icon.moc"
