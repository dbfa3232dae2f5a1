#include "beep/SoundThread.h"

#include <QCoreApplication>
#include <QThread>

namespace {

QThread* g_thread = nullptr;

// Waiting longer than this at exit would let a stuck sound server delay the end of the
// program; the thread, if still blocked, is then left to die with the process.
constexpr int kStopWaitMs = 500;

void stopSoundThread()
{
    if (!g_thread)
        return;
    g_thread->quit();
    if (g_thread->wait(kStopWaitMs))
        delete g_thread;
    // else: deleting a running QThread aborts the program, so it is deliberately leaked.
    g_thread = nullptr;
}

} // namespace

QThread* SoundThread::get()
{
    Q_ASSERT(QThread::currentThread() == QCoreApplication::instance()->thread());
    if (!g_thread) {
        g_thread = new QThread;
        g_thread->setObjectName(QStringLiteral("sound"));
        g_thread->start();
        qAddPostRoutine(stopSoundThread);
    }
    return g_thread;
}
