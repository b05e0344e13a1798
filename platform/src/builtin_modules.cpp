#include "platform/builtin_modules.h"

#include <map>
#include <mutex>

#include "loader.h"

namespace {

struct BuiltinTable {
  std::mutex mutex;
  std::map<std::u16string, BuiltinExportLookup> modules;  // by normalised name
};

// Function-local: modules register themselves from static initialisers of other
// files of this library, whose order against this file's is unspecified.
BuiltinTable& Table() {
  static auto* table = new BuiltinTable;
  return *table;
}

}  // namespace

void RegisterBuiltinModule(std::u16string_view name, BuiltinExportLookup lookup) {
  auto& table = Table();
  std::lock_guard lock(table.mutex);
  table.modules[NormaliseModuleName(name)] = lookup;
}

BuiltinExportLookup FindBuiltinModule(std::u16string_view name) {
  auto& table = Table();
  std::lock_guard lock(table.mutex);
  auto found = table.modules.find(NormaliseModuleName(name));
  return found == table.modules.end() ? nullptr : found->second;
}
