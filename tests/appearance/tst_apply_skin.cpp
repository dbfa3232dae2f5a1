#include "FormLikeWindow.h"
#include "RecordingSkinEngine.h"
#include "TestFiles.h"

#include "appearance/ApplySkin.h"
#include "appearance/BackColor.h"
#include "appearance/StyleSheetSkin.h"
#include "core/Failure.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/stat.h>

namespace {

QColor buttonFace()
{
    return QApplication::palette().color(QPalette::Button);
}

/// The colour a person sees in a clear spot of @p widget's background.
QColor seenBackground(QWidget* widget)
{
    const QImage image = widget->grab().toImage();
    if (qobject_cast<QCheckBox*>(widget))
        return image.pixelColor(image.width() - 3, image.height() / 2);
    // Beside the title: the style tints the inside of a frame.
    if (qobject_cast<QGroupBox*>(widget))
        return image.pixelColor(image.width() - 6, 3);
    return image.pixelColor(image.width() - 6, image.height() - 6);
}

/// What a control has set for itself: the palette roles with their colours, and its fill.
/// Roles it inherits follow its parent, as Qt intends; ApplySkin must set none on it.
struct Look
{
    QPalette::ResolveMask ownRoles;
    QList<QColor> ownColours;
    bool autoFill;

    explicit Look(const QWidget* widget)
        : ownRoles(widget->palette().resolveMask()), autoFill(widget->autoFillBackground())
    {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            if (ownRoles & (QPalette::ResolveMask(1) << role))
                ownColours << widget->palette().color(QPalette::ColorRole(role));
        }
    }
    bool operator==(const Look&) const = default;
};

} // namespace

