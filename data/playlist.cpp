#include "data/playlist.h"

#include <algorithm>
#include <cstring>

namespace {

const char* Find(const char* from, const char* end, char wanted) {
  return static_cast<const char*>(std::memchr(from, wanted, static_cast<size_t>(end - from)));
}

// Zero-fills the field, then copies [begin, end) into it, cut so that the
// last byte stays NUL.
void StoreField(char (&field)[kPlaylistFieldSize], const char* begin, const char* end) {
  std::memset(field, 0, sizeof field);
  size_t n = std::min(static_cast<size_t>(end - begin), sizeof field - 1);
  std::memcpy(field, begin, n);
}

}  // namespace

void ParsePlaylist(const char* text, size_t length, Playlist& playlist) {
  if (text == nullptr) return;
  if (const char* nul = Find(text, text + length, '\0')) length = static_cast<size_t>(nul - text);
  const char* const end = text + length;
  const char* cursor = text;

  // An entry is written only once its ';' and the '\n' after it are both
  // found, so a text cut short never leaves half an entry behind.
  while (playlist.count >= 0 && playlist.count < kPlaylistMaxEntries) {
    // The ';' search deliberately crosses line ends: a line without ';' joins
    // the next one into a single entry.
    const char* semicolon = Find(cursor, end, ';');
    if (semicolon == nullptr) break;
    const char* newline = Find(semicolon + 1, end, '\n');
    if (newline == nullptr) break;

    PlaylistEntry& entry = playlist.entries[playlist.count];
    StoreField(entry.title, cursor, semicolon);
    StoreField(entry.file_name, semicolon + 1, newline);
    ++playlist.count;
    cursor = newline + 1;
  }
}
