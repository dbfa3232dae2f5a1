#include "app/Form1.h"

#include "app/CaptionFrame.h"
#include "app/Form1Layout.h"
#include "appearance/BackColor.h"
#include "appearance/PointerFeedback.h"
#include "appearance/StyleSheetSkin.h"
#include "beep/Captions.h"
#include "beep/MediaPlayer.h"
#include "beep/RowChoiceWatch.h"
#include "core/ErrorTrap.h"
#include "core/WindowTimer.h"
#include "desktop/cSysTray.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <utility>

using Form1Layout::px;

namespace {

const QString kDesignCaption = QStringLiteral("Form1");
const QColor kWhite(0xFF, 0xFF, 0xFF);

QFont windowFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    return font;
}

QFont buttonFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    return font;
}

template <typename Widget> Widget* place(Widget* widget, const char* name, Form1Layout::Place at)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(px(at.left), px(at.top), px(at.width), px(at.height));
    return widget;
}

// White background, as designed for the window, its frames and its check boxes.
void paintWhite(QWidget* widget)
{
    setBackColor(widget, kWhite);
    // The style tints frame panels from the button colour.
    if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        QPalette palette = box->palette();
        palette.setColor(QPalette::Button, kWhite);
        box->setPalette(palette);
    }
}

QPushButton* pushButton(QWidget* parent, const char* name, const QString& caption,
                        Form1Layout::Place at)
{
    auto* button = place(new QPushButton(caption, parent), name, at);
    button->setFont(buttonFont());
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, kWhite);
    palette.setColor(QPalette::Window, kWhite);
    button->setPalette(palette);
    return button;
}

template <typename Frame = CaptionFrame>
Frame* frame(QWidget* parent, const char* name, const QString& caption, Form1Layout::Place at)
{
    auto* box = place(new Frame(caption, parent), name, at);
    paintWhite(box);
    return box;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption,
                    Form1Layout::Place at)
{
    auto* box = place(new QCheckBox(caption, parent), name, at);
    paintWhite(box);
    return box;
}

} // namespace

Form1::Form1(Platform platform, SettingsStore settings, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_platform(std::move(platform)), m_settings(std::move(settings))
{
    setObjectName(QStringLiteral("Form1"));
    ErrorReport::setParentWindow(this);
    // First of all: nothing else may make a tray icon before the tray control (Qt settles the
    // desktop's tray protocol with the first one).
    wireTray();
    SkinFramework1 = std::make_unique<StyleSheetSkin>();
    buildLayout();
    wireEvents();
    watchPointer();
    wireBeepCommands();
    wireHistoryCommands();
}

Form1::~Form1()
{
    // The tray control talks to the platform's tray shell as it goes: it goes first.
    delete cSysTray1;
}

void Form1::buildLayout()
{
    setWindowTitle(kDesignCaption);
    setFont(windowFont());
    paintWhite(this);
    setFixedSize(px(Form1Layout::kClientWidthTwips), px(Form1Layout::kClientHeightTwips));

    using namespace Form1Layout;
    PushButton5 = pushButton(this, "PushButton5", Captions::kTurnOnAutoBeep, kPushButton5);
    Frame3 = frame(this, "Frame3", QStringLiteral("Startup Option"), kFrame3);
    Check4 = checkBox(Frame3, "Check4", QStringLiteral("Load this software on Windows startup"),
                      kCheck4);
    Check8 = checkBox(Frame3, "Check8", QStringLiteral("Minimized to system tray"), kCheck8);
    Check8->hide();
    Frame2 = frame(this, "Frame2", QStringLiteral("Beep Sound File"), kFrame2);
    Text2 = place(new QLineEdit(Frame2), "Text2", kText2);
    PushButton1 =
        pushButton(Frame2, "PushButton1", QStringLiteral("Change Beep Sound File"), kPushButton1);
    PushButton4 =
        pushButton(Frame2, "PushButton4", QStringLiteral("Test Beep Sound"), kPushButton4);
    Frame1 = frame<CaptionFrame>(this, "Frame1", Captions::kNextBeepAtZero, kFrame1);
    ProgressBar1 = place(new QProgressBar(Frame1), "ProgressBar1", kProgressBar1);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    // The bar shows no text. A bar with text visible measures it again at every value, so
    // the text is switched off as well: the same pixels for less work each tick.
    ProgressBar1->setFormat(QString());
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    {
        QPalette palette = ProgressBar1->palette();
        palette.setColor(QPalette::Base, kWhite);
        palette.setColor(QPalette::Window, kWhite);
        ProgressBar1->setPalette(palette);
    }
    Timer1 = new WindowTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    WindowsMediaPlayer1 =
        m_platform.makeMediaPlayer ? m_platform.makeMediaPlayer(this) : new MediaPlayer(this);
    WindowsMediaPlayer1->setObjectName(QStringLiteral("WindowsMediaPlayer1"));

    ListView1 = place(new QTreeWidget(this), "ListView1", kListView1);
    ListView1->setColumnCount(0);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->header()->setSectionsMovable(false);
    ListView1->header()->setStretchLastSection(false);

    PushButton6 = pushButton(this, "PushButton6", QStringLiteral("Beep Now (Test)"), kPushButton6);
    PushButton3 = pushButton(this, "PushButton3", QStringLiteral("View History Log"), kPushButton3);
    PushButton8 =
        pushButton(this, "PushButton8", QStringLiteral("Copy History To Clipboard"), kPushButton8);
    PushButton11 = pushButton(this, "PushButton11", QStringLiteral("Help"), kPushButton11);
    PushButton12 =
        pushButton(this, "PushButton12", QStringLiteral("Clear History Log"), kPushButton12);

    // Frames and the bar take no focus; the working objects outside the client area are not
    // widgets at all, so Tab never lands on something invisible.
    Frame1->setFocusPolicy(Qt::NoFocus);
    ProgressBar1->setFocusPolicy(Qt::NoFocus);
    const QWidget* tabOrder[] = {ListView1,   PushButton5,  PushButton6,  PushButton3,
                                 PushButton8, PushButton11, PushButton12, Text2,
                                 PushButton1, PushButton4,  Check8,       Check4};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(const_cast<QWidget*>(tabOrder[i - 1]), const_cast<QWidget*>(tabOrder[i]));
    ListView1->setFocus();

    // Centred by the program itself: some window managers put new windows at the top left.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void Form1::wireEvents()
{
    connect(Text2, &QLineEdit::textChanged, this,
            [this] { ErrorTrap::runUntrappedHandler([this] { Text2_Change(); }); });
    // Every choice of a row by the user is a click, whatever the gesture.
    connect(new RowChoiceWatch(ListView1, m_selectingProgrammatically), &RowChoiceWatch::rowChosen,
            this, [this] { ErrorTrap::runUntrappedHandler([this] { ListView1_Click(); }); });
    // One row is always chosen: a Ctrl+click on the chosen row does not leave the list empty.
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (ListView1->selectedItems().isEmpty() && ListView1->currentItem())
            ListView1->currentItem()->setSelected(true);
    });
    connect(Check4, &QCheckBox::toggled, this,
            [this] { ErrorTrap::runUntrappedHandler([this] { Check4_Click(); }); });
    connect(Check8, &QCheckBox::toggled, this,
            [this] { ErrorTrap::runUntrappedHandler([this] { Check8_Click(); }); });
}

void Form1::closeEvent(QCloseEvent* event)
{
    Form_QueryUnload();
    event->accept();
    Form_Unload();
}
