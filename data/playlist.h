// The list of tracks: "playlist.csv" from the archive, parsed into a fixed table.
//
// One track per line, "title;file name\n". The title runs up to the first ';'
// (a line without one runs on into the next line's title), the file name from
// there to the end of the line. Fields are taken byte for byte: no trimming,
// and a "\r" before the "\n" stays in the file name. Text after the last "\n"
// is no track. The text ends at its length or at its first NUL byte.
//
// Limits: at most 256 entries (later lines are ignored) and 259 bytes per
// field (longer fields are cut, and stay NUL-terminated). When the text ends
// before a line's ';' or '\n' is found, parsing stops there.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int kPlaylistFieldSize = 260;   // bytes, NUL included
inline constexpr int kPlaylistMaxEntries = 256;

struct PlaylistEntry {
  char file_name[kPlaylistFieldSize];  // module name inside the archive
  char title[kPlaylistFieldSize];      // shown to the user
};

struct Playlist {
  PlaylistEntry entries[kPlaylistMaxEntries];
  int32_t count;  // entries filled
};

// Appends the lines of `text` to `playlist`, starting at its current count.
// Keeps no reference to the text.
void ParsePlaylist(const char* text, size_t length, Playlist& playlist);

inline void ParsePlaylist(const uint8_t* text, size_t length, Playlist& playlist) {
  ParsePlaylist(reinterpret_cast<const char*>(text), length, playlist);
}
