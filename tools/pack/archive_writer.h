// Writing RAR 2.0 archives: the block builders and the whole-archive packer.
//
// The block builders write exactly the fields they are given, which lets tests
// state damaged or unusual archives byte for byte; BuildArchive uses them to
// write a well-formed archive from a list of files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/archive_format.h"

namespace pack {

using Bytes = std::vector<uint8_t>;

enum class Signature { kStandard, kAlternative };

// Every field of a file block. Defaults describe a stored file of unpack
// version 20 written by a DOS host; AppendFileBlock computes the header CRC
// unless header_crc is set, and header_size unless it is set.
struct FileBlock {
  uint8_t block_type = rar::kFileBlock;
  uint16_t flags = rar::kLongBlock;
  int32_t header_size = -1;     // -1: rar::kFileHeaderSize + name + extra
  uint32_t packed_size = 0;     // ignored when packed_size_from_data
  bool packed_size_from_data = true;
  uint32_t unpacked_size = 0;
  uint8_t host_system = 0;      // MS-DOS
  uint32_t file_crc = 0;
  uint32_t modified_time = 0;   // DOS date and time
  uint8_t version_needed = 20;
  uint8_t method = rar::kMethodStored;
  int32_t name_size = -1;       // -1: the name's length
  uint32_t attributes = 0x20;   // archive bit
  std::string name;
  Bytes extra;                  // header bytes after the name (comment, times)
  Bytes data;                   // packed data after the header
  int32_t header_crc = -1;      // -1: computed
};

void AppendSignature(Bytes& out, Signature signature);
// The 13-byte main header; header_size may exceed 13 when `extra` follows.
void AppendMainHeader(Bytes& out, uint16_t flags, const Bytes& extra = {}, int32_t header_crc = -1);
void AppendFileBlock(Bytes& out, const FileBlock& block);
// A block of any other type: the common part, an optional data size, a body.
void AppendRawBlock(Bytes& out, uint8_t type, uint16_t flags, const Bytes& body,
                    const Bytes& data = {});

// The DOS date and time of a Unix time (local time zone is not used: UTC).
uint32_t DosTime(int64_t unix_seconds);

struct InputFile {
  std::string name;   // name stored in the archive
  Bytes data;
  uint32_t dos_time = 0;
};

struct PackOptions {
  bool solid = false;
  Signature signature = Signature::kStandard;
  bool scramble = false;  // XOR every byte with the player's key
  // 0 stores; 1 (fastest) to 5 (smallest) compress, method byte '0' + level.
  // Outside solid archives a file that does not shrink is stored anyway.
  int level = 0;
};

// Called with bytes done and bytes in all while packing.
using Progress = std::function<void(uint64_t done, uint64_t total)>;

// Builds a whole archive. Throws std::runtime_error for input the format
// cannot carry (a file of 2 GiB or more, a name longer than 65535 bytes, an
// archive of 2 GiB or more) and for a level outside 0 to 5.
Bytes BuildArchive(const std::vector<InputFile>& files, const PackOptions& options,
                   const Progress& progress = {});

// Names are stored with DOS separators.
std::string ArchiveName(const std::string& path);

}  // namespace pack
