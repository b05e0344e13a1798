// UTF-16 helpers for the edges (paths, console, Qt) and the small wide formatter the
// system uses for device and value names.
#pragma once

#include <string>
#include <string_view>

#include "wintypes.h"

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
size_t WideLength(LPCWSTR text);  // 0 for null

// wsprintfW subset: %d %i %u %x %X %c %s (wide string) %S (narrow string) %%, with
// optional '0' flag and width. Writes at most `capacity` characters including the
// terminator; returns the characters written without it.
int FormatWide(LPWSTR buffer, size_t capacity, LPCWSTR format, ...);

// Maps a platform path to a POSIX one: '\' becomes '/'; the device's absolute paths
// below "\residentflash" are placed under VELMAR_FLASH_DIR (default: a folder of this
// user's alone, $XDG_RUNTIME_DIR/velmar-flash or $TMPDIR/velmar-flash-<uid>), created on
// first use so that the mapped path can be opened at once. Empty when that default
// folder is not safe to use (a link, or another user's).
std::string MapPlatformPath(std::u16string_view path);
