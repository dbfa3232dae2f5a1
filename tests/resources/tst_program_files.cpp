#include "TestFiles.h"
#include "appearance/CursorFile.h"
#include "core/ProductInfo.h"
#include "resources/ProgramIcon.h"

#include <QColor>
#include <QFile>
#include <QTest>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

QString programFile(const QString& name)
{
    return qEnvironmentVariable("PINGORA_PROGRAM_DIR") + '/' + name;
}

double rms(const QList<qint16>& samples, qsizetype from, qsizetype count)
{
    double sum = 0;
    for (qsizetype i = from; i < from + count; ++i)
        sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / count);
}

/// Strength of @p frequency in the samples (Goertzel's algorithm).
double strength(const QList<qint16>& samples, qsizetype count, int rate, double frequency)
{
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / rate);
    double previous = 0;
    double beforePrevious = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const double current = samples[i] + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    return previous * previous + beforePrevious * beforePrevious -
           coefficient * previous * beforePrevious;
}

} // namespace

class tst_ProgramFiles : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void beepIsShortToneThatSoundsAtOnce();
    void handPointerReadsBackWithItsHotSpot();
    void iconThemeHoldsTheDrawnIcon();
};

void tst_ProgramFiles::beepIsShortToneThatSoundsAtOnce()
{
    const QByteArray wave = readTestFile(programFile("beep.wav"));
    QVERIFY(wave.size() > 44);
    QCOMPARE(wave.left(4), "RIFF");
    QCOMPARE(qFromLittleEndian<quint32>(wave.constData() + 4), quint32(wave.size() - 8));
    QCOMPARE(wave.mid(8, 4), "WAVE");

    QByteArray format;
    QByteArray data;
    for (qsizetype at = 12; at + 8 <= wave.size();) {
        const QByteArray id = wave.mid(at, 4);
        const quint32 size = qFromLittleEndian<quint32>(wave.constData() + at + 4);
        QVERIFY(size <= wave.size() - at - 8);
        if (id == "fmt ")
            format = wave.mid(at + 8, size);
        else if (id == "data")
            data = wave.mid(at + 8, size);
        at += 8 + size + size % 2;
    }
    QVERIFY(format.size() >= 16);
    const auto field16 = [&](int at) {
        return qFromLittleEndian<quint16>(format.constData() + at);
    };
    const auto field32 = [&](int at) {
        return qFromLittleEndian<quint32>(format.constData() + at);
    };
    QCOMPARE(field16(0), 1);          // PCM
    QCOMPARE(field16(2), 1);          // mono
    QCOMPARE(field32(4), 44100u);     // frames per second
    QCOMPARE(field32(8), 44100u * 2); // bytes per second
    QCOMPARE(field16(12), 2);         // bytes per frame
    QCOMPARE(field16(14), 16);        // bits per sample

    QList<qint16> samples(data.size() / 2);
    for (qsizetype i = 0; i < samples.size(); ++i)
        samples[i] = qFromLittleEndian<qint16>(data.constData() + 2 * i);
    const int rate = 44100;
    const double seconds = double(samples.size()) / rate;
    QVERIFY2(seconds > 0.25 && seconds < 0.5, qPrintable(QString::number(seconds)));

    int peak = 0;
    for (qint16 s : samples)
        peak = qMax(peak, qAbs(int(s)));
    QVERIFY2(peak > 0.25 * 32767 && peak < 0.9 * 32767, qPrintable(QString::number(peak)));

    // Heard at once: within the first millisecond it sounds, within five it is loud.
    const qsizetype firstSound =
        std::find_if(samples.cbegin(), samples.cend(), [](qint16 s) { return s != 0; }) -
        samples.cbegin();
    QVERIFY2(firstSound < rate / 1000, qPrintable(QString::number(firstSound)));
    QVERIFY(rms(samples, 0, rate * 5 / 1000) > 0.2 * peak);

    // Ends in a fade, not in a click nor in silence.
    const qsizetype tail = rate * 10 / 1000;
    QVERIFY(rms(samples, samples.size() - tail, tail) < 0.02 * peak);
    const qsizetype lastSound = samples.crend() - std::find_if(samples.crbegin(), samples.crend(),
                                                               [](qint16 s) { return s != 0; });
    QVERIFY2(lastSound > samples.size() - rate * 5 / 1000, qPrintable(QString::number(lastSound)));

    // A tone, not a noise: its strongest frequency is the intended pitch.
    const qsizetype window = rate / 10;
    double loudest = 0;
    int pitch = 0;
    for (int frequency = 100; frequency <= 4000; frequency += 10) {
        const double s = strength(samples, window, rate, frequency);
        if (s > loudest) {
            loudest = s;
            pitch = frequency;
        }
    }
    QVERIFY2(pitch >= 850 && pitch <= 1050, qPrintable(QString::number(pitch)));
}

void tst_ProgramFiles::handPointerReadsBackWithItsHotSpot()
{
    const QCursor cursor = readCursorFile(programFile("HAND-M.CUR"));
    const QImage hand = cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(hand.size(), QSize(32, 32));
    const QPoint hotSpot = cursor.hotSpot();
    QVERIFY(hand.rect().contains(hotSpot));

    int white = 0;
    int black = 0;
    int topmost = hand.height();
    for (int y = 0; y < hand.height(); ++y) {
        for (int x = 0; x < hand.width(); ++x) {
            const QRgb c = hand.pixel(x, y);
            if (qAlpha(c) == 0)
                continue;
            topmost = qMin(topmost, y);
            QVERIFY2(c == 0xff000000 || c == 0xffffffff,
                     qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
            if (c == 0xff000000) {
                ++black;
                continue;
            }
            ++white;
            // The outline is closed: white never touches the transparent surroundings.
            for (const QPoint step : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                const QPoint next = QPoint(x, y) + step;
                QVERIFY(hand.rect().contains(next) && qAlpha(hand.pixel(next)) != 0);
            }
        }
    }
    QVERIFY2(white > 100 && black > 40, qPrintable(QStringLiteral("%1 %2").arg(white).arg(black)));
    // The pointer points with the tip of its finger, the highest point of the hand.
    QCOMPARE(hand.pixel(hotSpot), 0xff000000);
    QCOMPARE(hotSpot.y(), topmost);
}

void tst_ProgramFiles::iconThemeHoldsTheDrawnIcon()
{
    const QString themeDir = qEnvironmentVariable("PINGORA_ICON_DIR");
    for (int pixels : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString path = QStringLiteral("%1/%2x%2/apps/%3.png")
                                 .arg(themeDir)
                                 .arg(pixels)
                                 .arg(ProductInfo::kAppId);
        const QImage installed(path);
        QVERIFY2(!installed.isNull(), qPrintable(path));
        QCOMPARE(installed.convertToFormat(QImage::Format_ARGB32), drawProgramIcon(pixels));
    }

    const QByteArray svg =
        readTestFile(themeDir + "/scalable/apps/" + ProductInfo::kAppId + ".svg");
    QCOMPARE(svg, readTestFile(qEnvironmentVariable("PINGORA_ICON_SOURCE")));
    // The scalable icon is written by hand; it must keep the drawn icon's colours.
    for (QRgb colour : {kIconFrameColour, kIconGroundColour, kIconLetterColour})
        QVERIFY2(svg.contains("fill=\"" + QColor(colour).name().toLatin1() + '"'),
                 qPrintable(QColor(colour).name()));
}

QTEST_MAIN(tst_ProgramFiles)
#include "tst_program_files.moc"
