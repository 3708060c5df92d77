#include "platform/resources.h"

#include <strings.h>

namespace {

const ResourceEntry* table = nullptr;
size_t table_size = 0;

// The one module there is: the program itself.
HMODULE ProcessModule() {
  static int marker;
  return reinterpret_cast<HMODULE>(&marker);
}

bool IsOwnModule(HMODULE module) { return module == nullptr || module == ProcessModule(); }

bool TypeMatches(const ResourceEntry& entry, LPCSTR type) {
  if (IS_INTRESOURCE(type)) {
    return entry.type_name == nullptr &&
           entry.type_id == static_cast<WORD>(reinterpret_cast<ULONG_PTR>(type));
  }
  return entry.type_name != nullptr && strcasecmp(entry.type_name, type) == 0;
}

const ResourceEntry* FromHandle(HRSRC resource) {
  for (size_t i = 0; i < table_size; ++i) {
    if (reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(&table[i])) == resource) return &table[i];
  }
  return nullptr;
}

}  // namespace

void InstallResourceTable(const ResourceEntry* entries, size_t count) {
  table = entries;
  table_size = entries ? count : 0;
}

HMODULE GetModuleHandleA(LPCSTR module_name) {
  return module_name == nullptr ? ProcessModule() : nullptr;
}

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
  // Only numeric ids are used by the program; named ids are never found.
  if (!IsOwnModule(module) || name == nullptr || !IS_INTRESOURCE(name) || type == nullptr) {
    return nullptr;
  }
  WORD id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
  for (size_t i = 0; i < table_size; ++i) {
    if (table[i].id == id && TypeMatches(table[i], type)) {
      return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(&table[i]));
    }
  }
  return nullptr;
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
  if (!IsOwnModule(module)) return nullptr;
  const ResourceEntry* entry = FromHandle(resource);
  return entry ? static_cast<HGLOBAL>(const_cast<ResourceEntry*>(entry)) : nullptr;
}

LPVOID LockResource(HGLOBAL loaded) {
  const ResourceEntry* entry = FromHandle(static_cast<HRSRC>(loaded));
  return entry ? entry->bytes : nullptr;
}

DWORD SizeofResource(HMODULE module, HRSRC resource) {
  if (!IsOwnModule(module)) return 0;
  const ResourceEntry* entry = FromHandle(resource);
  return entry ? entry->size : 0;
}

// Loaded resources live as long as the program; there is nothing to release.
BOOL FreeResource(HGLOBAL) { return FALSE; }
