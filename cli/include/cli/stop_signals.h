// How the console tools stop: SIGINT and SIGTERM set a flag that their loops test, so
// that what they write is finished first. SIGXFSZ and SIGPIPE are ignored: a file at the
// size limit or a reader of standard output that went away is then a failed write,
// reported, instead of a silent death with the output unfinished.
#pragma once

#include <atomic>

namespace cli {

// Installs the handlers (once) and returns the flag they set.
const std::atomic<bool>& CatchStopSignals();

}  // namespace cli
