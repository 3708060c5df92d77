// libFuzzer target: ParsePlaylist on arbitrary text.
//
// The input is parsed twice into one table, the second time appending after
// the first, so that the table's limit is reached too. The parser may make
// any entries of nonsense; it may not read outside the text, write beyond
// the entries it counts, leave a field without its NUL, or count more
// entries than the text has line ends.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "data/playlist.h"

namespace {

constexpr char kUntouched = '\x5A';

Playlist table;
PlaylistEntry untouched_entry;

void CheckTable(int32_t before, int32_t line_ends) {
  if (table.count < before || table.count > kPlaylistMaxEntries) std::abort();
  if (table.count - before > line_ends) std::abort();
  for (int32_t i = 0; i < kPlaylistMaxEntries; ++i) {
    const PlaylistEntry& e = table.entries[i];
    if (i < table.count) {
      if (std::memchr(e.title, '\0', sizeof e.title) == nullptr) std::abort();
      if (std::memchr(e.file_name, '\0', sizeof e.file_name) == nullptr) std::abort();
    } else if (std::memcmp(&e, &untouched_entry, sizeof e) != 0) {
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size heap copy, so that a read one byte too far is caught.
  std::vector<char> text(data, data + size);
  int32_t line_ends = 0;
  for (size_t i = 0; i < size && text[i] != '\0'; ++i) line_ends += text[i] == '\n';

  std::memset(&untouched_entry, kUntouched, sizeof untouched_entry);
  std::memset(&table, kUntouched, sizeof table);
  table.count = 0;
  ParsePlaylist(text.data(), size, table);
  CheckTable(0, line_ends);
  int32_t first = table.count;
  ParsePlaylist(text.data(), size, table);
  CheckTable(first, line_ends);
  return 0;
}
