#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class SoundPlayback;
struct SoundRequest;

/// The main window's media player (WindowsMediaPlayer1): plays a sound file once, or over and
/// over in loop mode, through the desktop's sound server.
///
/// Every call returns at once. The sound work happens in the program's sound thread, so a
/// slow disk, a huge or broken file, or a sound server that is missing or does not answer
/// never holds up the window; such problems stay silent, as with the player's error dialogs
/// off. Nothing touches the sound system until the first sound (or prepare()).
///
/// Plays WAV files of every kind (PCM, floating point, ADPCM, mu-law, A-law, GSM), FLAC, Ogg
/// Vorbis, Opus, MP3, AIFF, AU, CAF and WavPack, with the first sample at the sound server
/// within a few milliseconds of setUrl().
///
/// The four operations are virtual so that tests can put a recording player in its place.
class MediaPlayer : public QObject
{
    Q_OBJECT
  public:
    explicit MediaPlayer(QObject* parent = nullptr);
    ~MediaPlayer() override;

    /// The player's "loop" mode: on, a sound starts again each time it ends; off (the
    /// default), it plays once. Applies to the sound playing now as well.
    virtual void setLoop(bool on);
    bool loop() const;

    /// Stops and releases whatever is playing; a sound still playing is cut off.
    virtual void close();

    /// Opens the sound file at \a path and starts playing it at once, from its start (a sound
    /// still playing is cut off). Returns without waiting for the sound. An empty path is
    /// the same as close().
    /// \throws Failure if the file cannot be opened (missing, unreadable, a folder, not a
    /// regular file); the description names the file and gives the reason.
    virtual void setUrl(const QString& path);

    /// Loads the sound engine and connects to the sound server in the background, so that
    /// the first sound starts as promptly as the others. Optional; call it when a sound is
    /// near (the load takes a moment, more on a busy machine). Only the first call acts.
    virtual void prepare();

  Q_SIGNALS:
    /// The sound thread has acted on the latest setUrl() or close(); \a started tells whether
    /// a sound began to play (or to be decoded). Requests made in quick succession may be
    /// merged into one, the newest.
    void requestApplied(bool started);

  private:
    void post();
    void ensurePlayback();

    std::shared_ptr<SoundRequest> m_request;
    QPointer<SoundPlayback> m_playback;
    bool m_prepared = false;
};
