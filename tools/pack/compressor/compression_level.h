// What each compression level does: -1 is the fastest, -5 the smallest.
#pragma once

#include "tools/pack/compressor/lz_parser.h"

namespace pack {

inline constexpr int kMinLevel = 1;
inline constexpr int kMaxLevel = 5;

struct LevelSettings {
  ParseSettings parse;
  int hash_bits;
  int depth;      // hash-chain candidates per position
  uint32_t good;  // a match this long shortens the search
};

inline LevelSettings SettingsForLevel(int level) {
  switch (level) {
    case 1: return {{ParseMethod::kGreedy, 32, 1}, 15, 4, 8};
    case 2: return {{ParseMethod::kLazy, 64, 1}, 16, 12, 16};
    case 3: return {{ParseMethod::kLazy, 128, 1}, 16, 48, 32};
    case 4: return {{ParseMethod::kOptimal, 128, 1}, 17, 32, 32};
    default: return {{ParseMethod::kOptimal, 258, 2}, 17, 128, 64};
  }
}

}  // namespace pack
