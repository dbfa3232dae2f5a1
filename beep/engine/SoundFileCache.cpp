#include "beep/engine/SoundFileCache.h"

#include "beep/engine/WholeSound.h"

SoundFileCache::SoundFileCache() = default;
SoundFileCache::~SoundFileCache() = default;

std::unique_ptr<SoundFile> SoundFileCache::open(const QString& path, QString* whyNot)
{
    if (m_kept && m_keptPath == path && m_kept->identity() == SoundFile::identify(path))
        return m_kept->copy();
    m_kept.reset();
    auto file = SoundFile::open(path, whyNot);
    if (!file)
        return nullptr;
    auto whole = WholeSound::decode(*file);
    if (!whole)
        return file;
    if (whole->frames() == 0) {
        *whyNot = QStringLiteral("%1 holds no sound that can be decoded").arg(path);
        return nullptr;
    }
    m_kept = whole->copy();
    m_keptPath = path;
    return whole;
}
