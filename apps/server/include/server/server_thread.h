// The networking thread: listens and serves clients strictly one after another until
// the quit flag is set.
#pragma once

#include "platform/windows.h"

// Thread routine; the parameter is the ServerState. Returns 0.
DWORD ServerThread(LPVOID serverState);
