#include "archive/crc32.h"

#include <bit>
#include <cstring>
#include <initializer_list>

#if defined(__x86_64__)
#include <immintrin.h>
#define QUARB_CRC_FOLDING 1
#endif

static_assert(std::endian::native == std::endian::little,
              "the sliced CRC loads bytes as little-endian words");

namespace {

// crc_tables[0] is the classic byte-at-a-time table; tables 1 to 7 extend it
// so that eight bytes are folded into the register per step ("slicing by 8").
// Both ways give the same register values.
uint32_t crc_tables[8][256];
bool crc_tables_built = false;

// The fastest path this processor has (BuildCrcTable).
CrcPath best_path = CrcPath::kTables;

#ifdef QUARB_CRC_FOLDING

// Carry-less multiplication folds 64 bytes at a time into four 128-bit
// remainders, then one, then reduces that to the 32-bit register (Barrett
// reduction). The constants are powers of x modulo the bit-reflected
// polynomial: x^(4*128+32) and x^(4*128-32) for the four-way fold, x^(128+32)
// and x^(128-32) for the one-way fold, x^64, and the polynomial with its
// Barrett quotient. Needs at least 64 bytes; takes whole 16-byte blocks and
// advances `p` and `length` past them.
#define QUARB_FOLDING_TARGET __attribute__((target("pclmul,sse4.1")))

QUARB_FOLDING_TARGET inline __m128i Load128(const uint8_t* q) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
}

// x times the two constants of k, folded onto `next`.
QUARB_FOLDING_TARGET inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
  __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
  __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

// Folds the whole 16-byte blocks left onto the remainder x0 and reduces it
// to the 32-bit register. Inlined into each fold, so that it is encoded as
// the rest of that fold is (a wide fold's registers must not meet legacy
// SSE encodings: that costs more than the fold on short inputs).
QUARB_FOLDING_TARGET inline uint32_t ReduceFolded(__m128i x0, const uint8_t*& p, size_t& length) {
  const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
  const __m128i k5k0 = _mm_set_epi64x(0, 0x0163cd6124);
  const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
  while (length >= 16) {
    x0 = Fold(x0, k3k4, Load128(p));
    p += 16;
    length -= 16;
  }
  // 128 bits to 64.
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
  __m128i t = _mm_clmulepi64_si128(x0, k3k4, 0x10);
  x0 = _mm_xor_si128(_mm_srli_si128(x0, 8), t);
  t = _mm_srli_si128(x0, 4);
  x0 = _mm_and_si128(x0, low32);
  x0 = _mm_xor_si128(_mm_clmulepi64_si128(x0, k5k0, 0x00), t);
  // 64 bits to 32.
  t = _mm_and_si128(x0, low32);
  t = _mm_clmulepi64_si128(t, poly, 0x10);
  t = _mm_and_si128(t, low32);
  t = _mm_clmulepi64_si128(t, poly, 0x00);
  x0 = _mm_xor_si128(x0, t);
  return static_cast<uint32_t>(_mm_extract_epi32(x0, 1));
}

QUARB_FOLDING_TARGET uint32_t FoldCrc(uint32_t crc, const uint8_t*& p, size_t& length) {
  const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
  const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
  __m128i x0 = _mm_xor_si128(Load128(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x1 = Load128(p + 16);
  __m128i x2 = Load128(p + 32);
  __m128i x3 = Load128(p + 48);
  p += 64;
  length -= 64;
  while (length >= 64) {
    x0 = Fold(x0, k1k2, Load128(p));
    x1 = Fold(x1, k1k2, Load128(p + 16));
    x2 = Fold(x2, k1k2, Load128(p + 32));
    x3 = Fold(x3, k1k2, Load128(p + 48));
    p += 64;
    length -= 64;
  }
  x0 = Fold(x0, k3k4, x1);
  x0 = Fold(x0, k3k4, x2);
  x0 = Fold(x0, k3k4, x3);
  return ReduceFolded(x0, p, length);
}

// The same two lanes at a time where the processor multiplies two 128-bit
// lanes with one instruction (VPCLMULQDQ on 256-bit registers, which
// processors without AVX-512 have too): four registers fold 128 bytes at a
// time (x^(8*128+32) and x^(8*128-32)), then one register 32 bytes at a
// time (x^(2*128+32), x^(2*128-32)), whose two lanes are folded into one
// as above. About twice as fast on long inputs (bench/crc_bench). Needs at
// least 128 bytes. (512-bit registers gained nothing more in extraction,
// and make some processors lower their clock.)
#define QUARB_WIDE_FOLDING_TARGET __attribute__((target("avx2,vpclmulqdq,pclmul,sse4.1")))

QUARB_WIDE_FOLDING_TARGET inline __m256i Load256(const uint8_t* q) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q));
}

