// The RAR 2.0 format as the engine reads it and the packer writes it: the
// blocks and their headers, the compressed stream's alphabets and slot
// tables, the window, and the limits of what the reader takes. The decoder,
// the packer, the archive writer, the listing and the fuzz targets all take
// these facts from here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rar {

// ---------------------------------------------------------------------------
// Header fields: every multi-byte field is little-endian.

inline uint16_t LoadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void StoreLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// ---------------------------------------------------------------------------
// The archive: a signature, the main header, then blocks.

inline constexpr uint32_t kSignatureSize = 7;
// "Rar!" 1A 07 00, or the alternative.
inline constexpr uint8_t kSignature[kSignatureSize] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
inline constexpr uint8_t kAlternativeSignature[kSignatureSize] = {'K', 'w', 'i', 'n', 'd', 'E', '!'};

// Every block, the main header included, starts with the same seven bytes:
// a header CRC (the low 16 bits of the CRC-32 of the header after this
// field; the reader does not check it), the block type, flags and the size
// of the whole header. A long block (kLongBlock) has the size of the data
// after its header in the four bytes that follow.
struct BlockHeader {
  uint16_t header_crc;
  uint8_t block_type;
  uint16_t flags;
  uint16_t header_size;
};
inline constexpr uint32_t kBlockHeaderSize = 7;
inline constexpr uint32_t kHeaderCrcAt = 0;
inline constexpr uint32_t kBlockTypeAt = 2;
inline constexpr uint32_t kFlagsAt = 3;
inline constexpr uint32_t kHeaderSizeAt = 5;
inline constexpr uint32_t kDataSizeAt = 7;  // long blocks only

// The main header: the common part and two reserved fields. A header_size
// above kMainHeaderSize means more bytes (an archive comment) follow.
struct MainHeader : BlockHeader {
  uint16_t reserved1;
  uint32_t reserved2;
};
inline constexpr uint32_t kMainHeaderSize = 13;
inline constexpr uint32_t kReserved1At = 7;
inline constexpr uint32_t kReserved2At = 9;

// A file header: the common part (always a long block: its data size is the
// packed size), then the file's fields, then the name at kFileHeaderSize.
// Whatever else the header holds (a comment, extended times, a salt) comes
// after the name; the data starts at header_size.
struct FileHeader : BlockHeader {
  uint32_t packed_size;
  uint32_t unpacked_size;
  uint8_t host_system;
  uint32_t file_crc;       // CRC-32 of the unpacked file
  uint32_t modified_time;  // DOS date and time
  uint8_t version_needed;
  uint8_t method;
  uint16_t name_size;
  uint32_t attributes;
};
inline constexpr uint32_t kFileHeaderSize = 32;  // the fixed part, before the name
inline constexpr uint32_t kPackedSizeAt = kDataSizeAt;
inline constexpr uint32_t kUnpackedSizeAt = 11;
inline constexpr uint32_t kHostSystemAt = 15;
inline constexpr uint32_t kFileCrcAt = 16;
inline constexpr uint32_t kModifiedTimeAt = 20;
inline constexpr uint32_t kVersionAt = 24;
inline constexpr uint32_t kMethodAt = 25;
inline constexpr uint32_t kNameSizeAt = 26;
inline constexpr uint32_t kAttributesAt = 28;

// From kBlockHeaderSize bytes.
inline BlockHeader ParseBlockHeader(const uint8_t* p) {
  return {LoadLe16(p + kHeaderCrcAt), p[kBlockTypeAt], LoadLe16(p + kFlagsAt), LoadLe16(p + kHeaderSizeAt)};
}
inline void WriteBlockHeader(const BlockHeader& h, uint8_t* p) {
  StoreLe16(p + kHeaderCrcAt, h.header_crc);
  p[kBlockTypeAt] = h.block_type;
  StoreLe16(p + kFlagsAt, h.flags);
  StoreLe16(p + kHeaderSizeAt, h.header_size);
}

// From kMainHeaderSize bytes.
inline MainHeader ParseMainHeader(const uint8_t* p) {
  return {ParseBlockHeader(p), LoadLe16(p + kReserved1At), LoadLe32(p + kReserved2At)};
}
inline void WriteMainHeader(const MainHeader& h, uint8_t* p) {
  WriteBlockHeader(h, p);
  StoreLe16(p + kReserved1At, h.reserved1);
  StoreLe32(p + kReserved2At, h.reserved2);
}

