#include "platform/resources.h"

#include <strings.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "platform/resource_bundle.h"

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

AppendedResources InstallAppendedResources(const char* path, std::string* error) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return AppendedResources::kNone;
  const std::streamoff size = file.tellg();
  if (size < static_cast<std::streamoff>(resource_bundle::kTrailerSize)) return AppendedResources::kNone;
  // The trailer first; the rest only when there is a bundle.
  uint8_t trailer[resource_bundle::kTrailerSize];
  file.seekg(size - static_cast<std::streamoff>(sizeof trailer));
  if (!file.read(reinterpret_cast<char*>(trailer), sizeof trailer)) return AppendedResources::kNone;
  if (std::memcmp(trailer + 16, resource_bundle::kMagic, sizeof resource_bundle::kMagic) != 0)
    return AppendedResources::kNone;
  uint64_t bundle_size = 0;
  for (int i = 0; i < 8; ++i) bundle_size |= static_cast<uint64_t>(trailer[i]) << (8 * i);
  const uint64_t tail = bundle_size + sizeof trailer;
  if (bundle_size > static_cast<uint64_t>(size) - sizeof trailer) {
    *error = "the bundle is larger than the file";
    return AppendedResources::kDamaged;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(tail));
  file.seekg(size - static_cast<std::streamoff>(tail));
  if (!file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(tail))) {
    *error = "the bundle cannot be read";
    return AppendedResources::kDamaged;
  }

  // Kept for the rest of the run: the table points into them, and the
  // archive image is unscrambled in place there.
  static std::vector<resource_bundle::Entry> entries;
  static std::vector<ResourceEntry> appended;
  std::vector<resource_bundle::Entry> read;
  if (resource_bundle::Read(bytes.data(), bytes.size(), &read, error) != resource_bundle::Status::kValid)
    return AppendedResources::kDamaged;
  entries = std::move(read);
  appended.clear();
  for (resource_bundle::Entry& e : entries) {
    appended.push_back({e.type_name.empty() ? nullptr : e.type_name.c_str(), e.type_id, e.id, e.bytes.data(),
                        static_cast<DWORD>(e.bytes.size())});
  }
  InstallResourceTable(appended.data(), appended.size());
  return AppendedResources::kInstalled;
}

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
