// The Windows-style API of the platform layer in one include.
#pragma once

#include "wintypes.h"
#include "winbase.h"
#include "winreg.h"
#include "devload.h"
#include "mmsystem.h"
#include "cestring.h"
