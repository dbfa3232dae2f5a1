#include "beep/engine/SoundStream.h"

#include "beep/engine/SoundFile.h"
#include "beep/engine/SoundServer.h"

#include <algorithm>
#include <pulse/context.h>
#include <pulse/proplist.h>
#include <pulse/stream.h>

namespace {

// How much of a sound read piece by piece the server holds ahead, as paplay does: a busy
// machine may keep this side from refilling it for a long while (tenths of a second) without
// a gap in the sound. A sound held whole is handed over whole instead.
constexpr pa_usec_t kStreamedAheadUsec = 2'000'000;

void done(pa_operation* operation)
{
    if (operation)
        pa_operation_unref(operation);
}

// A stream that the server did not answer within libpulse's time limit (a server stalled for
// half a minute) may still be made once the server wakes up, unknown to this side and so never
// closed: only leaving the server ends it.
void noteFailure(pa_stream* stream, SoundServer& server)
{
    if (pa_stream_get_state(stream) == PA_STREAM_FAILED &&
        pa_context_errno(pa_stream_get_context(stream)) == PA_ERR_TIMEOUT)
        server.dropConnectionSoon();
}

// Looks after a stream given up on while the server was still making it: it cannot be
// disconnected before the server has answered (libpulse refuses), and once made it would stay
// on the server for as long as the program is connected. Holds the reference the stream's
// owner had; disconnects the stream as soon as it is ready and lets go of it once it has
// ended, by that, by a failure or with the whole connection.
void closeWhenMade(pa_stream* stream, void* server)
{
    switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
        pa_stream_disconnect(stream);
        break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        noteFailure(stream, *static_cast<SoundServer*>(server));
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_unref(stream);
        break;
    default:
        break;
    }
}

} // namespace

SoundStream::SoundStream(SoundServer& server, std::unique_ptr<SoundFile> file,
                         const std::atomic<bool>& loop)
    : m_server(server), m_file(std::move(file)), m_loop(loop)
{
    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_FLOAT32NE;
    spec.rate = static_cast<uint32_t>(m_file->sampleRate());
    spec.channels = static_cast<uint8_t>(m_file->channels());
    m_frameBytes = pa_frame_size(&spec);
    pa_channel_map map{};
    pa_channel_map_init_extend(&map, spec.channels, PA_CHANNEL_MAP_WAVEEX);

    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "event");
    m_stream = pa_stream_new_with_proplist(server.context(), "Beep", &spec, &map, properties);
    pa_proplist_free(properties);
    if (!m_stream)
        return;
    pa_stream_set_write_callback(m_stream, &SoundStream::onWritable, this);
    pa_stream_set_state_callback(m_stream, &SoundStream::onState, this);
}

SoundStream::~SoundStream()
{
    if (!m_stream)
        return;
    if (m_drain) {
        // A cancelled operation never calls back.
        pa_operation_cancel(m_drain);
        pa_operation_unref(m_drain);
    }
    pa_stream_set_write_callback(m_stream, nullptr, nullptr);
    switch (pa_stream_get_state(m_stream)) {
    case PA_STREAM_CREATING:
        // Our reference goes with it.
        pa_stream_set_state_callback(m_stream, &closeWhenMade, &m_server);
        return;
    case PA_STREAM_READY:
        pa_stream_disconnect(m_stream);
        break;
    default:
        break;
    }
    pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pa_stream_unref(m_stream);
}

bool SoundStream::start()
{
    if (!m_stream)
        return false;
    const pa_sample_spec spec = *pa_stream_get_sample_spec(m_stream);
    m_aheadBytes = m_file->isWhole() ? static_cast<size_t>(m_file->frames()) * m_frameBytes
                                     : pa_usec_to_bytes(kStreamedAheadUsec, &spec);
    // Playback begins once the server holds all of it (prebuf defaults to tlength); the server
    // caps what it cannot hold.
    pa_buffer_attr buffer{};
    buffer.maxlength = static_cast<uint32_t>(-1);
    buffer.tlength = static_cast<uint32_t>(m_aheadBytes);
    buffer.prebuf = static_cast<uint32_t>(-1);
    buffer.minreq = static_cast<uint32_t>(-1);
    buffer.fragsize = static_cast<uint32_t>(-1);
    return pa_stream_connect_playback(m_stream, nullptr, &buffer, PA_STREAM_NOFLAGS, nullptr,
                                      nullptr) == 0;
}

void SoundStream::onWritable(pa_stream*, size_t bytes, void* self)
{
    static_cast<SoundStream*>(self)->fill(bytes);
}

void SoundStream::onState(pa_stream* stream, void* self)
{
    noteFailure(stream, static_cast<SoundStream*>(self)->m_server);
}

void SoundStream::onDrained(pa_stream*, int, void* self)
{
    auto* sound = static_cast<SoundStream*>(self);
    pa_operation_unref(sound->m_drain);
    sound->m_drain = nullptr;
    sound->leaveServer();
}

void SoundStream::fill(size_t bytes)
{
    // The first time, all that the server is to hold ahead, even if it asks for less, as far
    // as it can hold it.
    const bool first = m_aheadBytes > 0;
    if (first) {
        const pa_buffer_attr* held = pa_stream_get_buffer_attr(m_stream);
        bytes = std::max(bytes, held ? std::min<size_t>(m_aheadBytes, held->maxlength) : 0);
        m_aheadBytes = 0;
    }
    while (!m_ended && bytes >= m_frameBytes) {
        void* buffer = nullptr;
        size_t room = bytes;
        if (pa_stream_begin_write(m_stream, &buffer, &room) < 0 || room < m_frameBytes) {
            leaveServer();
            break;
        }
        const qint64 frames = m_file->read(static_cast<float*>(buffer), room / m_frameBytes);
        if (frames == 0) {
            pa_stream_cancel_write(m_stream);
            if (m_loop && m_readSinceRewind && m_file->rewind()) {
                m_readSinceRewind = false;
                continue;
            }
            endOfSound();
            break;
        }
        const size_t written = static_cast<size_t>(frames) * m_frameBytes;
        pa_stream_write(m_stream, buffer, written, nullptr, 0, PA_SEEK_RELATIVE);
        m_readSinceRewind = true;
        bytes -= std::min(bytes, written);
    }
    // Playing at once: the server's start threshold may lie a little beyond a short sound.
    if (first && !m_ended)
        done(pa_stream_trigger(m_stream, nullptr, nullptr));
}

void SoundStream::endOfSound()
{
    m_ended = true;
    // A sound shorter than the server's start threshold would otherwise never start.
    done(pa_stream_trigger(m_stream, nullptr, nullptr));
    m_drain = pa_stream_drain(m_stream, &SoundStream::onDrained, this);
    if (!m_drain)
        leaveServer();
}

// The sound has played out: leave the server at once, so that no idle stream keeps it busy.
void SoundStream::leaveServer()
{
    m_ended = true;
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream)))
        pa_stream_disconnect(m_stream);
}
