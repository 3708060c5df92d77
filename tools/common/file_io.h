// File helpers of the command-line tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// The whole file; throws std::runtime_error with "PATH: reason" on failure.
std::vector<uint8_t> ReadWholeFile(const std::string& path);

// Writes `bytes` to a temporary file beside `path`, flushes it and renames it
// over `path`, so that `path` is never left half-written. Throws on failure,
// leaving no temporary file behind.
// An `executable` file is made runnable by everyone who may read it (where
// the system has such a mode).
void WriteFileAtomically(const std::string& path, const uint8_t* bytes, size_t size, bool executable = false);

// Writes everything to standard output; throws on failure.
void WriteStandardOutput(const uint8_t* bytes, size_t size);

}  // namespace tools
