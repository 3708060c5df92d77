// The one exported entry of an engine built as a shared library for
// bench/compare-engines: ExtractFile under a name of its own, so that two
// such libraries load side by side.
#include "archive/extract.h"

extern "C" __attribute__((visibility("default"))) int EngineExtract(uint8_t** buffer, uint32_t* size,
                                                                   const char* name, MemoryArchive* archive,
                                                                   const char* password) {
  return ExtractFile(buffer, size, name, archive, password);
}
