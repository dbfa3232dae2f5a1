#pragma once

#include <atomic>
#include <memory>
#include <vector>

class SoundFile;
class SoundServer;
struct pa_operation;
struct pa_stream;

/// One sound being played: a playback stream on the sound server, filled from a sound file
/// on libpulse's thread as the server asks for more. A sound held whole (SoundFile::isWhole)
/// goes to the server in one go as soon as the stream is made; any other keeps two seconds
/// ahead at the server.
///
/// The stream is this object's own: create, start and destroy it with the server locked.
/// The destructor takes every callback and pending operation back from libpulse, so nothing
/// of libpulse can call into a destroyed stream, and leaves nothing on the server: a stream
/// that the server is still making is closed as soon as it is made.
class SoundStream
{
  public:
    /// \a loop is read each time the sound ends: on, it starts again from the beginning.
    SoundStream(SoundServer& server, std::unique_ptr<SoundFile> file,
                const std::atomic<bool>& loop);
    /// Cuts the sound off and leaves the server.
    ~SoundStream();
    SoundStream(const SoundStream&) = delete;
    SoundStream& operator=(const SoundStream&) = delete;

    /// Connects the stream to the default output; the sound starts as soon as the server has
    /// taken its first samples. False if the server refused the stream.
    bool start();

  private:
    static void onWritable(pa_stream* stream, size_t bytes, void* self);
    static void onState(pa_stream* stream, void* self);
    static void onDrained(pa_stream* stream, int success, void* self);
    void fill(size_t bytes);
    void endOfSound();
    void leaveServer();

    SoundServer& m_server;
    std::unique_ptr<SoundFile> m_file;
    const std::atomic<bool>& m_loop;
    pa_stream* m_stream = nullptr;
    pa_operation* m_drain = nullptr;
    size_t m_frameBytes = 0;
    // What the first fill writes, whatever the server asks for.
    size_t m_aheadBytes = 0;
    bool m_readSinceRewind = false;
    bool m_ended = false;
};
