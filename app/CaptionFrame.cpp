#include "app/CaptionFrame.h"

#include <QImageReader>
#include <QPaintEvent>
#include <QPixmapCache>
#include <QStyleOptionGroupBox>
#include <QStylePainter>
#include <QTextLayout>
#include <QtMath>
#include <qdrawutil.h>

void CaptionFrame::setTitle(const QString& title)
{
    const QString before = this->title();
    // A caption that comes or goes moves the frame's edge: the whole frame changes.
    if (title == before || title.isEmpty() || before.isEmpty() || !updatesEnabled()) {
        QGroupBox::setTitle(title);
        return;
    }
    // Where the caption changes: a countdown's changes at its last digits. One character
    // further back, as a pair's spacing depends on both, and half a line more for letters
    // whose ink reaches left of their place.
    qsizetype same = 0;
    while (same < before.size() && same < title.size() && before[same] == title[same])
        ++same;
    const int back = qMax<qsizetype>(same - 1, 0);
    const bool drawnHereBefore = drawsCaptionItself();
    qreal changedFrom = drawnHereBefore ? captionLayout().lineAt(0).cursorToX(back) : 0;

    // Held off for the call alone; the repaint follows, limited to the caption.
    setAttribute(Qt::WA_UpdatesDisabled, true);
    QGroupBox::setTitle(title);
    setAttribute(Qt::WA_UpdatesDisabled, false);

    if (!drawnHereBefore || !drawsCaptionItself()) {
        update(captionArea());
        return;
    }
    changedFrom = qMin(changedFrom, captionLayout().lineAt(0).cursorToX(back));
    const int left = qMax(qFloor(changedFrom) - fontMetrics().height() / 2, 0);
    update(QRect(left, 0, width() - left, captionHeight()));
}

QRect CaptionFrame::captionArea() const
{
    // Every style puts the caption above the contents, and its height does not depend on its
    // text: the frame's whole width down to the contents covers any caption, old or new. The
    // frame keeps its contents margins from the style, so nothing needs measuring here.
    return QRect(0, 0, width(), contentsRect().top());
}

const QTextLayout& CaptionFrame::captionLayout()
{
    // Laid out once for each caption, as the style lays out a caption: on one line, from the
    // top left of the caption's box.
    if (!m_captionLayout || m_captionLayout->text() != title() ||
        m_captionLayout->font() != font()) {
        m_captionLayout = std::make_unique<QTextLayout>(title(), font(), this);
        QTextOption option(Qt::AlignLeft);
        option.setWrapMode(QTextOption::ManualWrap);
        m_captionLayout->setTextOption(option);
        m_captionLayout->setCacheEnabled(true); // its glyphs kept for the repaint
        m_captionLayout->beginLayout();
        m_captionLayout->createLine().setLineWidth(0x01000000);
        m_captionLayout->endLayout();
    }
    return *m_captionLayout;
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

void CaptionFrame::drawFrame(QPainter* painter, const QStyleOptionGroupBox& option) const
{
    static const QString picturePath =
        QStringLiteral(":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png");
    QPixmap picture;
    if (!QPixmapCache::find(picturePath, &picture)) {
        QImageReader reader(picturePath, "png");
        reader.setAutoDetectImageFormat(false); // the built-in reader, no plugin
        picture = QPixmap::fromImage(reader.read());
        if (picture.isNull()) { // not where this version of the style keeps it
            QStyleOptionFrame frame;
            frame.QStyleOption::operator=(option);
            style()->drawPrimitive(QStyle::PE_FrameGroupBox, &frame, painter, this);
            return;
        }
        QPixmapCache::insert(picturePath, picture);
    }
    // The edge runs below a line of the caption or a check box, whichever is taller, with the
    // picture's corners unscaled.
    const int top = qMax(style()->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight, &option, this),
                         option.fontMetrics.height()) +
                    3;
    qDrawBorderPixmap(painter, option.rect.adjusted(0, top, 0, 0), QMargins(6, 6, 6, 6), picture);
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
    if (event->rect().bottom() >= captionHeight())
        drawFrame(&painter, option);
    // The style's caption box starts one pixel down at the left edge; the text sits at its top.
    painter.setPen(QPen(option.palette.windowText(), 1));
    captionLayout().draw(&painter, QPointF(0, 1));
}
