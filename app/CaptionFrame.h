#pragma once

#include <QGroupBox>
#include <QTextLayout>
#include <memory>

class QStyleOptionGroupBox;

/// A frame whose caption changes often (the countdown's, every second). Its setTitle() repaints
/// the caption's strip only: QGroupBox::setTitle() repaints the whole frame and, with it,
/// everything inside it, though nothing but the caption has changed.
///
/// In the Fusion style, the one Qt uses where the desktop names no other, it also draws a
/// plain caption and its frame itself, as that style would:
/// - the style measures and lays out the caption five times for each repaint, which was most
///   of what a tick cost;
/// - the style loads its frame's picture by asking every image plugin installed whether it
///   reads it, which leaves them all in memory for good; the built-in reader is asked here.
/// Any other style, and any caption that is not plain, is drawn by the style.
class CaptionFrame : public QGroupBox
{
    Q_OBJECT
  public:
    using QGroupBox::QGroupBox;

    /// As QGroupBox::setTitle(), repainting the caption's strip only.
    void setTitle(const QString& title);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    /// The strip above the frame's contents: the caption and the frame's top edge beside it.
    QRect captionArea() const;
    /// The caption laid out, kept from one repaint to the next while it stays the same.
    const QTextLayout& captionLayout();
    /// Whether this frame and its caption are the plain case drawn here rather than by the style.
    bool drawsCaptionItself() const;
    /// The height of the strip the caption is drawn in, above the frame's top edge.
    int captionHeight() const;
    /// Draws the frame's edge as the style does, from the style's own picture.
    void drawFrame(QPainter* painter, const QStyleOptionGroupBox& option) const;

    std::unique_ptr<QTextLayout> m_captionLayout;
};
