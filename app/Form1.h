#pragma once

#include "beep/BeepAction.h"
#include "core/Platform.h"
#include "core/SettingsStore.h"

#include <QWidget>

#include <memory>

class CaptionFrame;
class MediaPlayer;
class cSysTray;
class PointerFeedback;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class SkinEngine;
class WindowTimer;

/// The main window: its controls by their designer names, its state, and its handlers.
///
/// The window owns the controls and wires their events to the handlers, which are defined in
/// app/ by subject (BeepCommands.cpp, Countdown.cpp, HistoryCommands.cpp ...). Its controls and
/// state are its own: tests reach them through Form1Probe (tests/support).
class Form1 : public QWidget
{
    Q_OBJECT
  public:
    /// A main window laid out as designed, not yet loaded.
    Form1(Platform platform, SettingsStore settings, QWidget* parent = nullptr);
    ~Form1() override;

    // --- Start-up and end (Form1Load.cpp) ----------------------------------------------------
    /// Start-up: restores every setting into the window. Run once, before the window is shown.
    void Form_Load();
    /// Shows the window as start-up left it: normal, minimised, or in the tray.
    void showAsLoaded();
    /// Starts loading the media player's sound engine in the background when a timed beep is
    /// near enough that the load must begin now for it to come on time; a far beep leaves the
    /// sound stack unloaded. Checked at start-up, at every tick and when the count restarts.
    void prepareSoundIfNear();
    /// Closing: stops the countdown and takes the tray icon away.
    void Form_QueryUnload();
    /// Ends the whole program (Platform::endProgram).
    void Form_Unload();
    /// One start in a hundred, opens the vendor's home page.
    void VisitHomePage();

    // --- The interval list (IntervalList.cpp) --------------------------------------------------
    /// Seconds of the selected interval row, by its text. Throws Failure when none is selected.
    qint32 IntervalSeconds() const;
    /// A click on the interval list: stores the row and restarts the countdown.
    void ListView1_Click();
    /// Selects the row at the 1-based @p position. Throws Failure when there is no such row.
    void selectIntervalRow(int position);

    // --- Countdown, beep commands and the sound file box ----------------------------------------
    /// One tick of the countdown (Countdown.cpp).
    void Timer1_Timer();
    /// Switches automatic beeping on or off.
    void PushButton5_Click();
    /// "Beep Now (Test)".
    void PushButton6_Click();
    /// "Test Beep Sound".
    void PushButton4_Click();
    /// "Change Beep Sound File".
    void PushButton1_Click();
    /// The sound file box changed (SoundFileBox.cpp).
    void Text2_Change();

    // --- The history log commands (HistoryCommands.cpp) ------------------------------------------
    /// "View History Log".
    void PushButton3_Click();
    /// "Copy History To Clipboard".
    void PushButton8_Click();
    /// "Clear History Log".
    void PushButton12_Click();

    // --- Tray icon (MinimizeToTray.cpp) and start-up options (StartupOptions.cpp) ---------------
    void setTrayTip(const QString& tip);
    void setInTray(bool inTray);
    /// After a change of the window's state: the first minimise sends the window to the tray.
    void Form_Resize();
    /// A mouse button released over the tray icon: the left one brings the window back.
    void cSysTray1_MouseUp(int Button, int Id);
    void Check4_Click();
    void Check8_Click();

    // --- Skin, pointer and help (Appearance.cpp) -------------------------------------------------
    void ApplySkin();
    /// Loads the window's custom pointer image from a cursor file. Throws Failure.
    void loadCustomPointer(const QString& path);
    void setProgramIcon();
    /// "Help": where to ask questions.
    void PushButton11_Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    friend class Form1Probe;

    /// Whether the countdown beeps by itself. The caption of PushButton5 shows it; until
    /// start-up reads a stored "On" or "Off" it is the design state, which shows "Turn On Auto
    /// Beep" and which a click turns on.
    enum class AutoBeep { Design, On, Off };

    void buildLayout();
    void wireEvents();
    void watchPointer();
    void wireBeepCommands();
    void wireHistoryCommands();
    void wireTray();
    void fillIntervalList(class ErrorTrap& trap);
    /// Records @p state and shows it on PushButton5.
    void showAutoBeep(AutoBeep state);
    /// prepareSoundIfNear() with the seconds left to the next beep already known.
    void prepareSoundIfWithin(qint64 secondsLeft);
    /// One beep of the sound in the sound file box, logged in the history log.
    void beepNow(IntervalSave::Beep kind);

    // --- Controls, in the order the window description stores them -------------------------
    QPushButton* PushButton5;
    QGroupBox* Frame3;
    QCheckBox* Check4;
    QCheckBox* Check8;
    QGroupBox* Frame2;
    QLineEdit* Text2;
    QPushButton* PushButton1;
    QPushButton* PushButton4;
    CaptionFrame* Frame1;
    QProgressBar* ProgressBar1;
    WindowTimer* Timer1;
    QTreeWidget* ListView1;
    QPushButton* PushButton6;
    QPushButton* PushButton3;
    QPushButton* PushButton8;
    QPushButton* PushButton11;
    QPushButton* PushButton12;
    /// The tray icon control.
    cSysTray* cSysTray1 = nullptr;
    /// The media player that plays the beeps (Platform::makeMediaPlayer makes it).
    MediaPlayer* WindowsMediaPlayer1 = nullptr;
    /// The skin engine, a style-sheet engine.
    std::unique_ptr<SkinEngine> SkinFramework1;
    /// The window's pointer setting (default, busy, custom).
    PointerFeedback* Pointer = nullptr;

    // --- State ----------------------------------------------------------------------------
    /// True while Form_Load runs.
    bool Loading = false;
    /// The full path of the history log, fixed at start-up.
    QString HistoryLogPath;
    /// Set the first time the window is sent to the tray; never cleared.
    bool MinimizedOnce = false;
    /// Countdown: ticks counted since the last beep or reset.
    qint32 ElapsedSeconds = 0;
    /// Countdown: seconds of the selected interval, recomputed at every tick.
    qint32 IntervalTarget = 0;
    /// Countdown: caption kept while a timed beep is performed.
    QString SavedCaption;
    /// The sound file whose player failure a timed beep reported, until a beep plays or a
    /// beep of another file comes; timed beeps of that file do not report it again.
    QString PlayerFailureReported;
    AutoBeep m_autoBeep = AutoBeep::Design;

    Platform m_platform;
    SettingsStore m_settings;
    bool m_selectingProgrammatically = false;
    /// Start-up asked for the tray (both start-up boxes ticked).
    bool m_startupAskedForTray = false;
    /// Hidden in the tray by the first minimise. The state then reads normal in the program
    /// only: on X11, Qt carries a change away from minimised out by mapping the window, which
    /// would put the hidden window back on the taskbar, so the window system keeps its
    /// minimised state until the window is brought back.
    bool m_hiddenInTray = false;
};
