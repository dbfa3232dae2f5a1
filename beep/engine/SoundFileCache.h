#pragma once

#include "beep/engine/SoundFile.h"

#include <QString>
#include <memory>

class WholeSound;

/// Opens sound files for an engine. A sound short enough to be held whole is decoded whole
/// (see WholeSound), and the last one is kept, so that the next beep of the same, unchanged
/// file needs no decoding at all.
class SoundFileCache
{
  public:
    SoundFileCache();
    ~SoundFileCache();

    /// The sound at \a path from its start: held whole if short, else to be read piece by
    /// piece. Null with \a whyNot set if the file cannot be played.
    std::unique_ptr<SoundFile> open(const QString& path, QString* whyNot);

  private:
    std::unique_ptr<WholeSound> m_kept;
    QString m_keptPath;
};
