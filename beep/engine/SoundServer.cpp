#include "beep/engine/SoundServer.h"

#include "core/ProductInfo.h"

#include <QLoggingCategory>
#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/mainloop-api.h>
#include <pulse/proplist.h>
#include <pulse/thread-mainloop.h>

Q_LOGGING_CATEGORY(lcSoundServer, "pingora.sound", QtWarningMsg)

SoundServer::SoundServer() : m_mainloop(pa_threaded_mainloop_new())
{
    pa_threaded_mainloop_set_name(m_mainloop, "pulse");
    if (pa_threaded_mainloop_start(m_mainloop) < 0)
        qCWarning(lcSoundServer) << "cannot start libpulse's thread";
}

SoundServer::~SoundServer()
{
    {
        ServerLock lock(*this);
        dropContext();
    }
    pa_threaded_mainloop_stop(m_mainloop);
    pa_threaded_mainloop_free(m_mainloop);
}

void SoundServer::connect()
{
    if (m_context) {
        const pa_context_state_t state = pa_context_get_state(m_context);
        if (PA_CONTEXT_IS_GOOD(state) && !m_outOfStep)
            return; // ready, or on its way
        dropContext();
    }
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME,
                     ProductInfo::kProductName.toUtf8().constData());
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME,
                     ProductInfo::kAppId.toUtf8().constData());
    m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_mainloop), "Pingora",
                                             properties);
    pa_proplist_free(properties);
    if (!m_context)
        return;
    pa_context_set_state_callback(m_context, &SoundServer::onContextState, this);
    // Asynchronous: the outcome arrives through onContextState.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0) {
        qCInfo(lcSoundServer) << "no sound server:" << pa_strerror(pa_context_errno(m_context));
        dropContext();
    }
}

bool SoundServer::isReady() const
{
    return m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY;
}

void SoundServer::onContextState(pa_context* context, void* self)
{
    auto* server = static_cast<SoundServer*>(self);
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY && server->m_onReady)
        server->m_onReady();
    else if (state == PA_CONTEXT_FAILED)
        qCInfo(lcSoundServer) << "sound server connection failed:"
                              << pa_strerror(pa_context_errno(context));
}

void SoundServer::dropContext()
{
    if (!m_context)
        return;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
    m_outOfStep = false;
}

void SoundServer::dropConnectionSoon()
{
    if (m_outOfStep)
        return; // on its way
    m_outOfStep = true;
    // Not from inside libpulse's handling of a stream: run from its loop, with the lock held.
    // The loop is stopped with the server, so this never runs on a destroyed one; if a
    // connect() comes first, it replaces the connection and this does nothing.
    pa_mainloop_api_once(
        pa_threaded_mainloop_get_api(m_mainloop),
        [](pa_mainloop_api*, void* self) {
            auto* server = static_cast<SoundServer*>(self);
            if (server->m_outOfStep)
                server->dropContext();
        },
        this);
}

ServerLock::ServerLock(const SoundServer& server) : m_mainloop(server.mainloop())
{
    pa_threaded_mainloop_lock(m_mainloop);
}

ServerLock::~ServerLock()
{
    pa_threaded_mainloop_unlock(m_mainloop);
}
