// Reading the history log as desktop text: CR LF becomes LF and nothing else changes,
// whatever the size of the pieces the file is read in; size limits and read failures.
#include "TestFiles.h"
#include "history/DesktopText.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace {

// The expected result, by a different road: CR LF pairs never overlap, so replacing them all
// gives what the conversion must give.
QByteArray expectedFor(QByteArray text)
{
    return text.replace("\r\n", "\n");
}

QByteArray convert(const QByteArray& text)
{
    QByteArray out(text.size(), '\0');
    char* end = DesktopText::crlfToLf(text.constData(), text.constData() + text.size(), out.data());
    out.truncate(end - out.constData());
    return out;
}

// Texts built from the bytes that matter (CR, LF) among ordinary ones, long enough to pass
// through whole blocks and the byte-by-byte tail alike.
QList<QByteArray> mixedTexts()
{
    QRandomGenerator random(20210831);
    const char alphabet[] = {'\r', '\n', 'a', 'B', char(0xC3), char(0xBC), ' ', '1', ':', '/'};
    QList<QByteArray> texts;
    for (int length = 0; length < 160; ++length)
        for (int round = 0; round < 40; ++round) {
            QByteArray text;
            for (int i = 0; i < length; ++i)
                text += alphabet[random.bounded(int(sizeof alphabet))];
            texts << text;
        }
    return texts;
}

} // namespace

class tst_DesktopText : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void lineEndsOfTheLog()
    {
        QCOMPARE(convert("Beeped at 8/31/2021 3:04:05 PM\r\nBeeped at 8/31/2021 3:09:05 PM\r\n"),
                 QByteArray("Beeped at 8/31/2021 3:04:05 PM\nBeeped at 8/31/2021 3:09:05 PM\n"));
        QCOMPARE(convert(""), QByteArray());
        // Only pairs change: lone CRs and LFs, a CR before a CR LF, a CR at the end stay.
        QCOMPARE(convert("a\rb\nc\r\r\nd\n\re\r"), QByteArray("a\rb\nc\r\nd\n\re\r"));
        // A pair at every position of a block.
        for (int at = 0; at < 40; ++at) {
            const QByteArray text = QByteArray(at, 'x') + "\r\n" + QByteArray(40, 'y');
            QCOMPARE(convert(text), QByteArray(at, 'x') + "\n" + QByteArray(40, 'y'));
        }
    }

    void mixedTextsConvertAsPairsAreReplaced()
    {
        for (const QByteArray& text : mixedTexts())
            QCOMPARE(convert(text), expectedFor(text));
    }

    void readInPiecesOfAnySize()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("log.txt");
        QByteArray text;
        for (const QByteArray& piece : mixedTexts())
            text += piece;
        writeTestFile(path, text);
        // Small pieces split CR LF pairs at every possible place.
        for (qsizetype chunk : {1, 2, 3, 7, 16, 17, 4096, 1 << 20}) {
            const QByteArray read = DesktopText::readFile(path, text.size(), chunk);
            QVERIFY2(read == expectedFor(text), qPrintable(QString::number(chunk)));
        }
        // A lone CR at the very end, whichever piece it ends.
        writeTestFile(path, "a\r\nb\r");
        for (qsizetype chunk : {1, 2, 3, 4, 5, 4096})
            QCOMPARE(DesktopText::readFile(path, 100, chunk), QByteArray("a\nb\r"));
        writeTestFile(path, "");
        QCOMPARE(DesktopText::readFile(path, 0), QByteArray());
    }

    void sizeLimit()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("log.txt");
        writeTestFile(path, QByteArray(99, 'a') + "\r\n"); // 101 bytes, 100 once converted
        QCOMPARE(DesktopText::readFile(path, 101).size(), 100);
        try {
            DesktopText::readFile(path, 100);
            QFAIL("a file over the limit was read");
        } catch (const DesktopText::TooLarge& tooLarge) {
            QCOMPARE(tooLarge.size(), 101);
            QCOMPARE(tooLarge.limit(), 100);
        }
    }

    void failuresNameTheFileAndTheReason()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath("no such log.txt");
        try {
            DesktopText::readFile(missing, 1000);
            QFAIL("a missing file was read");
        } catch (const Failure& failure) {
            QVERIFY(failure.description().contains(missing));
            QVERIFY(failure.description().contains("No such file"));
        }
        // Opens, but every read fails, even for the superuser.
        try {
            DesktopText::readFile("/proc/self/mem", 1000);
            QFAIL("an unreadable file was read");
        } catch (const DesktopText::TooLarge&) {
            QFAIL("an unreadable file was taken for a large one");
        } catch (const Failure& failure) {
            QVERIFY(failure.description().contains("/proc/self/mem"));
            QVERIFY(failure.description().contains("Input/output error"));
        }
        // What is not a regular file is refused at once: a FIFO without a writer would hold
        // the window for good, a device never ends, a folder has no text.
        const QString fifo = dir.filePath("Pingora.txt");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        for (const QString& path : {fifo, QStringLiteral("/dev/zero"), dir.path()}) {
            QElapsedTimer clock;
            clock.start();
            try {
                DesktopText::readFile(path, 5000);
                QFAIL(qPrintable(path + " was read"));
            } catch (const Failure& failure) {
                QCOMPARE(failure.description(), path + " is not a regular file");
            }
            QVERIFY(clock.elapsed() < 1000);
        }
    }
};

QTEST_GUILESS_MAIN(tst_DesktopText)
#include "tst_desktop_text.moc"
