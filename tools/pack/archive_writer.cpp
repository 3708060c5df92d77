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

// Appends `size` zero bytes for a header and returns where they start.
size_t Reserve(Bytes& out, size_t size) {
  size_t start = out.size();
  out.resize(start + size, 0);
  return start;
}

// Header CRCs are the low 16 bits of the CRC-32 of the header after its CRC
// field, over `length` bytes.
void PatchHeaderCrc(Bytes& out, size_t block_start, size_t length, int32_t given) {
  const size_t after_crc = rar::kHeaderCrcAt + sizeof(uint16_t);
  uint32_t crc = given >= 0 ? static_cast<uint32_t>(given)
                            : Crc32Of(out.data() + block_start + after_crc, length - after_crc);
  rar::StoreLe16(out.data() + block_start + rar::kHeaderCrcAt, crc & 0xFFFF);
}

}  // namespace

void AppendSignature(Bytes& out, Signature signature) {
  const uint8_t* sig =
      signature == Signature::kStandard ? rar::kSignature : rar::kAlternativeSignature;
  out.insert(out.end(), sig, sig + rar::kSignatureSize);
}

void AppendMainHeader(Bytes& out, uint16_t flags, const Bytes& extra, int32_t header_crc) {
  rar::MainHeader h{};
  h.block_type = rar::kMainBlock;
  h.flags = flags;
  h.header_size = static_cast<uint16_t>(rar::kMainHeaderSize + extra.size());
  size_t start = Reserve(out, rar::kMainHeaderSize);
  rar::WriteMainHeader(h, out.data() + start);
  // As the original archiver does, the main header CRC covers the fixed part only.
  PatchHeaderCrc(out, start, rar::kMainHeaderSize, header_crc);
  out.insert(out.end(), extra.begin(), extra.end());
}

void AppendFileBlock(Bytes& out, const FileBlock& block) {
  const size_t header_size = block.header_size >= 0
                                 ? static_cast<size_t>(block.header_size)
                                 : rar::kFileHeaderSize + block.name.size() + block.extra.size();
  const size_t name_size = block.name_size >= 0 ? static_cast<size_t>(block.name_size) : block.name.size();
  const rar::FileHeader h{
      {0, block.block_type, block.flags, static_cast<uint16_t>(header_size)},
      block.packed_size_from_data ? static_cast<uint32_t>(block.data.size()) : block.packed_size,
      block.unpacked_size,
      block.host_system,
      block.file_crc,
      block.modified_time,
      block.version_needed,
      block.method,
      static_cast<uint16_t>(name_size),
      block.attributes};
  size_t start = Reserve(out, rar::kFileHeaderSize);
  rar::WriteFileHeader(h, out.data() + start);
  out.insert(out.end(), block.name.begin(), block.name.end());
  // The CRC covers the fixed part and the name, not the extra bytes.
  PatchHeaderCrc(out, start, rar::kFileHeaderSize + block.name.size(), block.header_crc);
  out.insert(out.end(), block.extra.begin(), block.extra.end());
  out.insert(out.end(), block.data.begin(), block.data.end());
}

void AppendRawBlock(Bytes& out, uint8_t type, uint16_t flags, const Bytes& body, const Bytes& data) {
  bool has_data = (flags & rar::kLongBlock) != 0;
  const uint32_t fixed = has_data ? rar::kDataSizeAt + 4 : rar::kBlockHeaderSize;
  rar::BlockHeader h{};
  h.block_type = type;
  h.flags = flags;
  h.header_size = static_cast<uint16_t>(fixed + body.size());
  size_t start = Reserve(out, fixed);
  rar::WriteBlockHeader(h, out.data() + start);
  if (has_data) rar::StoreLe32(out.data() + start + rar::kDataSizeAt, static_cast<uint32_t>(data.size()));
  out.insert(out.end(), body.begin(), body.end());
  PatchHeaderCrc(out, start, h.header_size, -1);
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
    if (f.data.size() > rar::kMaxFileSize) throw std::runtime_error(f.name + ": files of 2 GiB or more cannot be archived");
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
    block.flags = rar::kLongBlock | rar::kFileWindow1M;
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
  if (out.size() > rar::kMaxArchiveSize) throw std::runtime_error("the archive would reach 2 GiB, more than the reader takes");
  if (options.scramble) {
    for (uint8_t& b : out) b ^= kArchiveKey;
  }
  return out;
}

}  // namespace pack
