// File writers for the tracker formats: the three of the disk, and Impulse
// Tracker for the tests of quarb-disk.
//
// Each returns the whole file. A module that the format cannot carry (a note
// outside its range, too many samples or channels, two effects in a cell of a
// format with one effect column) is refused with std::runtime_error naming the
// place, never written approximately.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/gen/songs/module.h"

namespace songs {

using Bytes = std::vector<uint8_t>;

// ProTracker "M.K." (4 channels), "6CHN" or "8CHN": 31 samples, 64-row patterns,
// 8-bit samples, notes 48..83 (three Amiga octaves), one effect per cell (a
// volume becomes effect C).
Bytes WriteMod(const Module& module);

// Scream Tracker 3: up to 16 channels here, 99 samples, 64-row patterns,
// 8-bit unsigned samples, notes 12..107 with a volume column.
Bytes WriteS3m(const Module& module);

// FastTracker 2 (version 1.04): up to 32 channels, one sample per instrument
// with its volume envelope, 16-bit delta-coded samples, linear frequencies.
Bytes WriteXm(const Module& module);

// Impulse Tracker 2.14 in sample mode: up to 64 channels, 99 samples, 8-bit
// signed samples, notes 0..119 with a volume column; effects: speed, tempo,
// pattern break and position jump only.
Bytes WriteIt(const Module& module);

}  // namespace songs
