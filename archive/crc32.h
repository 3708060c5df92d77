// CRC-32 of IEEE 802.3 in its reflected form (polynomial 0xEDB88320).
//
// Crc32 neither pre- nor post-inverts: start from 0xFFFFFFFF and complement
// the result to get the usual checksum. BuildCrcTable must have run first;
// ExtractFile runs it on entry.
#pragma once

#include <cstddef>
#include <cstdint>

void BuildCrcTable();
uint32_t Crc32(uint32_t crc, const void* bytes, size_t length);

// The whole checksum of a buffer (builds the table if needed).
uint32_t Crc32Of(const void* bytes, size_t length);