// From kFileHeaderSize bytes. Read from any long block, packed_size is the
// size of its data.
inline FileHeader ParseFileHeader(const uint8_t* p) {
  return {ParseBlockHeader(p),       LoadLe32(p + kPackedSizeAt), LoadLe32(p + kUnpackedSizeAt),
          p[kHostSystemAt],          LoadLe32(p + kFileCrcAt),    LoadLe32(p + kModifiedTimeAt),
          p[kVersionAt],             p[kMethodAt],                LoadLe16(p + kNameSizeAt),
          LoadLe32(p + kAttributesAt)};
}
inline void WriteFileHeader(const FileHeader& h, uint8_t* p) {
  WriteBlockHeader(h, p);
  StoreLe32(p + kPackedSizeAt, h.packed_size);
  StoreLe32(p + kUnpackedSizeAt, h.unpacked_size);
  p[kHostSystemAt] = h.host_system;
  StoreLe32(p + kFileCrcAt, h.file_crc);
  StoreLe32(p + kModifiedTimeAt, h.modified_time);
  p[kVersionAt] = h.version_needed;
  p[kMethodAt] = h.method;
  StoreLe16(p + kNameSizeAt, h.name_size);
  StoreLe32(p + kAttributesAt, h.attributes);
}

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
inline constexpr uint16_t kFileWindow1M = 0x0080;   // dictionary bits: a 1 MiB window
inline constexpr uint16_t kFileDirectory = 0x00E0;  // all three dictionary bits set
inline constexpr uint16_t kLongBlock = 0x8000;      // a u32 data size follows the common part

// Methods: '0' stores, '1' (fastest) to '5' (best) compress.
inline constexpr uint8_t kMethodStored = 0x30;
inline constexpr uint8_t kMethodFastest = 0x31;
inline constexpr uint8_t kMethodBest = 0x35;

// ---------------------------------------------------------------------------
// The compressed stream.
//
// It starts with a table block: the mode (LZ or multimedia), whether the
// lengths are differences against the previous block's, the channel count
// in multimedia mode, and the kPrecodeLengthBits-bit lengths of a pre-code of
// kPrecodeSymbols symbols; then the code lengths of every alphabet of the
// mode, each a pre-code symbol: 0-15 a length (or a difference modulo 16),
// or a run (kPrecodeRuns).

inline constexpr uint32_t kMaxCodeLength = 15;
inline constexpr uint32_t kPrecodeSymbols = 19;
inline constexpr uint32_t kPrecodeLengthBits = 4;
inline constexpr uint32_t kPrecodeRepeat = 16;  // the previous length again
struct PrecodeRun {
  uint32_t extra_bits;  // of the run's count
  uint32_t shortest;    // the count when they are 0
};
// Symbols 16 (a run of the previous length), 17 and 18 (runs of zeros).
inline constexpr PrecodeRun kPrecodeRuns[3] = {{2, 3}, {3, 3}, {7, 11}};
constexpr uint32_t LongestRun(const PrecodeRun& r) { return r.shortest + (1u << r.extra_bits) - 1; }

// Length and distance slots: a slot symbol, then the slot's extra bits as a
// number added to its base.
inline constexpr uint32_t kLengthSlots = 28;
inline constexpr uint8_t kLengthBase[kLengthSlots] = {0,  1,  2,  3,  4,  5,  6,  7,   8,   10,
                                                      12, 14, 16, 20, 24, 28, 32, 40,  48,  56,
                                                      64, 80, 96, 112, 128, 160, 192, 224};
inline constexpr uint8_t kLengthExtraBits[kLengthSlots] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                                           2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
inline constexpr uint32_t kDistanceSlots = 48;
inline constexpr uint32_t kDistanceBase[kDistanceSlots] = {
    0,      1,      2,      3,      4,      6,      8,      12,     16,     24,     32,     48,
    64,     96,     128,    192,    256,    384,    512,    768,    1024,   1536,   2048,   3072,
    4096,   6144,   8192,   12288,  16384,  24576,  32768,  49152,  65536,  98304,  131072, 196608,
    262144, 327680, 393216, 458752, 524288, 589824, 655360, 720896, 786432, 851968, 917504, 983040};
inline constexpr uint8_t kDistanceExtraBits[kDistanceSlots] = {
    0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,  7,  7,  8,  8,  9,  9,  10, 10,
    11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};
inline constexpr uint32_t kShortDistanceSlots = 8;
inline constexpr uint8_t kShortDistanceBase[kShortDistanceSlots] = {0, 4, 8, 16, 32, 64, 128, 192};
inline constexpr uint8_t kShortDistanceExtraBits[kShortDistanceSlots] = {2, 2, 3, 4, 5, 6, 6, 6};

// The rule every slot table follows: slot 0's base is 0 and each further
// base is the previous base plus 2 to the previous slot's extra bits, so
// the slots cover every value below SlotsEnd once.
template <typename Base, size_t N>
constexpr bool BasesFollowExtraBits(const Base (&base)[N], const uint8_t (&extra)[N]) {
  if (base[0] != 0) return false;
  for (size_t i = 1; i < N; ++i) {
    if (base[i] != base[i - 1] + (uint64_t{1} << extra[i - 1])) return false;
  }
  return true;
}
template <typename Base, size_t N>
constexpr uint32_t SlotsEnd(const Base (&base)[N], const uint8_t (&extra)[N]) {
  return static_cast<uint32_t>(base[N - 1] + (uint64_t{1} << extra[N - 1]));
}
static_assert(BasesFollowExtraBits(kLengthBase, kLengthExtraBits));
static_assert(BasesFollowExtraBits(kDistanceBase, kDistanceExtraBits));
static_assert(BasesFollowExtraBits(kShortDistanceBase, kShortDistanceExtraBits));

