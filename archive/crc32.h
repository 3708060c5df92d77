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

// The ways Crc32 can take: 16-byte blocks folded by carry-less
// multiplication two 128-bit lanes to an instruction (VPCLMULQDQ with AVX2)
// or one (PCLMULQDQ), or eight bytes at a time through tables.
// Crc32 takes the fastest the processor has; tests check each.
enum class CrcPath { kTables, kFolding, kWideFolding };
bool CrcPathAvailable(CrcPath path);
uint32_t Crc32By(CrcPath path, uint32_t crc, const void* bytes, size_t length);

// The whole checksum of a buffer (builds the table if needed).
uint32_t Crc32Of(const void* bytes, size_t length);
