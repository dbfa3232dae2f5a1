#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QList>
#include <QMessageBox>
#include <QString>
#include <QTimer>

/// Answers the modal message boxes that the code under test opens, as a person would: it
/// waits for each box, notes what it showed and presses a button.
class ModalAnswerer : public QObject
{
  public:
    struct Seen
    {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    };

    /// Presses @p answer on every box (the box's only button when @p answer is NoButton).
    explicit ModalAnswerer(QMessageBox::StandardButton answer = QMessageBox::NoButton)
        : m_answer(answer)
    {
        m_poll.setInterval(10);
        connect(&m_poll, &QTimer::timeout, this, [this] { answerOpenBox(); });
        m_poll.start();
    }

    const QList<Seen>& seen() const { return m_seen; }

    /// The statement numbers of the error reports seen so far ("at line N").
    QList<int> reportedLines() const
    {
        QList<int> lines;
        for (const Seen& box : m_seen) {
            const qsizetype at = box.text.indexOf(QStringLiteral("at line "));
            if (box.title == QStringLiteral("Application Error") && at >= 0)
                lines << box.text.mid(at + 8).section(u'\n', 0, 0).toInt();
        }
        return lines;
    }

  private:
    void answerOpenBox()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        // Boxes on the stack may reuse an address: mark each box answered.
        if (!box || box->property("answeredByTest").toBool())
            return;
        box->setProperty("answeredByTest", true);
        m_seen.append({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
        QAbstractButton* button =
            m_answer == QMessageBox::NoButton ? box->buttons().value(0) : box->button(m_answer);
        if (button)
            button->click();
    }

    QMessageBox::StandardButton m_answer;
    QTimer m_poll;
    QList<Seen> m_seen;
};
