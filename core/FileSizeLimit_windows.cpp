#include "core/FileSizeLimit.h"

// Windows has no file-size limit that ends a process: a write past what the disk holds fails
// and is reported like any other.
void FileSizeLimit::reportInsteadOfEnding()
{
}
