// Multimedia timers: periodic or one-shot, calling a routine or setting an event, run
// on one timer thread. Periodic timers are drift-free: period n fires at start + n*delay.
#pragma once

#include "wintypes.h"

using MMRESULT = UINT;
using LPTIMECALLBACK = void (*)(UINT timerId, UINT message, DWORD_PTR user, DWORD_PTR reserved1, DWORD_PTR reserved2);

#define TIMERR_NOERROR 0u
#define TIMERR_NOCANDO 97u
#define TIME_ONESHOT 0x0000u
#define TIME_PERIODIC 0x0001u
#define TIME_CALLBACK_FUNCTION 0x0000u
#define TIME_CALLBACK_EVENT_SET 0x0010u
#define TIME_CALLBACK_EVENT_PULSE 0x0020u  // not supported: timeSetEvent gives 0

// With TIME_CALLBACK_EVENT_SET the routine argument is the event handle, cast as on Win32.
// Returns the timer id, 0 on failure (a zero delay, a null routine, unknown flags).
MMRESULT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK routine, DWORD_PTR user, UINT flags);
// After it returns the routine is not running and will not run again.
MMRESULT timeKillEvent(UINT timerId);
