#include "tools/pack/archive_writer.h"

#include <chrono>
#include <ctime>
#include <memory>
#include <stdexcept>

#include "archive/archive_format.h"
#include "archive/crc32.h"
#include "data/memory_archive.h"
#include "tools/pack/compressor/compression_level.h"
#include "tools/pack/compressor/stream_encoder.h"

namespace pack {

namespace {

void Put16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Patch16(Bytes& out, size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}

// Header CRCs are the low 16 bits of the CRC-32 of the header after its CRC
// field, over `length` bytes.
uint16_t HeaderCrc(const Bytes& out, size_t block_start, size_t length) {
  return static_cast<uint16_t>(Crc32Of(out.data() + block_start + 2, length - 2) & 0xFFFF);
}

}  // namespace

void AppendSignature(Bytes& out, Signature signature) {
  const uint8_t* sig =
      signature == Signature::kStandard ? rar::kSignature : rar::kAlternativeSignature;
  out.insert(out.end(), sig, sig + 7);
}

void AppendMainHeader(Bytes& out, uint16_t flags, const Bytes& extra, int32_t header_crc) {
  size_t start = out.size();
  Put16(out, 0);
  out.push_back(rar::kMainBlock);
  Put16(out, flags);
  Put16(out, static_cast<uint32_t>(rar::kMainHeaderSize + extra.size()));
  Put16(out, 0);
  Put32(out, 0);
  // As the original archiver does, the main header CRC covers the fixed part only.
  uint16_t crc = header_crc >= 0 ? static_cast<uint16_t>(header_crc)
                                 : HeaderCrc(out, start, rar::kMainHeaderSize);
  Patch16(out, start, crc);
  out.insert(out.end(), extra.begin(), extra.end());
}

void AppendFileBlock(Bytes& out, const FileBlock& block) {
  size_t start = out.size();
  uint32_t name_size = block.name_size >= 0 ? static_cast<uint32_t>(block.name_size)
                                            : static_cast<uint32_t>(block.name.size());
  uint32_t header_size =
      block.header_size >= 0
          ? static_cast<uint32_t>(block.header_size)
          : static_cast<uint32_t>(rar::kFileHeaderSize + block.name.size() + block.extra.size());
  uint32_t packed_size =
      block.packed_size_from_data ? static_cast<uint32_t>(block.data.size()) : block.packed_size;
  Put16(out, 0);
  out.push_back(block.block_type);
  Put16(out, block.flags);
  Put16(out, header_size);
  Put32(out, packed_size);
  Put32(out, block.unpacked_size);
  out.push_back(block.host_system);
  Put32(out, block.file_crc);
  Put32(out, block.modified_time);
  out.push_back(block.version_needed);
  out.push_back(block.method);
  Put16(out, name_size);
  Put32(out, block.attributes);
  out.insert(out.end(), block.name.begin(), block.name.end());
  // The CRC covers the fixed part and the name, not the extra bytes.
  uint16_t crc = block.header_crc >= 0
                     ? static_cast<uint16_t>(block.header_crc)
                     : HeaderCrc(out, start, rar::kFileHeaderSize + block.name.size());
  Patch16(out, start, crc);
  out.insert(out.end(), block.extra.begin(), block.extra.end());
  out.insert(out.end(), block.data.begin(), block.data.end());
}

void AppendRawBlock(Bytes& out, uint8_t type, uint16_t flags, const Bytes& body, const Bytes& data) {
  size_t start = out.size();
  bool has_data = (flags & rar::kLongBlock) != 0;
  uint32_t header_size = static_cast<uint32_t>(7 + (has_data ? 4 : 0) + body.size());
  Put16(out, 0);
  out.push_back(type);
  Put16(out, flags);
  Put16(out, header_size);
  if (has_data) Put32(out, static_cast<uint32_t>(data.size()));
  out.insert(out.end(), body.begin(), body.end());
  Patch16(out, start, HeaderCrc(out, start, header_size));
  out.insert(out.end(), data.begin(), data.end());
}

uint32_t DosTime(int64_t unix_seconds) {
  // In UTC, by the calendar alone: the same on every system.
  using namespace std::chrono;
  const sys_seconds instant{seconds{unix_seconds}};
  const sys_days day = floor<days>(instant);
  const year_month_day date_of{day};
  const hh_mm_ss<seconds> time_of{instant - day};
  int year = static_cast<int>(date_of.year());
  if (year < 1980) return (1u << 21) | (1u << 16);  // 1980-01-01, the earliest DOS date
  if (year > 2107) year = 2107;
  const unsigned month = static_cast<unsigned>(date_of.month());
  const unsigned mday = static_cast<unsigned>(date_of.day());
  const auto hours = static_cast<uint32_t>(time_of.hours().count());
  const auto minutes = static_cast<uint32_t>(time_of.minutes().count());
  const auto secs = static_cast<uint32_t>(time_of.seconds().count());
  uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | mday);
  uint32_t time = (hours << 11) | (minutes << 5) | (secs / 2);
  return (date << 16) | time;
}

std::string ArchiveName(const std::string& path) {
  std::string name = path;
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  return name;
}

Bytes BuildArchive(const std::vector<InputFile>& files, const PackOptions& options,
                   const Progress& progress) {
  if (options.level < 0 || options.level > kMaxLevel) {
    throw std::runtime_error("compression level " + std::to_string(options.level) + " is not between 0 and 5");
  }
  uint64_t total = 0;
  for (const InputFile& f : files) {
    // The decoder counts a file's bytes in a signed 32-bit number.
    if (f.data.size() > INT32_MAX) throw std::runtime_error(f.name + ": files of 2 GiB or more cannot be archived");
    if (f.name.empty()) throw std::runtime_error("a file needs a name in the archive");
    if (f.name.size() > UINT16_MAX) throw std::runtime_error(f.name.substr(0, 40) + "...: name too long");
    total += f.data.size();
  }
  Bytes out;
  AppendSignature(out, options.signature);
  AppendMainHeader(out, options.solid ? rar::kMainSolid : 0);
  uint64_t done = 0;
  std::unique_ptr<StreamEncoder> encoder;
  if (options.level > 0) encoder = std::make_unique<StreamEncoder>(options.level, options.solid);
  for (size_t i = 0; i < files.size(); ++i) {
    const InputFile& f = files[i];
    FileBlock block;
    block.flags = rar::kLongBlock | 0x0080;  // dictionary bits: 1 MiB
    const bool continues = options.solid && i > 0;
    if (continues) block.flags |= rar::kFileSolidContinuation;
    block.unpacked_size = static_cast<uint32_t>(f.data.size());
    block.file_crc = Crc32Of(f.data.data(), f.data.size());
    block.modified_time = f.dos_time;
    block.name = f.name;
    if (encoder) {
      Bytes packed = encoder->EncodeFile(f.data.data(), f.data.size(), continues, [&](uint64_t file_done) {
        if (progress) progress(done + file_done, total);
      });
      // In a solid archive every file belongs to the one stream; elsewhere a
      // file that does not shrink is better stored.
      if (options.solid || packed.size() < f.data.size()) {
        block.method = static_cast<uint8_t>(rar::kMethodStored + options.level);
        block.data = std::move(packed);
      } else {
        block.data = f.data;
      }
    } else {
      block.data = f.data;
    }
    AppendFileBlock(out, block);
    done += f.data.size();
    if (progress) progress(done, total);
  }
  if (out.size() > INT32_MAX) throw std::runtime_error("the archive would reach 2 GiB, more than the reader takes");
  if (options.scramble) {
    for (uint8_t& b : out) b ^= kArchiveKey;
  }
  return out;
}

}  // namespace pack
