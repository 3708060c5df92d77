// Small helpers shared by the archive tests.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "archive/crc32.h"
#include "archive/extract.h"
#include "tools/pack/archive_writer.h"

namespace testing_helpers {

using pack::Bytes;

// The sweeps over damaged images try one case in N where the environment
// says QUARB_SWEEP_SAMPLE=N (the sanitized run does), every case otherwise.
inline uint32_t SweepSampleEvery() {
  const char* value = std::getenv("QUARB_SWEEP_SAMPLE");
  int n = value ? std::atoi(value) : 1;
  return n < 1 ? 1u : static_cast<uint32_t>(n);
}

// ExtractFile on a copy of `image`; nullopt when it fails (and then checks
// that the failure reported a null buffer and size 0).
inline std::optional<Bytes> Extract(Bytes image, const std::string& name) {
  MemoryArchive archive{image.data(), static_cast<uint32_t>(image.size()), 0};
  uint8_t* buffer = reinterpret_cast<uint8_t*>(1);
  uint32_t size = 12345;
  int ok = ExtractFile(&buffer, &size, name.c_str(), &archive, nullptr);
  if (!ok) {
    if (buffer != nullptr || size != 0) std::abort();
    return std::nullopt;
  }
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A well-formed stored file block.
inline pack::FileBlock Stored(const std::string& name, const Bytes& data) {
  pack::FileBlock block;
  block.name = name;
  block.data = data;
  block.unpacked_size = static_cast<uint32_t>(data.size());
  block.file_crc = Crc32Of(data.data(), data.size());
  return block;
}

inline Bytes ArchiveOf(const std::vector<pack::FileBlock>& blocks, uint16_t main_flags = 0,
                       pack::Signature signature = pack::Signature::kStandard) {
  Bytes out;
  pack::AppendSignature(out, signature);
  pack::AppendMainHeader(out, main_flags);
  for (const pack::FileBlock& b : blocks) pack::AppendFileBlock(out, b);
  return out;
}

}  // namespace testing_helpers
