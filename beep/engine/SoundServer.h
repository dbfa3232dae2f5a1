#pragma once

#include <functional>

struct pa_context;
struct pa_threaded_mainloop;

/// The program's connection to the sound server (PulseAudio, or PipeWire's PulseAudio
/// service). libpulse runs the connection and every stream on a thread of its own and calls
/// back there with the server locked; everything else that touches the connection or a
/// stream locks it first (ServerLock).
///
/// Nothing here waits for the server: a server that is missing or does not answer only
/// leaves the connection unready, and the next connect() tries again.
class SoundServer
{
  public:
    /// Starts libpulse's thread; does not connect yet.
    SoundServer();
    /// Disconnects and stops libpulse's thread: no callback runs after this.
    ~SoundServer();
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    /// Starts connecting unless connected or connecting already; a connection that failed
    /// (the server went away, say) is replaced. Call with the server locked.
    void connect();
    /// True when streams can be made. Call with the server locked.
    bool isReady() const;
    /// The connection is out of step with the server (the server may still make a stream
    /// unknown here): it is dropped once libpulse is done with the call at hand, and the server
    /// then ends all of its streams; the next connect() makes a new one. Call with the server
    /// locked.
    void dropConnectionSoon();
    /// Called on libpulse's thread, with the server locked, each time a connection becomes
    /// ready. Set before connecting.
    void setOnReady(std::function<void()> onReady) { m_onReady = std::move(onReady); }

    pa_context* context() const { return m_context; }
    pa_threaded_mainloop* mainloop() const { return m_mainloop; }

  private:
    static void onContextState(pa_context* context, void* self);
    void dropContext();

    pa_threaded_mainloop* m_mainloop = nullptr;
    pa_context* m_context = nullptr;
    std::function<void()> m_onReady;
    // Set by dropConnectionSoon() until the connection is dropped.
    bool m_outOfStep = false;
};

/// Holds the sound server's lock for a scope. libpulse's lock is recursive.
class ServerLock
{
  public:
    explicit ServerLock(const SoundServer& server);
    ~ServerLock();
    ServerLock(const ServerLock&) = delete;
    ServerLock& operator=(const ServerLock&) = delete;

  private:
    pa_threaded_mainloop* m_mainloop;
};
