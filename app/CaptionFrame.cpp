#include "app/CaptionFrame.h"

#include <QPaintEvent>
#include <QStyleOptionGroupBox>
#include <QStylePainter>

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
    if (drawsCaptionItself())
        return QRect(0, 0, width(), captionHeight());
    // Every style puts the caption above the contents, and its height does not depend on its
    // text: the frame's whole width down to the contents covers any caption, old or new. The
    // frame keeps its contents margins from the style, so nothing needs measuring here.
    return QRect(0, 0, width(), contentsRect().top());
}

bool CaptionFrame::drawsCaptionItself() const
{
    // A caption with a shortcut letter, a check box, a caption not at the left or a frame
    // laid out right to left is drawn differently; those are left to the style.
    const QString caption = title();
    return qstrcmp(style()->metaObject()->className(), "QFusionStyle") == 0 && !caption.isEmpty() &&
           !caption.contains(QLatin1Char('&')) && !isCheckable() && alignment() == Qt::AlignLeft &&
           layoutDirection() == Qt::LeftToRight;
}

int CaptionFrame::captionHeight() const
{
    // The style's frame starts three pixels below a line of the caption's font, or lower.
    return fontMetrics().height() + 3;
}

void CaptionFrame::paintEvent(QPaintEvent* event)
{
    if (!drawsCaptionItself()) {
        QGroupBox::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    // The frame lies below the caption: a repaint of the caption alone leaves it be.
    if (event->rect().bottom() >= captionHeight()) {
        QStyleOptionFrame frame;
        frame.QStyleOption::operator=(option);
        frame.features = option.features;
        frame.lineWidth = option.lineWidth;
        frame.midLineWidth = option.midLineWidth;
        painter.drawPrimitive(QStyle::PE_FrameGroupBox, frame);
    }
    // The style's caption box starts one pixel down at the left edge; the text sits at its top.
    painter.setPen(QPen(option.palette.windowText(), 1));
    painter.drawText(QPointF(0, 1 + QFontMetricsF(font()).ascent()), option.text);
}
