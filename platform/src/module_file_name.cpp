#include <algorithm>

#include "loader.h"
#include "platform/cestring.h"
#include "platform/winbase.h"

// The path is reported with '\' separators, as programs written for the device expect
// when they cut the folder off their own file name.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  if (fileName == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::string path;
  if (module == nullptr) {
    path = ExecutablePath();
    if (path.empty()) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return 0;
    }
  } else if (!ModulePath(module, path)) {
    return 0;
  }
  std::u16string wide = Utf8ToUtf16(path);
  std::replace(wide.begin(), wide.end(), u'/', u'\\');
  if (wide.size() >= size) {
    // Truncated like Win32: as much as fits, terminated, the full size returned.
    std::copy_n(wide.begin(), size - 1, fileName);
    fileName[size - 1] = u'\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::copy(wide.begin(), wide.end(), fileName);
  fileName[wide.size()] = u'\0';
  return static_cast<DWORD>(wide.size());
}
