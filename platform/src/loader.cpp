#include "loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <new>

#include "handle_table.h"
#include "platform/cestring.h"
#include "platform/library_search.h"
#include "platform/winbase.h"

using namespace platform_internal;

namespace {

using DllMainRoutine = BOOL (*)(HMODULE, DWORD, LPVOID);

class Module final : public KernelObject {
 public:
  Module(std::string mapKey, std::string filePath, void* dlHandle, std::u16string builtinModuleName)
      : key(std::move(mapKey)),
        path(std::move(filePath)),
        library(dlHandle),
        builtinName(std::move(builtinModuleName)) {}

  bool ClosedByCloseHandle() const override { return false; }

  FARPROC Lookup(const std::string& name) const {
    if (library != nullptr) return reinterpret_cast<FARPROC>(dlsym(library, name.c_str()));
    // Asked at every look-up, so that a module registered again takes effect at once.
    BuiltinExportLookup lookup = FindBuiltinModule(builtinName);
    return lookup != nullptr ? lookup(name) : nullptr;
  }

  // Calls the library's DllMain if it has one; TRUE otherwise.
  BOOL NotifyLibrary(HMODULE self, DWORD reason) const {
    if (library == nullptr) return TRUE;
    auto dllMain = reinterpret_cast<DllMainRoutine>(dlsym(library, "DllMain"));
    return dllMain == nullptr ? TRUE : dllMain(self, reason, nullptr);
  }

