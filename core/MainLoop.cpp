#include "core/MainLoop.h"

#include <QApplication>
#include <QThread>

namespace {

// Both on the window's thread only.
bool g_running = false;
int g_doEventsDepth = 0;

} // namespace

int MainLoop::exec()
{
    g_running = true;
    const int status = QApplication::exec();
    g_running = false;
    return status;
}

void MainLoop::DoEvents()
{
    ++g_doEventsDepth;
    // Restored also when a handler run in here lets a failure through.
    struct Leave
    {
        ~Leave() { --g_doEventsDepth; }
    } leave;
    QCoreApplication::processEvents();
}

bool MainLoop::runsAlone()
{
    // processEvents() leaves no trace in the loop level; nested event loops do.
    return g_running && g_doEventsDepth == 0 && QThread::currentThread()->loopLevel() == 1;
}
