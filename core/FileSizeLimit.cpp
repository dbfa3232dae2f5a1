#include "core/FileSizeLimit.h"

#include <csignal>

void FileSizeLimit::reportInsteadOfEnding()
{
    // The sound server's client sizes a shared memory file at the first sound too: without
    // this, a limit below its size ends the program there, with no report.
    std::signal(SIGXFSZ, SIG_IGN);
}
