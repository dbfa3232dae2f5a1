#include "beep/SoundPlayback.h"

#include "beep/SoundEngine.h"
#include "core/ProgramFile.h"

#include <QLibrary>
#include <QLoggingCategory>
#include <QMutexLocker>

Q_LOGGING_CATEGORY(lcSound, "pingora.sound", QtWarningMsg)

namespace {

// The module in the program folder, or else wherever the system looks for libraries.
CreateSoundEngine loadEngineModule()
{
    const QString besideProgram = ProgramFile::folderForOpening() + u'/' +
                                  QLatin1String(kSoundEngineFolder) + u'/' +
                                  QLatin1String(kSoundEngineModule);
    for (const QString& name : {besideProgram, QString::fromLatin1(kSoundEngineModule)}) {
        QLibrary module(name);
        if (auto create = reinterpret_cast<CreateSoundEngine>(module.resolve(kCreateSoundEngine)))
            return create; // never unloaded: libpulse's thread runs its code until the end
        qCInfo(lcSound) << "sound engine not loaded:" << module.errorString();
    }
    return nullptr;
}

} // namespace

SoundPlayback::SoundPlayback(std::shared_ptr<SoundRequest> request) : m_request(std::move(request))
{
}

SoundPlayback::~SoundPlayback() = default;

SoundEngine* SoundPlayback::engine()
{
    if (m_engine || m_engineMissing)
        return m_engine.get();
    const CreateSoundEngine create = loadEngineModule();
    m_engineMissing = !create;
    if (create) {
        // Called on libpulse's thread; the waiting sound is started here, in the sound thread.
        m_engine.reset(create(&m_request->loop, [this] {
            QMetaObject::invokeMethod(this, &SoundPlayback::startWaitingSound,
                                      Qt::QueuedConnection);
        }));
    } else {
        qCWarning(lcSound) << "no sound engine: beeps are silent";
    }
    return m_engine.get();
}

void SoundPlayback::warmUp()
{
    if (SoundEngine* sound = engine())
        sound->warmUp();
}

void SoundPlayback::apply()
{
    QString path;
    {
        QMutexLocker lock(&m_request->mutex);
        if (m_request->serial == m_appliedSerial)
            return;
        m_appliedSerial = m_request->serial;
        path = m_request->path;
    }
    // Silence needs no engine if none has played yet.
    SoundEngine* sound = path.isEmpty() ? m_engine.get() : engine();
    const bool started = sound && sound->play(path);
    Q_EMIT applied(started);
}

void SoundPlayback::startWaitingSound()
{
    if (m_engine)
        m_engine->startWaitingSound();
}