QUARB_WIDE_FOLDING_TARGET inline __m256i Fold256(__m256i x, __m256i k, __m256i next) {
  const __m256i lo = _mm256_clmulepi64_epi128(x, k, 0x00);
  const __m256i hi = _mm256_clmulepi64_epi128(x, k, 0x11);
  return _mm256_xor_si256(_mm256_xor_si256(lo, hi), next);
}

QUARB_WIDE_FOLDING_TARGET uint32_t WideFoldCrc(uint32_t crc, const uint8_t*& p, size_t& length) {
  const __m256i k128 = _mm256_set_epi64x(0x014a7fe880, 0x01e88ef372, 0x014a7fe880, 0x01e88ef372);
  const __m256i k32 = _mm256_set_epi64x(0x015a546366, 0x00f1da05aa, 0x015a546366, 0x00f1da05aa);
  const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
  __m256i x0 = _mm256_xor_si256(Load256(p), _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(crc))));
  __m256i x1 = Load256(p + 32);
  __m256i x2 = Load256(p + 64);
  __m256i x3 = Load256(p + 96);
  p += 128;
  length -= 128;
  while (length >= 128) {
    x0 = Fold256(x0, k128, Load256(p));
    x1 = Fold256(x1, k128, Load256(p + 32));
    x2 = Fold256(x2, k128, Load256(p + 64));
    x3 = Fold256(x3, k128, Load256(p + 96));
    p += 128;
    length -= 128;
  }
  x0 = Fold256(x0, k32, x1);
  x0 = Fold256(x0, k32, x2);
  x0 = Fold256(x0, k32, x3);
  while (length >= 32) {
    x0 = Fold256(x0, k32, Load256(p));
    p += 32;
    length -= 32;
  }
  const __m128i y = Fold(_mm256_castsi256_si128(x0), k3k4, _mm256_extracti128_si256(x0, 1));
  return ReduceFolded(y, p, length);
}
#endif

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
  for (CrcPath path : {CrcPath::kFolding, CrcPath::kWideFolding}) {
    if (CrcPathAvailable(path)) best_path = path;
  }
  crc_tables_built = true;
}

bool CrcPathAvailable(CrcPath path) {
  switch (path) {
    case CrcPath::kTables:
      return true;
#ifdef QUARB_CRC_FOLDING
    case CrcPath::kFolding:
      return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    case CrcPath::kWideFolding:
      return CrcPathAvailable(CrcPath::kFolding) && __builtin_cpu_supports("avx2") &&
             __builtin_cpu_supports("vpclmulqdq");
#endif
    default:
      return false;
  }
}

uint32_t Crc32By(CrcPath path, uint32_t crc, const void* bytes, size_t length) {
  const uint8_t* p = static_cast<const uint8_t*>(bytes);
#ifdef QUARB_CRC_FOLDING
  if (path == CrcPath::kWideFolding && length >= 128) {
    crc = WideFoldCrc(crc, p, length);
  } else if (path != CrcPath::kTables && length >= 64) {
    crc = FoldCrc(crc, p, length);
  }
#endif
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

uint32_t Crc32(uint32_t crc, const void* bytes, size_t length) { return Crc32By(best_path, crc, bytes, length); }

uint32_t Crc32Of(const void* bytes, size_t length) {
  BuildCrcTable();
  return ~Crc32(0xFFFFFFFFu, bytes, length);
}
