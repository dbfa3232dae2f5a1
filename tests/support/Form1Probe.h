#pragma once

#include "app/CaptionFrame.h"
#include "app/Form1.h"

/// The tests' one door into the main window's private state: each accessor is named as the
/// field it reaches and hands it out by reference, so a test reads and sets it as before.
///
///     Form1Probe(form).Text2()->setText(path);
class Form1Probe
{
  public:
    explicit Form1Probe(Form1& form) : m_form(form) {}

    // Controls.
    QPushButton*& PushButton5() { return m_form.PushButton5; }
    QGroupBox*& Frame3() { return m_form.Frame3; }
    QCheckBox*& Check4() { return m_form.Check4; }
    QCheckBox*& Check8() { return m_form.Check8; }
    QGroupBox*& Frame2() { return m_form.Frame2; }
    QLineEdit*& Text2() { return m_form.Text2; }
    QPushButton*& PushButton1() { return m_form.PushButton1; }
    QPushButton*& PushButton4() { return m_form.PushButton4; }
    CaptionFrame*& Frame1() { return m_form.Frame1; }
    QProgressBar*& ProgressBar1() { return m_form.ProgressBar1; }
    WindowTimer*& Timer1() { return m_form.Timer1; }
    QTreeWidget*& ListView1() { return m_form.ListView1; }
    QPushButton*& PushButton6() { return m_form.PushButton6; }
    QPushButton*& PushButton3() { return m_form.PushButton3; }
    QPushButton*& PushButton8() { return m_form.PushButton8; }
    QPushButton*& PushButton11() { return m_form.PushButton11; }
    QPushButton*& PushButton12() { return m_form.PushButton12; }

    // Components.
    cSysTray*& cSysTray1() { return m_form.cSysTray1; }
    MediaPlayer*& WindowsMediaPlayer1() { return m_form.WindowsMediaPlayer1; }
    PointerFeedback*& Pointer() { return m_form.Pointer; }

    // State.
    bool& Loading() { return m_form.Loading; }
    QString& HistoryLogPath() { return m_form.HistoryLogPath; }
    bool& MinimizedOnce() { return m_form.MinimizedOnce; }
    qint32& ElapsedSeconds() { return m_form.ElapsedSeconds; }
    qint32& IntervalTarget() { return m_form.IntervalTarget; }

    /// The beep of "Beep Now (Test)", without the button's caption and wait around it.
    void BeepNow() { m_form.beepNow(IntervalSave::Beep::Requested); }

  private:
    Form1& m_form;
};
