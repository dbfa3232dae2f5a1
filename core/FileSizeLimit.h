#pragma once

/// A limit on the size of the files a process writes (`ulimit -f`, which some session
/// managers and containers set).
namespace FileSizeLimit {

/// Makes a write past the limit fail with EFBIG, as a full disk fails with ENOSPC, instead
/// of ending the program with SIGXFSZ: every write is checked and reported, and the history
/// log takes back a line written in part. Called first thing at start.
void reportInsteadOfEnding();

} // namespace FileSizeLimit
