// Resources of the program's own module.
//
// The build turns the files of resources/ into a table compiled into the
// executable (see cmake/EmbedResources.cmake); tests may install a table of
// their own. The look-up works like the Windows one: a type given by name
// ("BINARY", compared without regard to case) or by number (RT_BITMAP, ...),
// and a numeric id. The bytes are writable: the archive image is unscrambled
// in place.
#pragma once

#include <cstddef>
#include <string>

#include "platform/win32_types.h"

#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_RCDATA MAKEINTRESOURCEA(10)
#define RT_GROUP_ICON MAKEINTRESOURCEA(14)

struct ResourceEntry {
  const char* type_name;  // named type, or null for a numeric one
  WORD type_id;           // numeric type when type_name is null
  WORD id;
  BYTE* bytes;
  DWORD size;
};

// Replaces the table the look-up works over. The entries must outlive their use.
void InstallResourceTable(const ResourceEntry* entries, size_t count);

// The table compiled into the executable, when it has one (defined by the
// generated resource library; executables without one never call it).
const ResourceEntry* EmbeddedResourceTable(size_t* count);

enum class AppendedResources { kNone, kInstalled, kDamaged };

// Installs the resources appended to the program's file `path` by quarb-disk
// (platform/resource_bundle.h), which then take the place of the compiled-in
// table. kNone when nothing is appended (or the file cannot be read);
// kDamaged, with `error` saying why, when a bundle is there but does not
// check out, and nothing is installed.
AppendedResources InstallAppendedResources(const char* path, std::string* error);

HMODULE GetModuleHandleA(LPCSTR module_name);
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL loaded);
DWORD SizeofResource(HMODULE module, HRSRC resource);
BOOL FreeResource(HGLOBAL loaded);
