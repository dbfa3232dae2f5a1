#pragma once

#include <QGroupBox>

/// A frame whose caption changes often (the countdown's, every second). Its setTitle() repaints
/// the caption's strip only: QGroupBox::setTitle() repaints the whole frame and, with it,
/// everything inside it, though nothing but the caption has changed.
class CaptionFrame : public QGroupBox
{
    Q_OBJECT
  public:
    using QGroupBox::QGroupBox;

    /// As QGroupBox::setTitle(), repainting the caption's strip only.
    void setTitle(const QString& title);

  private:
    /// The strip above the frame's contents: the caption and the frame's top edge beside it.
    QRect captionArea() const;
};
