// The archive image among the program's resources: type "BINARY", id 107,
// stored with every byte XORed with kArchiveKey.
#pragma once

#include <cstdint>

#include "data/memory_archive.h"

inline constexpr int kArchiveResourceId = 107;

// Address of the bytes of resource "BINARY" `id`, or null when it is missing.
uint8_t* LoadBinaryResource(int id);
// Size of resource "BINARY" `id`, or 0 when it is missing.
uint32_t BinaryResourceSize(int id);

// A new record over resource 107, unscrambled in place. The record does not
// own the bytes (they belong to the resource); delete it when done.
MemoryArchive* OpenArchiveImage();
