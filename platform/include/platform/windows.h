// The Windows-style API of the platform layer in one include.
#pragma once

#include "cestring.h"
#include "devload.h"
#include "mmsystem.h"
#include "winbase.h"
#include "winreg.h"
#include "wintypes.h"
