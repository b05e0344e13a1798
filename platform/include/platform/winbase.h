// Kernel objects, memory, time, loader and files: the Win32 calls this system makes,
// implemented on POSIX with Win32 semantics. Every handle lives in one process-wide
// table; a bad or closed handle fails with ERROR_INVALID_HANDLE and never crashes.
#pragma once

#include "wintypes.h"

// ---- last error (per thread)
DWORD GetLastError();
void SetLastError(DWORD error);

// ---- events
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// ---- waits: events (signalled state) and threads (signalled once finished)
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

// ---- critical sections (recursive, like Win32)
struct CRITICAL_SECTION {
  void* impl;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;
void InitializeCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section);

// ---- threads
using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);
#define CREATE_SUSPENDED 0x00000004u
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD creationFlags, LPDWORD threadId);
DWORD ResumeThread(HANDLE thread);                        // previous suspend count, or 0xFFFFFFFF
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);  // STILL_ACTIVE while running
// Windows CE's 256-level priority (0 highest .. 255 lowest). Best effort on POSIX:
// the value is recorded and reported back; scheduling is left to the OS.
BOOL CeSetThreadPriority(HANDLE thread, int priority);
int CeGetThreadPriority(HANDLE thread);  // THREAD_PRIORITY_ERROR_RETURN for a bad handle
#define THREAD_PRIORITY_ERROR_RETURN 0x7FFFFFFF
DWORD GetCurrentThreadId();

// ---- time
void Sleep(DWORD milliseconds);
DWORD GetTickCount();  // milliseconds since an arbitrary start, wraps at 2^32
void GetLocalTime(LPSYSTEMTIME time);

// ---- local memory
#define LMEM_FIXED 0x0000u
#define LMEM_ZEROINIT 0x0040u
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
HLOCAL LocalFree(HLOCAL memory);  // null on success

// ---- loader
// "usbd.dll" resolves to the USB host's own exports. Any other name, e.g. "VELMAR.DLL",
// resolves to a shared library: "lib<name in lower case, without .dll>.so", searched in
// the folders of VELMAR_DLL_PATH (colon separated), then beside the executable. A name
// with a '/' is used as a path as it stands.
HMODULE LoadLibraryW(LPCWSTR fileName);
FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName);
BOOL FreeLibrary(HMODULE module);
BOOL DisableThreadLibraryCalls(HMODULE module);
// The executable's path with '\' separators (module null), or a loaded library's path.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

// ---- files and stream devices
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u

// A name of the form "PPPn:" opens a stream device through the device manager
// (devload.h); anything else is a file path ('\' is mapped to '/', see cestring.h).
HANDLE CreateFileW(LPCWSTR fileName, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES attributes, DWORD creation,
                   DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped);
BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID inBuffer, DWORD inSize, LPVOID outBuffer, DWORD outSize,
                     LPDWORD bytesReturned, LPOVERLAPPED overlapped);
BOOL CloseHandle(HANDLE handle);
