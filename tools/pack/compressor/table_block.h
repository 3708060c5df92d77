// Table blocks: the code lengths of every alphabet of one mode.
//
// A block starts with the mode (LZ or multimedia), a bit that says whether the
// new lengths are differences against the previous block's lengths, the
// channel count in multimedia mode, and the 19 lengths of a pre-code; the
// lengths follow, each a pre-code symbol: 0-15 a length (or a difference
// modulo 16), 16 a run of the previous length, 17 and 18 runs of zeros.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/pack/compressor/bit_writer.h"
#include "tools/pack/compressor/code_slots.h"

namespace pack {

// What the decoder remembers of earlier table blocks. `known` counts the
// leading entries of `previous` the decoder is certain to hold: a block only
// sets as many entries as it carries, and what a decoder keeps beyond them
// is its own business, so differences are only coded within that range.
struct TableHistory {
  uint8_t previous[codes::kMaxTableLengths] = {};
  int known = codes::kMaxTableLengths;

  void Reset();
};

struct TableBlock {
  bool audio = false;
  int channels = 1;               // 1-4, multimedia mode only
  std::vector<uint8_t> lengths;   // 374 in LZ mode, 257 per channel in multimedia mode
};

// Bits the block would take with the cheaper of the two codings.
uint64_t TableBlockBits(const TableHistory& history, const TableBlock& block);

// Writes the block with the cheaper coding and records it in `history`.
// Returns the bits written.
uint64_t WriteTableBlock(BitWriter& out, TableHistory& history, const TableBlock& block);

}  // namespace pack