class tst_ApplySkin : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> programDir;
    QString programFolder() const { return programDir->path(); }
    QString skinFolder() const { return programFolder() + QStringLiteral("/x"); }
    QString skinPath() const { return programFolder() + kSkinFileInProgramFolder; }

    /// A window with recoloured kinds at every depth besides those of the main window.
    struct NestedWindow : FormLikeWindow
    {
        QGroupBox* innerFrame = new QGroupBox(QStringLiteral("inner"), Frame3);
        QWidget* container = new QWidget(innerFrame);
        QRadioButton* option = new QRadioButton(QStringLiteral("option"), container);
        QLabel* label = new QLabel(QStringLiteral("label"), container);
        QDialog* ownedDialog = new QDialog(&window);
        QLabel* dialogLabel = new QLabel(QStringLiteral("dialog"), ownedDialog);

        QList<QWidget*> recoloured() const
        {
            return {const_cast<QWidget*>(&window),
                    Frame1,
                    Frame2,
                    Frame3,
                    Check4,
                    Check8,
                    innerFrame,
                    option,
                    label};
        }
        QList<QWidget*> keptAsDesigned() const
        {
            QList<QWidget*> kept = pushButtons();
            kept << ProgressBar1 << Text2 << ListView1 << ListView1->viewport() << container
                 << dialogLabel;
            return kept;
        }
    };

  private Q_SLOTS:
    void init()
    {
        programDir = std::make_unique<QTemporaryDir>();
        QVERIFY(programDir->isValid());
        // The test means something only if the button face is not the design white.
        QVERIFY(buttonFace() != QColor(Qt::white));
    }

    void withoutSkinFileNothingChanges()
    {
        NestedWindow form;
        QList<Look> before;
        for (QWidget* widget : form.recoloured() + form.keptAsDesigned())
            before << Look(widget);
        RecordingSkinEngine engine;

        ApplySkin(&form.window, engine, programFolder());

        QVERIFY(engine.calls.isEmpty());
        QList<Look> after;
        for (QWidget* widget : form.recoloured() + form.keptAsDesigned())
            after << Look(widget);
        QVERIFY(before == after);
        for (QWidget* widget : QList<QWidget*>{&form.window, form.Frame1, form.Frame3, form.Check4})
            QCOMPARE(seenBackground(widget), QColor(Qt::white));
    }

    void onlyNormalFileCountsAsSkin_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << "folder";
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("link to a folder") << "link to folder";
        QTest::newRow("dangling link") << "dangling link";
        QTest::newRow("hidden file") << "hidden";
        QTest::newRow("x is a file") << "x is a file";
    }
    void onlyNormalFileCountsAsSkin()
    {
        QFETCH(QString, kind);
        if (kind == QLatin1String("x is a file")) {
            writeTestFile(skinFolder(), "QWidget { color: red; }");
        } else {
            QVERIFY(QDir().mkpath(skinFolder()));
            if (kind == QLatin1String("folder"))
                QVERIFY(QDir().mkpath(skinPath()));
            else if (kind == QLatin1String("fifo"))
                QCOMPARE(::mkfifo(QFile::encodeName(skinPath()).constData(), 0644), 0);
            else if (kind == QLatin1String("link to folder"))
                QVERIFY(QFile::link(programFolder(), skinPath()));
            else if (kind == QLatin1String("dangling link"))
                QVERIFY(QFile::link(skinFolder() + QStringLiteral("/gone"), skinPath()));
            else if (kind == QLatin1String("hidden"))
                writeTestFile(skinFolder() + QStringLiteral("/.o.cjs"), "QWidget {}");
        }
        FormLikeWindow form;
        RecordingSkinEngine engine;

        ApplySkin(&form.window, engine, programFolder());

        QVERIFY(engine.calls.isEmpty());
        QCOMPARE(backColor(&form.window), QColor(Qt::white));
        QCOMPARE(backColor(form.Frame2), QColor(Qt::white));
    }

    void skinFileRecoloursByKindThenCallsEngineInOrder_data()
    {
        QTest::addColumn<bool>("throughLink");
        QTest::newRow("regular file") << false;
        QTest::newRow("link to a regular file") << true;
    }
    void skinFileRecoloursByKindThenCallsEngineInOrder()
    {
        QFETCH(bool, throughLink);
        QVERIFY(QDir().mkpath(skinFolder()));
        if (throughLink) {
            writeTestFile(programFolder() + QStringLiteral("/real.qss"), "x");
            QVERIFY(QFile::link(programFolder() + QStringLiteral("/real.qss"), skinPath()));
        } else {
            writeTestFile(skinPath(), "x");
        }
        NestedWindow form;
        QList<Look> keptBefore;
        for (QWidget* widget : form.keptAsDesigned())
            keptBefore << Look(widget);
        RecordingSkinEngine engine;
        QStringList recolouredWhenCalled;
        engine.onCall = [&](const QString& call) {
            for (QWidget* widget : form.recoloured()) {
                if (backColor(widget) == buttonFace())
                    recolouredWhenCalled << call + u':' + widget->objectName();
            }
        };

        ApplySkin(&form.window, engine, programFolder());

        for (QWidget* widget : form.recoloured()) {
            QCOMPARE(backColor(widget), buttonFace());
            QVERIFY(widget->autoFillBackground());
        }
        for (QWidget* widget : QList<QWidget*>{&form.window, form.Frame2, form.Check4})
            QCOMPARE(seenBackground(widget), buttonFace());
        QList<Look> keptAfter;
        for (QWidget* widget : form.keptAsDesigned())
            keptAfter << Look(widget);
        for (int i = 0; i < keptBefore.size(); ++i)
            QVERIFY2(keptBefore[i] == keptAfter[i],
                     qPrintable(form.keptAsDesigned()[i]->metaObject()->className()));

        const QStringList expected = {
            QStringLiteral("LoadSkin(%1,)").arg(skinPath()),
            QStringLiteral("options"),
            QStringLiteral("setOptions(0x41)"),
            QStringLiteral("setFlagA(true)"),
            QStringLiteral("setFlagB(true)"),
            QStringLiteral("ApplyWindow(Form1)"),
        };
        QCOMPARE(engine.calls, expected);
        // Every recoloured control already had its colour at the engine's first call.
        QCOMPARE(recolouredWhenCalled.filter(QStringLiteral("LoadSkin:")).size(),
                 form.recoloured().size());
    }

    void failingStepEndsApplySkinAndColoursStay_data()
    {
        QTest::addColumn<QString>("failAt");
        QTest::addColumn<int>("callsMade");
        QTest::newRow("load") << "LoadSkin" << 1;
        QTest::newRow("options") << "setOptions" << 3;
        QTest::newRow("flag B") << "setFlagB" << 5;
        QTest::newRow("apply") << "ApplyWindow" << 6;
    }
    void failingStepEndsApplySkinAndColoursStay()
    {
        QFETCH(QString, failAt);
        QFETCH(int, callsMade);
        QVERIFY(QDir().mkpath(skinFolder()));
        writeTestFile(skinPath(), "x");
        FormLikeWindow form;
        RecordingSkinEngine engine;
        engine.failAt = failAt;

        QVERIFY_THROWS_EXCEPTION(Failure, ApplySkin(&form.window, engine, programFolder()));

        QCOMPARE(engine.calls.size(), callsMade);
        QVERIFY(engine.calls.last().startsWith(failAt));
        QCOMPARE(backColor(&form.window), buttonFace());
        QCOMPARE(backColor(form.Frame1), buttonFace());
        QCOMPARE(backColor(form.Check4), buttonFace());
    }

    void realEngineRestylesWindow()
    {
        QVERIFY(QDir().mkpath(skinFolder()));
        writeTestFile(skinPath(), "QPushButton { background-color: rgb(200, 30, 40); "
                                  "border: none; }");
        FormLikeWindow form;
        StyleSheetSkin engine;

        ApplySkin(&form.window, engine, programFolder());

        QCOMPARE(engine.options() & 1, 1);
        QVERIFY(engine.flagA());
        QVERIFY(engine.flagB());
        const QImage button = form.PushButton11->grab().toImage();
        QCOMPARE(button.pixelColor(5, 5), QColor(200, 30, 40));
    }

    void realEngineRejectingSkinKeepsColours()
    {
        QVERIFY(QDir().mkpath(skinFolder()));
        writeTestFile(skinPath(), "QPushButton { background-color: red; ");
        FormLikeWindow form;
        StyleSheetSkin engine;

        try {
            ApplySkin(&form.window, engine, programFolder());
            QFAIL("ApplySkin accepted a style sheet that Qt cannot parse");
        } catch (const Failure& failure) {
            QVERIFY2(failure.description().contains(skinPath()), qPrintable(failure.description()));
        }

        QVERIFY(form.window.styleSheet().isEmpty());
        QCOMPARE(backColor(&form.window), buttonFace());
        QCOMPARE(backColor(form.Frame3), buttonFace());
        QCOMPARE(backColor(form.Check8), buttonFace());
    }
};

QTEST_MAIN(tst_ApplySkin)
#include "tst_apply_skin.moc"
