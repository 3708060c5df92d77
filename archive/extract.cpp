#include "archive/extract.h"

#include <cstdlib>
#include <cstring>

#include "archive/archive_format.h"
#include "archive/bit_input.h"
#include "archive/crc32.h"
#include "archive/decoder_steps.h"
#include "archive/engine_state.h"
#include "archive/lz_decoder.h"

namespace {

ExtractState& s = engine::extract;

enum class BlockKind { kMain, kFile };

// Reads the main header or the fixed part of a block (as a file header) and
// decodes it. Returns the bytes read: 0 when the image has too few left, and
// then the decoded fields are not touched.
uint32_t ReadBlockHeader(BlockKind kind) {
  uint8_t raw[rar::kFileHeaderSize];
  const uint32_t size = kind == BlockKind::kMain ? rar::kMainHeaderSize : rar::kFileHeaderSize;
  if (ReadArchiveBytes(s.archive, raw, size) == 0) return 0;
  if (kind == BlockKind::kMain) {
    s.main_header = rar::ParseMainHeader(raw);
  } else {
    s.file_header = rar::ParseFileHeader(raw);
  }
  return size;
}

// Reads and checks the signature, then the main header. An image that starts
// with neither signature is not an archive.
bool CheckSignature() {
  uint8_t signature[rar::kSignatureSize];
  if (ReadArchiveBytes(s.archive, signature, sizeof signature) != sizeof signature) return false;
  if (std::memcmp(signature, rar::kSignature, sizeof signature) != 0 &&
      std::memcmp(signature, rar::kAlternativeSignature, sizeof signature) != 0) {
    return false;
  }
  return ReadBlockHeader(BlockKind::kMain) == rar::kMainHeaderSize;
}

// Walks from the read position to the next file block (or old-style sub-block,
// where the walk gives up). For a file block, reads its name into entry_name
// and returns a positive number; returns 0 when the walk runs off the image or
// meets a block that is too small or does not move forward.
int FindNextFile() {
  for (;;) {
    s.block_start = static_cast<int32_t>(s.archive->offset);
    if (ReadBlockHeader(BlockKind::kFile) == 0) return 0;
    const rar::FileHeader& h = s.file_header;
    if (h.header_size < rar::kBlockHeaderSize) return 0;
    int64_t next = static_cast<int64_t>(s.block_start) + h.header_size;
    if (h.flags & rar::kLongBlock) next += h.packed_size;
    // Block positions are signed 32-bit; a block reaching past that range
    // cannot lie in any image we read, so the walk ends there.
    if (next <= s.block_start || next > rar::kMaxArchiveSize) return 0;
    s.next_block_pos = static_cast<int32_t>(next);
    if (h.block_type == rar::kFileBlock || h.block_type == rar::kOldSubBlock) break;
    s.archive->offset = static_cast<uint32_t>(s.next_block_pos);
  }
  if (s.file_header.block_type == rar::kOldSubBlock) {
    s.archive->offset = static_cast<uint32_t>(s.block_start);
    return 1;
  }
  uint32_t name_length = s.file_header.name_size;
  if (name_length > rar::kMaxNameLength) name_length = rar::kMaxNameLength;
  if (name_length > 0 && ReadArchiveBytes(s.archive, s.entry_name, name_length) != name_length) {
    return 0;
  }
  s.entry_name[name_length] = '\0';
  return static_cast<int>(rar::kFileHeaderSize + name_length);
}

// A header that cannot be right, caught before anything is allocated for it:
// the header too small for its own name, or more output announced than the
// packed data can produce. Only the packed bytes the image really holds
// count: a header may claim any packed size, and a few hostile bytes must not
// make the engine allocate, clear and checksum gigabytes for a file that
// cannot be delivered.
bool HeaderIsPlausible(const rar::FileHeader& h) {
  if (!rar::HeaderHoldsName(h)) return false;
  uint64_t data_start = static_cast<uint64_t>(s.block_start) + h.header_size;
  uint64_t present = data_start < s.archive->size ? s.archive->size - data_start : 0;
  if (present > h.packed_size) present = h.packed_size;
  return rar::SizeIsPossible(h, present);
}

// A stored file is one read from the archive straight into the output. Stored
// files before the wanted one in a solid archive leave no trace in the decoder.
void CopyStoredFile() {
  if (!s.is_target) return;
  s.written = ReadPackedData(s.output, s.file_header.unpacked_size);
}

// Decodes (or copies) the current file and, for the wanted one, checks its CRC.
bool ProcessFile() {
  const rar::FileHeader& h = s.file_header;
  if (!rar::VersionSupported(h.version_needed)) return false;
  s.packed_remaining = h.packed_size;
  engine::bytes_left = static_cast<int32_t>(h.unpacked_size);
  // The packed data follows the whole header, which may carry more than the
  // name (an embedded comment, extended times, a salt).
  s.archive->offset = static_cast<uint32_t>(s.block_start) + h.header_size;
  s.output_crc = 0xFFFFFFFFu;
  if (h.method == rar::kMethodStored) {
    CopyStoredFile();
    if (s.output != nullptr) s.output_crc = Crc32(s.output_crc, s.output, s.written);
  } else {
    UnpackFile();  // the window's flushes take the checksum
  }
  if (s.output == nullptr) return true;
  // A file the data did not deliver whole is not the file, whatever the CRC
  // of the rest of the buffer would be.
  if (s.written != h.unpacked_size) return false;
  return ~s.output_crc == h.file_crc;
}

// The wanted file's buffer. Where the file starts a fresh stream it is the
// engine's window (sliding_window.h), with room for the step that may run
// past the file's end and for the 32 bytes a short match's copy writes
// beyond itself; otherwise a buffer of its size that the call's window is
// copied into.
bool AllocateOutput() {
  const rar::FileHeader& h = s.file_header;
  const uint32_t size = h.unpacked_size;
  s.written = 0;
  constexpr uint32_t kRoom = 2 * kFlushRoom;
  if (h.method != rar::kMethodStored && !engine::ContinuesStream() && size <= (1u << 31) - kRoom) {
    s.output = static_cast<uint8_t*>(std::malloc(size + kRoom));
    if (s.output == nullptr) return false;
    SlidingWindow& w = engine::window;
    w.data = s.output;
    w.size = size + kRoom;
    w.mask = ~0u;
    w.is_output = true;
    return true;
  }
  // malloc(0) may return null; one spare byte keeps "valid buffer" true.
  s.output = static_cast<uint8_t*>(std::malloc(size ? size : 1));
  return s.output != nullptr;
}

// Walks the blocks after the main header until the wanted file is extracted.
int WalkArchive() {
  s.archive->offset += static_cast<uint32_t>(s.main_header.header_size) - rar::kMainHeaderSize;
  const bool solid = (s.main_header.flags & rar::kMainSolid) != 0;
  for (;;) {
    if (FindNextFile() <= 0 || s.file_header.block_type == rar::kOldSubBlock) return 0;
    s.is_target = NamesMatch(s.target_name, s.entry_name);
    if (solid || s.is_target) {
      if (!HeaderIsPlausible(s.file_header)) return 0;
      if (s.is_target && !AllocateOutput()) return 0;
      if (!ProcessFile()) return 0;
    }
    s.archive->offset = static_cast<uint32_t>(s.next_block_pos);
    if (s.is_target) return 1;
  }
}

// The window's memory is the call's (the wanted file's own window is its
// output's).
int RunDriver() {
  s.archive->offset = 0;
  if (!CheckSignature()) return 0;
  uint8_t* window = static_cast<uint8_t*>(std::malloc(rar::kWindowSize));
  if (window == nullptr) return 0;
  SlidingWindow& w = engine::window;
  w.data = window;
  w.size = rar::kWindowSize;
  w.mask = rar::kWindowSize - 1;
  w.is_output = false;
  int result = WalkArchive();
  std::free(window);
  w.data = nullptr;
  return result;
}

// Copies a name into a work buffer with separators unified and ASCII letters
// upper-cased; bytes of 0x80 and above are left alone.
void NormaliseName(const char* name, char (&out)[512]) {
  size_t i = 0;
  for (; i < sizeof out - 1 && name[i] != '\0'; ++i) {
    char c = name[i];
    if (c == '\\' || c == '/') c = '_';
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    out[i] = c;
  }
  out[i] = '\0';
}

}  // namespace

bool NamesMatch(const char* a, const char* b) {
  char left[512], right[512];
  NormaliseName(a, left);
  NormaliseName(b, right);
  return std::strcmp(left, right) == 0;
}

int ExtractFile(uint8_t** buffer_out, uint32_t* size_out, const char* name,
                MemoryArchive* archive, const char* /*password*/) {
  BuildCrcTable();
  s = ExtractState{};
  s.archive = archive;
  int result = 0;
  if (name != nullptr && archive != nullptr) {
    // Names are at most rar::kMaxNameLength bytes; a longer one is cut rather than overrun.
    std::strncpy(s.target_name, name, sizeof s.target_name - 1);
    s.target_name[sizeof s.target_name - 1] = '\0';
    result = RunDriver();
  }
  if (result == 1) {
    *buffer_out = s.output;
    *size_out = s.written;
  } else {
    std::free(s.output);
    *buffer_out = nullptr;
    *size_out = 0;
  }
  s.output = nullptr;
  return result;
}