  const std::string key;   // the loader's map key: a canonical path or a built-in name
  const std::string path;  // reported by GetModuleFileNameW
  void* const library;     // dlopen handle; null for a built-in module
  const std::u16string builtinName;
  int references = 1;  // guarded by the loader lock
};

// The loader lock: recursive, as on Win32, so that a DllMain may load libraries itself.
struct Loader {
  std::recursive_mutex lock;
  std::map<std::string, HMODULE> loaded;
};

Loader& TheLoader() {
  static auto* loader = new Loader;
  return *loader;
}

std::u16string LowerCase(std::u16string_view name) {
  std::u16string lower(name);
  for (char16_t& c : lower) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return lower;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

thread_local std::string lastLoadFailure;

std::string FolderList(const std::vector<std::string>& folders) {
  std::string list;
  for (const std::string& folder : folders) list += (list.empty() ? "" : ", ") + folder;
  return list;
}

// The first folder of the search that has the file; empty (and the reason kept) when none has.
std::string FindLibraryFile(std::u16string_view fileName) {
  const LibrarySearch search = LibrarySearchFor(fileName);
  for (const std::string& folder : search.folders) {
    const std::string candidate = folder.empty() ? search.file : folder + "/" + search.file;
    if (access(candidate.c_str(), F_OK) == 0) return candidate;
  }
  lastLoadFailure = search.folders.size() == 1 && search.folders.front().empty()
                        ? search.file + " does not exist"
                        : search.file + " is in none of the folders searched: " + FolderList(search.folders);
  return {};
}

std::string CanonicalPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

// The file of this library, reported as the path of the built-in modules it contains.
std::string PlatformLibraryPath() {
  Dl_info info{};
  return dladdr(reinterpret_cast<void*>(&RegisterBuiltinModule), &info) != 0 && info.dli_fname != nullptr
             ? CanonicalPath(info.dli_fname)
             : std::string();
}

// With the loader lock held: a new handle for an opened library, after DllMain agreed.
HMODULE AddModule(Loader& loader, std::shared_ptr<Module> module) {
  HMODULE handle = InsertHandle(module);
  if (handle == nullptr) return nullptr;
  if (!module->NotifyLibrary(handle, DLL_PROCESS_ATTACH)) {
    TakeObject<Module>(handle);
    SetLastError(ERROR_DLL_INIT_FAILED);
    return nullptr;
  }
  loader.loaded[module->key] = handle;
  return handle;
}

HMODULE LoadSharedLibrary(Loader& loader, std::u16string_view fileName) {
  const std::string file = FindLibraryFile(fileName);
  if (file.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  const std::string key = CanonicalPath(file);
  if (auto found = loader.loaded.find(key); found != loader.loaded.end()) {
    ++LookupObject<Module>(found->second)->references;
    return found->second;
  }
  void* library = dlopen(key.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* reason = dlerror();
    lastLoadFailure = key + " cannot be loaded: " + (reason != nullptr ? reason : "no reason given");
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  std::shared_ptr<Module> module;
  try {
    module = std::make_shared<Module>(key, key, library, std::u16string());
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  }
  HMODULE handle = module ? AddModule(loader, module) : nullptr;
  if (handle == nullptr) dlclose(library);
  return handle;
}

HMODULE LoadBuiltinModule(Loader& loader, const std::u16string& normalisedName) {
  const std::string key = "builtin:" + Utf16ToUtf8(normalisedName);
  if (auto found = loader.loaded.find(key); found != loader.loaded.end()) {
    ++LookupObject<Module>(found->second)->references;
    return found->second;
  }
  try {
    return AddModule(loader, std::make_shared<Module>(key, PlatformLibraryPath(), nullptr, normalisedName));
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

}  // namespace

LibrarySearch LibrarySearchFor(std::u16string_view moduleName) {
  const std::string name = Utf16ToUtf8(moduleName);
  if (name.find('/') != std::string::npos) return {name, {std::string()}};
  std::string base = Utf16ToUtf8(NormaliseModuleName(moduleName));
  if (base.size() > 4 && base.compare(base.size() - 4, 4, ".dll") == 0) base.resize(base.size() - 4);
  LibrarySearch search{"lib" + base + ".so", {}};
  if (const char* searchPath = std::getenv("VELMAR_DLL_PATH")) {
    const std::string folders = searchPath;
    size_t start = 0;
    while (start <= folders.size()) {
      size_t end = folders.find(':', start);
      if (end == std::string::npos) end = folders.size();
      if (end > start) search.folders.push_back(folders.substr(start, end - start));
      start = end + 1;
    }
  }
  for (const std::string& folder : {FolderOf(ExecutablePath()), FolderOf(PlatformLibraryPath())}) {
    if (std::find(search.folders.begin(), search.folders.end(), folder) == search.folders.end()) {
      search.folders.push_back(folder);
    }
  }
  return search;
}

std::string LastLoadFailure() { return lastLoadFailure; }

std::u16string NormaliseModuleName(std::u16string_view name) {
  std::u16string normalised = LowerCase(name);
  const size_t lastSeparator = normalised.find_last_of(u"/\\");
  const size_t dot = normalised.rfind(u'.');
  if (dot == std::u16string::npos || (lastSeparator != std::u16string::npos && dot < lastSeparator)) {
    normalised += u".dll";
  }
  return normalised;
}

HMODULE LoadLibraryW(LPCWSTR fileName) {
  if (fileName == nullptr || *fileName == u'\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto& loader = TheLoader();
  std::lock_guard lock(loader.lock);
  const std::u16string normalised = NormaliseModuleName(fileName);
  if (FindBuiltinModule(normalised) != nullptr) return LoadBuiltinModule(loader, normalised);
  return LoadSharedLibrary(loader, fileName);
}

FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName) {
  // Values below 0x10000 would be export ordinals, which no library here has.
  if (reinterpret_cast<uintptr_t>(procName) < 0x10000) {
    SetLastError(procName == nullptr ? ERROR_INVALID_PARAMETER : ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  auto& loader = TheLoader();
  std::lock_guard lock(loader.lock);  // keeps the library mapped during the look-up
  auto object = LookupObject<Module>(module);
  if (!object) return nullptr;
  FARPROC routine = object->Lookup(Utf16ToUtf8(procName));
  if (routine == nullptr) SetLastError(ERROR_PROC_NOT_FOUND);
  return routine;
}

BOOL FreeLibrary(HMODULE module) {
  auto& loader = TheLoader();
  std::lock_guard lock(loader.lock);
  auto object = LookupObject<Module>(module);
  if (!object) return FALSE;
  if (--object->references > 0) return TRUE;
  TakeObject<Module>(module);
  loader.loaded.erase(object->key);
  object->NotifyLibrary(module, DLL_PROCESS_DETACH);
  if (object->library != nullptr) dlclose(object->library);
  return TRUE;
}

BOOL DisableThreadLibraryCalls(HMODULE) { return TRUE; }  // threads never notify libraries here

bool ModulePath(HMODULE module, std::string& path) {
  auto object = LookupObject<Module>(module);
  if (!object) return false;
  path = object->path;
  return true;
}
