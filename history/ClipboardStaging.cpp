#include "history/ClipboardStaging.h"

#include "core/Failure.h"
#include "history/Background.h"
#include "history/DesktopText.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <limits>
#include <thread>
#include <utility>

namespace {

// Texts up to this size are read and freed without a worker thread: a few milliseconds.
constexpr qint64 kAtOnceBytes = 4 << 20;

} // namespace

ClipboardStaging::ClipboardStaging(QObject* parent)
    : QObject(parent), m_maxLength(std::numeric_limits<qint64>::max())
{
}

void ClipboardStaging::loadFile(const QString& path)
{
    // Freed on the worker: giving back a gigabyte of memory takes a noticeable moment.
    QByteArray previous = std::exchange(m_text, QByteArray());
    m_selStart = m_selLength = 0;
    QByteArray loaded;
    const qint64 limit = m_maxLength;
    if (QFileInfo(path).size() <= kAtOnceBytes && previous.size() <= kAtOnceBytes) {
        // Done before a thread could even start; the window does not notice.
        previous = QByteArray();
        loaded = DesktopText::readFile(path, limit);
    } else {
        runInBackground([&] {
            previous = QByteArray();
            loaded = DesktopText::readFile(path, limit);
        });
    }
    // Assigned at the end, so that another load that ran inside the wait cannot be mixed
    // with this one.
    m_text = loaded;
    m_selStart = m_selLength = 0;
}

void ClipboardStaging::setSelStart(qsizetype start)
{
    m_selStart = qBound(qsizetype(0), start, m_text.size());
    m_selLength = 0;
}

void ClipboardStaging::setSelLength(qsizetype length)
{
    m_selLength = qBound(qsizetype(0), length, m_text.size() - m_selStart);
}

QByteArray ClipboardStaging::selectedText() const
{
    // The whole text is shared, not copied: a log may be a gigabyte.
    if (m_selStart == 0 && m_selLength == m_text.size())
        return m_text;
    return m_text.mid(m_selStart, m_selLength);
}

void ClipboardStaging::copy()
{
    if (m_selLength == 0)
        return;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw Failure(QStringLiteral("There is no window system with a clipboard to copy to."));
    // Handed over as UTF-8 bytes rather than as a QString: the clipboard then serves every
    // program that pastes straight from these bytes, without a second copy of the text in
    // UTF-16 and without converting it again on every paste.
    auto* mime = new QMimeData;
    const QByteArray selected = selectedText();
    mime->setData(QStringLiteral("text/plain"), selected);
    mime->setData(QStringLiteral("text/plain;charset=utf-8"), selected);
    // The clipboard frees what it held when it takes the new text, on this thread; a large
    // text of an earlier copy (still there unless another program took the clipboard) is
    // held back and freed by a thread of its own instead, which nothing needs to wait for.
    QByteArray replaced;
    if (m_copied)
        replaced = m_copied->data(QStringLiteral("text/plain"));
    QGuiApplication::clipboard()->setMimeData(mime, QClipboard::Clipboard);
    m_copied = mime;
    if (replaced.size() > kAtOnceBytes)
        std::thread([text = std::move(replaced)]() mutable { text = QByteArray(); }).detach();
}