// The window: a match reaches at most this far back.
inline constexpr uint32_t kWindowSize = 1u << 20;
inline constexpr uint32_t kMaxDistance = kWindowSize;
static_assert(SlotsEnd(kDistanceBase, kDistanceExtraBits) == kMaxDistance);

// LZ mode's main symbols:
inline constexpr uint32_t kLiteralCount = 256;  // 0-255: a literal byte
inline constexpr uint32_t kRepeatLast = 256;    // the previous match again
inline constexpr uint32_t kRecentFirst = 257;   // 257-260: a recent distance (newest first), a coded length
inline constexpr uint32_t kRecentDistances = 4;
inline constexpr uint32_t kShortFirst = 261;    // 261-268: length 2, a short distance slot
inline constexpr uint32_t kNewTables = 269;     // a table block follows
inline constexpr uint32_t kMatchFirst = 270;    // 270-297: a length slot, then a distance
static_assert(kShortFirst == kRecentFirst + kRecentDistances);
static_assert(kNewTables == kShortFirst + kShortDistanceSlots);

// Lengths: a match with a length slot and a distance (270-297) is the slot's
// value + 3 long, one at a recent distance (257-260, whose length slot is
// coded with the repeat table) + 2, a short one (261-268) 2.
inline constexpr uint32_t kMatchLengthBase = 3;
inline constexpr uint32_t kRecentLengthBase = 2;
inline constexpr uint32_t kShortMatchLength = 2;
// A distance is its slot's value + 1.
inline constexpr uint32_t kDistanceBias = 1;

// Far matches are longer than their coded length: one more from distance
// 0x2000 and another from 0x40000, and a match at a recent distance one more
// from 0x101 too. Short matches and the previous match again get nothing
// added (the latter repeats a length already made longer).
enum class LengthCoding { kWithDistance, kAtRecentDistance };
constexpr uint32_t LengthBonus(LengthCoding coding, uint32_t distance) {
  return static_cast<uint32_t>(coding == LengthCoding::kAtRecentDistance && distance >= 0x101) +
         static_cast<uint32_t>(distance >= 0x2000) + static_cast<uint32_t>(distance >= 0x40000);
}

// The longest match, and so the most output one code can yield; the most one
// packed byte can yield, since every code takes a bit.
inline constexpr uint32_t kMaxMatchLength =
    kMatchLengthBase + SlotsEnd(kLengthBase, kLengthExtraBits) - 1 +
    LengthBonus(LengthCoding::kWithDistance, kMaxDistance);
static_assert(kMaxMatchLength == kRecentLengthBase + SlotsEnd(kLengthBase, kLengthExtraBits) - 1 +
                                     LengthBonus(LengthCoding::kAtRecentDistance, kMaxDistance));
inline constexpr uint32_t kMaxBytesPerCode = kMaxMatchLength;
inline constexpr uint32_t kMaxBytesPerPackedByte = 8 * kMaxBytesPerCode;

// The alphabets. LZ mode: main, distance slots, repeat-length slots (the
// length slots again), in this order in a table block. Multimedia mode: one
// per channel, 0-255 a byte's symbol and 256 a table block.
inline constexpr uint32_t kMainSymbols = kMatchFirst + kLengthSlots;  // 298
inline constexpr uint32_t kDistanceSymbols = kDistanceSlots;          // 48
inline constexpr uint32_t kRepeatSymbols = kLengthSlots;              // 28
inline constexpr uint32_t kLzLengths = kMainSymbols + kDistanceSymbols + kRepeatSymbols;  // 374
inline constexpr uint32_t kAudioNewTables = 256;
inline constexpr uint32_t kAudioSymbols = 257;
inline constexpr uint32_t kMaxChannels = 4;
inline constexpr uint32_t kMaxTableLengths = kAudioSymbols * kMaxChannels;  // 1028

// ---------------------------------------------------------------------------
// What this reader takes.

// Unpack versions.
inline constexpr uint8_t kMinVersion = 13;
inline constexpr uint8_t kMaxVersion = 20;
constexpr bool VersionSupported(uint8_t version) {
  return version >= kMinVersion && version <= kMaxVersion;
}

// Name bytes the reader keeps; a longer name is matched on these.
inline constexpr uint32_t kMaxNameLength = 259;

// Block positions and a file's output are counted in signed 32 bits.
inline constexpr uint32_t kMaxArchiveSize = 0x7FFFFFFF;
inline constexpr uint32_t kMaxFileSize = 0x7FFFFFFF;

// A header too small for its own name is damaged.
constexpr bool HeaderHoldsName(const FileHeader& h) {
  return h.header_size >= kFileHeaderSize + h.name_size;
}

// Whether `present` bytes of packed data (no more than the header claims)
// could give the file's unpacked size: a stored file holds its bytes as
// they are; compressed, a bit yields at most one code's output.
constexpr bool SizeIsPossible(const FileHeader& h, uint64_t present) {
  if (h.method == kMethodStored) return h.unpacked_size <= present;
  if (h.unpacked_size > kMaxFileSize) return false;
  return uint64_t{h.unpacked_size} <= present * kMaxBytesPerPackedByte;
}

}  // namespace rar
