#include "tools/pack/compressor/code_slots.h"

#include <array>
#include <cstddef>

namespace pack::codes {

namespace {

template <std::size_t N, typename Base>
std::array<uint8_t, 256> SlotTable(const Base (&base)[N], const uint8_t (&extra)[N]) {
  std::array<uint8_t, 256> table{};
  for (std::size_t slot = 0; slot < N; ++slot) {
    for (uint32_t v = base[slot]; v < base[slot] + (1u << extra[slot]) && v < 256; ++v) {
      table[v] = static_cast<uint8_t>(slot);
    }
  }
  return table;
}

const std::array<uint8_t, 256> kLengthSlots = SlotTable(kLengthBase, kLengthExtraBits);
const std::array<uint8_t, 256> kShortSlots = SlotTable(kShortDistanceBase, kShortDistanceExtraBits);

}  // namespace

int LengthSlot(uint32_t value) { return kLengthSlots[value]; }

int ShortDistanceSlot(uint32_t value) { return kShortSlots[value]; }

int DistanceSlot(uint32_t value) {
  if (value < 4) return static_cast<int>(value);
  // Slots 4 to 35 come in pairs per power of two: the top bit picks the pair,
  // the bit below it the member. From 2^18 on every slot spans 2^16.
  if (value >= 0x40000) return 36 + static_cast<int>((value - 0x40000) >> 16);
  int top = 31 - __builtin_clz(value);
  return 2 * top + static_cast<int>((value >> (top - 1)) & 1);
}

}  // namespace pack::codes
