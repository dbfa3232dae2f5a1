#include "app/CaptionFrame.h"

void CaptionFrame::setTitle(const QString& title)
{
    // A caption that comes or goes moves the frame's edge: the whole frame changes.
    if (title == this->title() || title.isEmpty() || this->title().isEmpty() || !updatesEnabled()) {
        QGroupBox::setTitle(title);
        return;
    }
    // Held off for the call alone; the repaint follows, limited to the caption.
    setAttribute(Qt::WA_UpdatesDisabled, true);
    QGroupBox::setTitle(title);
    setAttribute(Qt::WA_UpdatesDisabled, false);
    update(captionArea());
}

QRect CaptionFrame::captionArea() const
{
    // Every style puts the caption above the contents, and its height does not depend on its
    // text: the frame's whole width down to the contents covers any caption, old or new. The
    // frame keeps its contents margins from the style, so nothing needs measuring here.
    return QRect(0, 0, width(), contentsRect().top());
}
