// The playlist of a disk ("playlist.csv"): made from the songs' titles, or
// read from the user's file, and checked against what the player can show.
//
// The player reads "title;file name\n" lines of 8-bit text (the font covers
// Latin-1), keeps at most 256 entries and 259 bytes a field, and formats the
// track line "%02d: %s" into 255 characters. A disk is refused rather than
// shown cut or mixed up, so every limit is checked here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/font_descriptor.h"

namespace disk {

inline constexpr size_t kMaxEntries = 256;
inline constexpr size_t kMaxField = 259;
inline constexpr size_t kMaxTrackLine = 255;

struct Entry {
  std::string title;      // 8-bit text, as the player shows it
  std::string file_name;  // the song's name in the archive
};

// UTF-8 text as the player's 8-bit code page (Latin-1). Characters outside
// Latin-1, control characters, ";" (it ends a title) and characters
// `font` has no glyph for become '?', each reported in `replaced` as
// "'<char>' (U+XXXX)". Malformed UTF-8 bytes are taken as Latin-1 bytes.
std::string ToPlayerText(const std::string& utf8, const GlyphTable& font, std::vector<std::string>* replaced);

// Reads the user's playlist file. Throws std::runtime_error ("PATH:LINE:
// reason") for a line without ";" (a last line without "\n" counts as a line).
std::vector<Entry> ParsePlaylistFile(const std::string& path, const std::string& text);

// Checks entries against the player's limits; throws std::runtime_error
// naming the entry and the limit.
void CheckEntries(const std::vector<Entry>& entries);

// The text of "playlist.csv".
std::string PlaylistText(const std::vector<Entry>& entries);

}  // namespace disk
