// The skin as a person sees it: the window of a program folder that holds the example skin as
// x/o.cjs looks clearly different from the plain window, while two plain starts look alike.
// The screenshots are kept (their paths are printed) for a person to look at.

#include "ProgramRun.h"
#include "XDesktop.h"

#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <map>

using namespace std::chrono_literals;

namespace {

// A pixel counts as changed when one of its channels moved by more than this.
constexpr int kChannelTolerance = 32;

bool copyFolder(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        if (!QDir().mkpath(QFileInfo(target).absolutePath()) || !QFile::copy(source, target))
            return false;
    }
    return true;
}

// The share of pixels that differ between two pictures of the same size.
double changedShare(const QImage& a, const QImage& b)
{
    qint64 changed = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > kChannelTolerance ||
                std::abs(qGreen(p) - qGreen(q)) > kChannelTolerance ||
                std::abs(qBlue(p) - qBlue(q)) > kChannelTolerance)
                ++changed;
        }
    }
    return double(changed) / (qint64(a.width()) * a.height());
}

QRgb mostCommonColour(const QImage& image)
{
    std::map<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000];
    return std::max_element(counts.begin(), counts.end(),
                            [](const auto& a, const auto& b) { return a.second < b.second; })
        ->first;
}

} // namespace

class tst_SkinScreenshot : public QObject
{
    Q_OBJECT

  private:
    QTemporaryDir m_dir;
    QString m_outputDir;

    // Starts the program from \a folder and saves a picture of its window once the window
    // has settled (two pictures in a row alike).
    QImage shoot(const QString& folder, const QString& pngName)
    {
        ProgramRun program(folder);
        QString error;
        if (!program.start(&error)) {
            qWarning("%s", qPrintable(error));
            return QImage();
        }
        const QString path = m_outputDir + u'/' + pngName;
        QImage previous;
        QImage settled;
        XDesktop::waitUntil(
            [&] {
                QImage shot;
                if (XDesktop::screenshot(program.mainWindow(), path))
                    shot = QImage(path).convertToFormat(QImage::Format_RGB32);
                if (!shot.isNull() && shot == previous)
                    settled = shot;
                previous = shot;
                return !settled.isNull();
            },
            60s, 500ms);
        program.stop();
        if (!settled.isNull())
            qInfo("screenshot: %s", qPrintable(path));
        return settled;
    }

  private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("PINGORA_SESSION_DIR"),
                 "run this test inside desktop-session.sh");
        QVERIFY(m_dir.isValid());
        m_outputDir = qEnvironmentVariable("PINGORA_E2E_OUTPUT_DIR");
        QVERIFY2(!m_outputDir.isEmpty(), "PINGORA_E2E_OUTPUT_DIR names where pictures go");
        QVERIFY(QDir().mkpath(m_outputDir));
        // A still window: auto beep off, so the countdown caption does not change.
        QVERIFY(ProgramRun::writeSettings({{"StartStopState", "Off"}}));
    }

    void skinChangesTheLook()
    {
        // Copies of the program folder, one with the skin beside the program.
        const QString plainFolder = m_dir.filePath(QStringLiteral("plain"));
        const QString skinFolder = m_dir.filePath(QStringLiteral("skinned"));
        QVERIFY(copyFolder(ProgramRun::builtProgramFolder(), plainFolder));
        QVERIFY(copyFolder(ProgramRun::builtProgramFolder(), skinFolder));
        QFile::remove(plainFolder + QStringLiteral("/x/o.cjs"));
        QVERIFY(QDir().mkpath(skinFolder + QStringLiteral("/x")));
        QFile::remove(skinFolder + QStringLiteral("/x/o.cjs"));
        QVERIFY(QFile::copy(QStringLiteral(PINGORA_EXAMPLE_SKIN),
                            skinFolder + QStringLiteral("/x/o.cjs")));

        const QImage plain = shoot(plainFolder, QStringLiteral("window-plain.png"));
        const QImage plainAgain = shoot(plainFolder, QStringLiteral("window-plain-again.png"));
        const QImage skinned = shoot(skinFolder, QStringLiteral("window-skin.png"));
        QVERIFY2(!plain.isNull() && !plainAgain.isNull() && !skinned.isNull(),
                 "no settled picture of the window");
        QCOMPARE(skinned.size(), plain.size());
        QCOMPARE(plainAgain.size(), plain.size());

        const double sameLook = changedShare(plain, plainAgain);
        const double skinLook = changedShare(plain, skinned);
        qInfo("pixels changed: plain vs plain %.2f %%, plain vs skin %.2f %%", 100 * sameLook,
              100 * skinLook);
        QVERIFY2(sameLook < 0.01, qPrintable(QString::number(sameLook)));
        QVERIFY2(skinLook > 0.5, qPrintable(QString::number(skinLook)));

        // The window wears the skin's background (#1f2933), not just any change.
        const QRgb background = mostCommonColour(skinned);
        QVERIFY2(std::abs(qRed(background) - 0x1f) <= 8 &&
                     std::abs(qGreen(background) - 0x29) <= 8 &&
                     std::abs(qBlue(background) - 0x33) <= 8,
                 qPrintable(QColor(background).name()));
        QCOMPARE(QColor(mostCommonColour(plain)), QColor(Qt::white));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    tst_SkinScreenshot test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_skin_screenshot.moc"
