// The archive image as a read-only byte stream.
//
// A MemoryArchive wraps bytes that somebody else owns (in the player, the
// embedded resource). Reads are all-or-nothing: ReadArchiveBytes delivers the
// whole requested length or nothing at all, and never moves past the end.
// The archive reader also assigns `offset` directly to jump between blocks.
#pragma once

#include <cstdint>

struct MemoryArchive {
  uint8_t* data = nullptr;  // first byte of the image; not owned
  uint32_t size = 0;        // length of the image in bytes
  uint32_t offset = 0;      // read position
};

// Every byte of the stored image is XORed with this key.
inline constexpr uint8_t kArchiveKey = 0x5E;

// Copies `length` bytes from the read position to `dest` and advances it.
// Returns `length`, or 0 (copying nothing, offset unchanged) when the request
// is empty or would pass the end of the image.
uint32_t ReadArchiveBytes(MemoryArchive* archive, void* dest, uint32_t length);

// XORs every byte of the image with kArchiveKey, in place. Running it twice
// restores the original bytes.
void UnscrambleArchiveImage(MemoryArchive& archive);
