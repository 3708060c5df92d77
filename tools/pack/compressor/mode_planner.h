// Choosing LZ or multimedia coding for each chunk of a stretch of input.
//
// The caller measures every chunk both ways: the LZ codes its parse gave,
// and the multimedia symbols for 1 to 4 channels. The planner prices them
// with statistics gathered over the chunks that use each mode, adds the cost
// of the table block that every change of mode needs, and picks the cheapest
// sequence of modes.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/pack/compressor/code_slots.h"
#include "tools/pack/compressor/lz_codes.h"

namespace pack {

// 0: LZ; 1 to 4: multimedia with that many channels.
using CodingMode = int;

struct ChunkMeasures {
  std::vector<LzStats> lz;  // per chunk
  // audio[n][chunk]: symbol counts, 256 per channel, for n channels (1 to 4);
  // empty when multimedia coding is not considered.
  std::vector<std::vector<uint32_t>> audio[codes::kMaxChannels + 1];
};

// The cheapest multimedia coding of each chunk, in bits, with prices taken
// over all chunks; infinite when multimedia coding is not considered.
std::vector<double> BestAudioBits(const ChunkMeasures& measures);

// `current`: the mode of the decoder's current tables, or -1 when it has
// none (then the first chunk pays a table block whatever its mode).
std::vector<CodingMode> PlanModes(const ChunkMeasures& measures, CodingMode current);

}  // namespace pack
