// A quick upper bound on what LZ coding would spend on each chunk: a greedy
// parse that looks at one earlier position per step. The compressor uses it
// to leave out of the full parse the stretches that multimedia coding wins
// by far (sample data), where the full parse would spend most of its time
// finding nothing.
#pragma once

#include <cstdint>
#include <vector>

namespace pack {

// Estimated bits per chunk of `chunk` bytes for buf[begin, end); matches may
// reach back into the buffer before `begin`, as far as the window allows.
std::vector<double> ProbeLzBits(const uint8_t* buf, uint32_t begin, uint32_t end, uint32_t chunk);

}  // namespace pack
