#include "archive/crc32.h"

#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "the sliced CRC loads bytes as little-endian words");

namespace {

// crc_tables[0] is the classic byte-at-a-time table; tables 1 to 7 extend it
// so that eight bytes are folded into the register per step ("slicing by 8").
// Both ways give the same register values.
uint32_t crc_tables[8][256];
bool crc_tables_built = false;

}  // namespace

void BuildCrcTable() {
  if (crc_tables_built) return;
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    crc_tables[0][i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i) {
    for (int t = 1; t < 8; ++t) {
      uint32_t prev = crc_tables[t - 1][i];
      crc_tables[t][i] = crc_tables[0][prev & 0xFF] ^ (prev >> 8);
    }
  }
  crc_tables_built = true;
}

uint32_t Crc32(uint32_t crc, const void* bytes, size_t length) {
  const uint8_t* p = static_cast<const uint8_t*>(bytes);
  // Align nothing: memcpy loads are as fast as aligned ones on the machines
  // we target and keep the code free of alignment assumptions.
  while (length >= 8) {
    uint32_t lo, hi;
    std::memcpy(&lo, p, 4);
    std::memcpy(&hi, p + 4, 4);
    lo ^= crc;
    crc = crc_tables[7][lo & 0xFF] ^ crc_tables[6][(lo >> 8) & 0xFF] ^
          crc_tables[5][(lo >> 16) & 0xFF] ^ crc_tables[4][lo >> 24] ^
          crc_tables[3][hi & 0xFF] ^ crc_tables[2][(hi >> 8) & 0xFF] ^
          crc_tables[1][(hi >> 16) & 0xFF] ^ crc_tables[0][hi >> 24];
    p += 8;
    length -= 8;
  }
  while (length-- > 0) crc = crc_tables[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
  return crc;
}

uint32_t Crc32Of(const void* bytes, size_t length) {
  BuildCrcTable();
  return ~Crc32(0xFFFFFFFFu, bytes, length);
}
