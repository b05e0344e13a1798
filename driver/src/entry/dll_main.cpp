// Library entry: the loader calls it when the library is mapped and unmapped. The
// driver keeps no per-thread state, so it asks not to hear of threads.

#include "platform/winbase.h"
#include "velmar/velmar.h"

extern "C" VELMAR_EXPORT BOOL DllMain(HMODULE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(module);
  return TRUE;
}
