// The process-wide table of open camera handles, one slot per camera index.
#pragma once

#include "platform/wintypes.h"

// The slot's handle, or INVALID_HANDLE_VALUE when the index is out of range or not open.
HANDLE CameraHandle(int index);
