// Constants of the RAR 2.0 block format, shared by the reader and the packer.
// All multi-byte header fields are little-endian.
#pragma once

#include <cstdint>

namespace rar {

inline constexpr uint8_t kSignature[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};  // "Rar!" 1A 07 00
inline constexpr uint8_t kAlternativeSignature[7] = {'K', 'w', 'i', 'n', 'd', 'E', '!'};

inline constexpr uint32_t kMainHeaderSize = 13;  // bytes read after the signature
inline constexpr uint32_t kFileHeaderSize = 32;  // fixed part of a file header, before the name
inline constexpr uint32_t kMaxNameLength = 259;  // name bytes kept by the reader

// Block types.
inline constexpr uint8_t kMainBlock = 0x73;
inline constexpr uint8_t kFileBlock = 0x74;
inline constexpr uint8_t kOldSubBlock = 0x77;  // ends the walk: the reader gives up here
inline constexpr uint8_t kEndBlock = 0x7B;

// Main header flags.
inline constexpr uint16_t kMainSolid = 0x0008;

// File header flags.
inline constexpr uint16_t kFileEncrypted = 0x0004;
inline constexpr uint16_t kFileSolidContinuation = 0x0010;
inline constexpr uint16_t kFileDirectory = 0x00E0;  // all three dictionary bits set
inline constexpr uint16_t kLongBlock = 0x8000;      // a u32 data size follows the common part

// Methods: '0' stores, '1' to '5' compress.
inline constexpr uint8_t kMethodStored = 0x30;

// Unpack versions the reader accepts.
inline constexpr uint8_t kMinVersion = 13;
inline constexpr uint8_t kMaxVersion = 20;

// Most output one compressed code can yield (the longest match), and hence
// the most output one packed byte can yield, since every code takes a bit.
inline constexpr uint32_t kMaxBytesPerCode = 260;
inline constexpr uint32_t kMaxBytesPerPackedByte = 8 * kMaxBytesPerCode;

}  // namespace rar
