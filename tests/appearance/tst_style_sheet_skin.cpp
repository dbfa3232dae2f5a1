#include "TestFiles.h"
#include "appearance/SkinFile.h"
#include "appearance/StyleSheetSkin.h"
#include "core/Failure.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QColor kRed(200, 30, 40);
const QByteArray kRedButtons = "QPushButton { background-color: rgb(200, 30, 40); border: none; }";

/// The description of the Failure that @p load throws, or a note that it threw none.
template <typename Load> QString failureOf(Load load)
{
    try {
        load();
    } catch (const Failure& failure) {
        return failure.description();
    }
    return QStringLiteral("(no failure)");
}

QStringList caughtMessages;
void catchMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    caughtMessages << message;
}

} // namespace

class tst_StyleSheetSkin : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString file(const QString& name, const QByteArray& content)
    {
        return writeTestFile(dir, name, content);
    }

    /// A window with one button, as big as a button of the main window.
    struct Window
    {
        QWidget window;
        QPushButton* button = new QPushButton(QStringLiteral("Help"), &window);
        Window()
        {
            window.resize(300, 60);
            button->setGeometry(8, 8, 256, 27);
        }
        QColor buttonPixel() const { return button->grab().toImage().pixelColor(5, 5); }
    };

  private Q_SLOTS:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void validSheetRestylesWindow()
    {
        StyleSheetSkin skin;
        const QString path = file(QStringLiteral("red.qss"), kRedButtons);
        Window plain;
        QVERIFY(plain.buttonPixel() != kRed);

        skin.LoadSkin(path, QString());
        Window skinned;
        skin.ApplyWindow(&skinned.window);

        QCOMPARE(skin.styleSheet(), QString::fromUtf8(kRedButtons));
        QCOMPARE(skinned.buttonPixel(), kRed);
    }

    void exampleSkinLoadsAndChangesLook()
    {
        StyleSheetSkin skin;
        skin.LoadSkin(QStringLiteral(PINGORA_EXAMPLE_SKIN), QString());
        Window plain;
        Window skinned;

        skin.ApplyWindow(&skinned.window);

        QVERIFY(plain.buttonPixel() != skinned.buttonPixel());
        const QImage before = plain.window.grab().toImage();
        const QImage after = skinned.window.grab().toImage();
        QVERIFY(before.pixelColor(290, 50) != after.pixelColor(290, 50));
    }

    void unusableFileIsRefused_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");

        QTest::newRow("missing") << dir.filePath(QStringLiteral("none.qss"))
                                 << QString::fromLocal8Bit(std::strerror(ENOENT));
        QTest::newRow("folder") << dir.path() << "it is a folder";
        const QString fifo = dir.filePath(QStringLiteral("fifo.qss"));
        if (::mkfifo(QFile::encodeName(fifo).constData(), 0644) != 0)
            qFatal("cannot make the FIFO");
        QTest::newRow("FIFO") << fifo << "not a regular file";
        QTest::newRow("endless device") << "/dev/zero"
                                        << "not a regular file";
        QTest::newRow("empty") << file(QStringLiteral("empty.qss"), {}) << "it is empty";
        QTest::newRow("blank") << file(QStringLiteral("blank.qss"), " \n\t\r\n") << "it is empty";
        QTest::newRow("cut in a rule")
            << file(QStringLiteral("cut.qss"), kRedButtons.left(40)) << "cannot parse";
        QTest::newRow("cut in a character")
            << file(QStringLiteral("cut-utf8.qss"), QByteArray("/* caf\xc3\xa9 */").left(7))
            << "not UTF-8";
        QTest::newRow("stray brace")
            << file(QStringLiteral("brace.qss"), "} QWidget { color: red }") << "cannot parse";
        QTest::newRow("unterminated string")
            << file(QStringLiteral("string.qss"), "QWidget { font-family: \"Arial }")
            << "cannot parse";
        QTest::newRow("NUL in text")
            << file(QStringLiteral("nul.qss"), QByteArray("QWidget { color: red; }\0", 24))
            << "not text";
        QByteArray garbage(4096, Qt::Uninitialized);
        QRandomGenerator random(20240601);
        for (char& byte : garbage)
            byte = char(random.bounded(256));
        QTest::newRow("binary garbage") << file(QStringLiteral("garbage.qss"), garbage) << "text";
        QByteArray huge = "/*" + QByteArray(kMaxSkinFileBytes - 4 + 1, 'x') + "*/";
        QTest::newRow("1 MiB and one byte")
            << file(QStringLiteral("huge.qss"), huge) << "larger than 1 MiB";
    }
    void unusableFileIsRefused()
    {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        StyleSheetSkin skin;
        skin.LoadSkin(file(QStringLiteral("good.qss"), kRedButtons), QString());
        QElapsedTimer clock;
        clock.start();

        const QString description = failureOf([&] { skin.LoadSkin(path, QString()); });

        QVERIFY2(description.contains(path), qPrintable(description));
        QVERIFY2(description.contains(reason), qPrintable(description));
        QVERIFY2(clock.elapsed() < 2000, "refusing a file must not wait");
        // The skin loaded before stays loaded.
        QCOMPARE(skin.styleSheet(), QString::fromUtf8(kRedButtons));
    }

    void fileOfExactlyOneMebibyteIsAccepted()
    {
        const QByteArray sheet = kRedButtons + "/*";
        const QByteArray full =
            sheet + QByteArray(kMaxSkinFileBytes - sheet.size() - 2, 'x') + "*/";
        QCOMPARE(full.size(), kMaxSkinFileBytes);
        StyleSheetSkin skin;

        skin.LoadSkin(file(QStringLiteral("full.qss"), full), QString());

        Window skinned;
        skin.ApplyWindow(&skinned.window);
        QCOMPARE(skinned.buttonPixel(), kRed);
    }

    void unreadableFileIsRefused()
    {
        QTemporaryDir shared;
        QVERIFY(shared.isValid());
        const QString path = shared.filePath(QStringLiteral("locked.qss"));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(kRedButtons) > 0);
        out.close();
        QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
        const QString denied = QString::fromLocal8Bit(std::strerror(EACCES));

        if (::geteuid() != 0) {
            const QString description = failureOf([&] { readSkinFile(path); });
            QVERIFY2(description.contains(denied), qPrintable(description));
            return;
        }
        // Permissions do not stop root, so read as an ordinary user in a child process.
        QVERIFY(QFile::setPermissions(shared.path(),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner | QFileDevice::ExeOther));
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            const uid_t nobody = 65534;
            if (::setgid(nobody) != 0 || ::setuid(nobody) != 0)
                ::_exit(3);
            ::_exit(failureOf([&] { readSkinFile(path); }).contains(denied) ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
    }

    void parseCheckKeepsMessageHandlerAndLoggingRules()
    {
        const QString bad = file(QStringLiteral("bad.qss"), "QWidget { color: red; ");
        caughtMessages.clear();
        const QtMessageHandler before = qInstallMessageHandler(catchMessage);
        // Even with warnings switched off, a broken sheet is found...
        QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false"));
        StyleSheetSkin skin;
        const QString description = failureOf([&] { skin.LoadSkin(bad, QString()); });
        QLoggingCategory::setFilterRules(QString());
        qWarning("after the check");
        qInstallMessageHandler(before);

        QVERIFY2(description.contains(QLatin1String("cannot parse")), qPrintable(description));
        // ...its warning is not printed, and the handler installed before is back.
        QCOMPARE(caughtMessages, QStringList{QStringLiteral("after the check")});
        QVERIFY(QLoggingCategory::defaultCategory()->isWarningEnabled());
    }

    void applyNeedsLoadedSkinAndWindow()
    {
        StyleSheetSkin skin;
        QWidget window;
        QVERIFY(failureOf([&] { skin.ApplyWindow(&window); }).contains(QLatin1String("No skin")));
        QVERIFY(window.styleSheet().isEmpty());
        skin.LoadSkin(file(QStringLiteral("ok.qss"), kRedButtons), QString());
        QVERIFY(failureOf([&] { skin.ApplyWindow(nullptr); }).contains(QLatin1String("no window")));
    }

    void optionsAreKept()
    {
        StyleSheetSkin skin;
        QCOMPARE(skin.options(), 0);
        QVERIFY(!skin.flagA() && !skin.flagB());
        skin.setOptions(0x41);
        skin.setFlagA(true);
        skin.setFlagB(true);
        QCOMPARE(skin.options(), 0x41);
        QVERIFY(skin.flagA() && skin.flagB());
    }
};

QTEST_MAIN(tst_StyleSheetSkin)
#include "tst_style_sheet_skin.moc"
