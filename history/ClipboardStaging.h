#pragma once

#include <QByteArray>
#include <QMimeData>
#include <QObject>
#include <QPointer>
#include <QString>

/// The staging box through which "Copy History To Clipboard" puts the log on the clipboard:
/// a text with a selection, loaded from a file and copied as the desktop's plain text. It is
/// never shown, so it is not a widget.
///
/// The text is kept as UTF-8 with LF line ends, the form in which the Linux desktop passes
/// text around; positions and lengths count its bytes.
class ClipboardStaging : public QObject
{
    Q_OBJECT
  public:
    explicit ClipboardStaging(QObject* parent = nullptr);

    /// The largest file, in bytes, that loadFile() takes.
    qint64 maxLength() const { return m_maxLength; }
    void setMaxLength(qint64 bytes) { m_maxLength = bytes; }

    /// Replaces the text with the plain text of the file at @p path (CR LF line ends become
    /// LF) and clears the selection. The file is read on a worker thread while this thread's
    /// events are handled, so the window stays responsive however large the file is.
    /// On failure the text is left empty, so that a later copy cannot pass on an old text.
    /// @throws DesktopText::TooLarge when the file is larger than maxLength().
    /// @throws Failure when the file cannot be read.
    void loadFile(const QString& path);

    const QByteArray& text() const { return m_text; }
    /// Length of the whole text.
    qsizetype length() const { return m_text.size(); }

    qsizetype selStart() const { return m_selStart; }
    /// Moves the start of the selection, kept within the text, and empties the selection.
    void setSelStart(qsizetype start);
    qsizetype selLength() const { return m_selLength; }
    /// Selects @p length bytes from the selection start, at most up to the end of the text.
    void setSelLength(qsizetype length);
    /// The selected part of the text.
    QByteArray selectedText() const;

    /// Puts the selected text on the system clipboard as plain text. With nothing selected
    /// the clipboard keeps what it had.
    /// @throws Failure when there is no window system with a clipboard.
    void copy();

  private:
    QByteArray m_text;
    qsizetype m_selStart = 0;
    qsizetype m_selLength = 0;
    qint64 m_maxLength;
    QPointer<QMimeData> m_copied; // on the clipboard until the clipboard replaces it
};
