// The loader: built-in modules, driver libraries found by name, DllMain and
// reference counts, and module file names.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/builtin_modules.h"
#include "platform/library_search.h"
#include "platform/windows.h"
#include "test_driver_log.h"

namespace {

int BuiltinAnswer() { return 42; }
int OtherAnswer() { return 43; }

FARPROC LookupBuiltinExport(std::string_view name) {
  return name == "Answer" ? reinterpret_cast<FARPROC>(&BuiltinAnswer) : nullptr;
}

FARPROC LookupOtherExport(std::string_view name) {
  return name == "Answer" ? reinterpret_cast<FARPROC>(&OtherAnswer) : nullptr;
}

DWORD LoaderCount(LPCWSTR valueName) {
  HKEY key = nullptr;
  DWORD count = 0;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEST_DRIVER_LOADER_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    DWORD size = sizeof count;
    RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<LPBYTE>(&count), &size);
    RegCloseKey(key);
  }
  return count;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

TEST(Loader, BuiltinModuleAnswersByCaseInsensitiveName) {
  RegisterBuiltinModule(u"probe.dll", LookupBuiltinExport);
  HMODULE module = LoadLibraryW(u"PROBE.DLL");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(LoadLibraryW(u"Probe"), module);  // ".dll" is implied, as on Win32
  auto answer = reinterpret_cast<int (*)()>(GetProcAddressW(module, u"Answer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(GetProcAddressW(module, u"Question"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  // Registering the name again (tests stand in for a module so) applies at once.
  RegisterBuiltinModule(u"Probe.dll", LookupOtherExport);
  EXPECT_EQ(reinterpret_cast<int (*)()>(GetProcAddressW(module, u"Answer"))(), 43);
  RegisterBuiltinModule(u"probe.dll", LookupBuiltinExport);
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_NE(GetProcAddressW(module, u"Answer"), nullptr);  // one reference left
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(GetProcAddressW(module, u"Answer"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(FreeLibrary(module));
}

TEST(Loader, DriverNameFindsTheLibraryBesideTheExecutableAndCallsDllMainOncePerLoad) {
  const DWORD attachedBefore = LoaderCount(u"Attached");
  const DWORD detachedBefore = LoaderCount(u"Detached");
  HMODULE first = LoadLibraryW(u"TSTDRV.DLL");
  ASSERT_NE(first, nullptr) << GetLastError();
  HMODULE second = LoadLibraryW(u"tstdrv.dll");
  EXPECT_EQ(second, first);
  EXPECT_EQ(LoaderCount(u"Attached"), attachedBefore + 1);
  EXPECT_NE(GetProcAddressW(first, u"TST_Init"), nullptr);
  EXPECT_TRUE(FreeLibrary(second));
  EXPECT_EQ(LoaderCount(u"Detached"), detachedBefore);  // still referenced
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_EQ(LoaderCount(u"Detached"), detachedBefore + 1);
}

TEST(Loader, SearchPathAndExplicitPathsReachTheSameLibrary) {
  WCHAR exe[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
  std::string folder = FolderOf(MapPlatformPath(exe));
  setenv("VELMAR_DLL_PATH", ("/nonexistent:" + folder).c_str(), 1);
  HMODULE byName = LoadLibraryW(u"TstDrv.dll");
  unsetenv("VELMAR_DLL_PATH");
  ASSERT_NE(byName, nullptr);
  HMODULE byPath = LoadLibraryW(Utf8ToUtf16(folder + "/libtstdrv.so").c_str());
  EXPECT_EQ(byPath, byName);
  WCHAR path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(byName, path, MAX_PATH);
  ASSERT_GT(length, 0u);
  EXPECT_NE(std::u16string(path, length).find(u"\\libtstdrv.so"), std::u16string::npos);
  FreeLibrary(byPath);
  FreeLibrary(byName);
}

TEST(Loader, AFailedLoadSaysWhatWasLookedForWhereOrWhyItWasRefused) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("loader-test-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "libnotelf.so") << "not a shared library";
  setenv("VELMAR_DLL_PATH", (folder.string() + ":/nonexistent/folder").c_str(), 1);
  const LibrarySearch search = LibrarySearchFor(u"NOSUCHDRIVER.DLL");
  EXPECT_EQ(search.file, "libnosuchdriver.so");
  EXPECT_GE(search.folders.size(), 3u);
  EXPECT_EQ(search.folders[0], folder.string());
  EXPECT_EQ(search.folders[1], "/nonexistent/folder");

  EXPECT_EQ(LoadLibraryW(u"NOSUCHDRIVER.DLL"), nullptr);
  const std::string missing = LastLoadFailure();
  for (const std::string& part :
       {std::string("libnosuchdriver.so"), folder.string(), std::string("/nonexistent/folder"),
        std::filesystem::read_symlink("/proc/self/exe").parent_path().string()}) {
    EXPECT_NE(missing.find(part), std::string::npos) << part << " in: " << missing;
  }
  EXPECT_EQ(LoadLibraryW(u"NOTELF.DLL"), nullptr);
  const std::string refused = LastLoadFailure();
  EXPECT_NE(refused.find((folder / "libnotelf.so").string()), std::string::npos) << refused;
  EXPECT_NE(refused.find("cannot be loaded"), std::string::npos) << refused;
  unsetenv("VELMAR_DLL_PATH");
  std::filesystem::remove_all(folder);
}

TEST(Loader, MissingLibrariesAndBadArgumentsFail) {
  EXPECT_EQ(LoadLibraryW(u"NOSUCHDRIVER.DLL"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(LoadLibraryW(u"/nonexistent/libx.so"), nullptr);
  EXPECT_EQ(LoadLibraryW(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(GetProcAddressW(nullptr, u"x"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  HMODULE module = LoadLibraryW(u"TSTDRV.DLL");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(GetProcAddressW(module, nullptr), nullptr);
  EXPECT_EQ(GetProcAddressW(module, reinterpret_cast<LPCWSTR>(uintptr_t{5})), nullptr);  // an ordinal
  EXPECT_FALSE(CloseHandle(module));  // modules are released with FreeLibrary
  EXPECT_TRUE(DisableThreadLibraryCalls(module));
  EXPECT_TRUE(FreeLibrary(module));
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  EXPECT_FALSE(FreeLibrary(event));
  CloseHandle(event);
}

TEST(ModuleFileName, ExecutablePathUsesBackslashesAndTruncatesLikeWin32) {
  WCHAR path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  ASSERT_GT(length, 0u);
  const std::u16string name(path, length);
  EXPECT_EQ(name.find(u'/'), std::u16string::npos);
  EXPECT_EQ(name.substr(name.rfind(u'\\') + 1), u"platform_tests");
  WCHAR small[4];
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 4), 4u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::u16string(small), name.substr(0, 3));
  EXPECT_EQ(GetModuleFileNameW(nullptr, nullptr, 10), 0u);
  EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(uintptr_t{0x4444}), path, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
