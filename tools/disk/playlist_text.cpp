#include "tools/disk/playlist_text.h"

#include <cstdio>
#include <stdexcept>

namespace disk {

namespace {

// One code point of UTF-8 at `i`, advancing `i`; -1 (and one byte) for a
// malformed sequence.
int32_t NextCodePoint(const std::string& s, size_t& i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  const uint8_t b0 = byte(i);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int length = b0 >= 0xF0 && b0 <= 0xF4 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC2 && b0 <= 0xDF ? 2 : 0;
  if (length == 0 || i + length > s.size()) {
    ++i;
    return -1;
  }
  int32_t cp = b0 & (0x7F >> length);
  for (int k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return -1;
    }
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  // Overlong forms and surrogates are malformed too.
  const int32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < smallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return -1;
  }
  i += length;
  return cp;
}

std::string Describe(int32_t cp, const std::string& utf8) {
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(cp));
  return "'" + utf8 + "' (" + code + ")";
}

bool HasGlyph(const GlyphTable& font, uint8_t c) {
  const GlyphMetrics& g = font.glyphs[c];
  // A blank draws nothing but must still move the pen.
  return g.xadvance != 0 || g.width != 0;
}

std::string EntryName(size_t index, const Entry& e) {
  return "entry " + std::to_string(index + 1) + " (" + e.file_name + ")";
}

}  // namespace

std::string ToPlayerText(const std::string& utf8, const GlyphTable& font, std::vector<std::string>* replaced) {
  std::string out;
  size_t i = 0;
  while (i < utf8.size()) {
    const size_t start = i;
    int32_t cp = NextCodePoint(utf8, i);
    if (cp < 0) cp = static_cast<uint8_t>(utf8[start]);  // a Latin-1 byte, not UTF-8
    const std::string original = utf8.substr(start, i - start);
    const bool control = cp < 0x20 || (cp >= 0x7F && cp < 0xA0);
    if (cp > 0xFF || control || cp == ';' || !HasGlyph(font, static_cast<uint8_t>(cp))) {
      if (replaced != nullptr) replaced->push_back(Describe(cp, control ? "\\x" : original));
      out += '?';
    } else {
      out += static_cast<char>(cp);
    }
  }
  return out;
}

std::vector<Entry> ParsePlaylistFile(const std::string& path, const std::string& text) {
  std::vector<Entry> entries;
  size_t start = 0;
  size_t line = 0;
  while (start < text.size()) {
    ++line;
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string content = text.substr(start, end - start);
    start = end + 1;
    // A file written on Windows ends its lines in "\r\n".
    if (!content.empty() && content.back() == '\r') content.pop_back();
    if (content.empty()) continue;
    const size_t semicolon = content.find(';');
    if (semicolon == std::string::npos)
      throw std::runtime_error(path + ":" + std::to_string(line) + ": no \";\" between title and file name");
    entries.push_back({content.substr(0, semicolon), content.substr(semicolon + 1)});
  }
  return entries;
}

void CheckEntries(const std::vector<Entry>& entries) {
  if (entries.empty()) throw std::runtime_error("no songs: the playlist would be empty");
  if (entries.size() > kMaxEntries)
    throw std::runtime_error(std::to_string(entries.size()) + " entries: the player shows at most " +
                             std::to_string(kMaxEntries));
  for (size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    if (e.title.size() > kMaxField)
      throw std::runtime_error(EntryName(i, e) + ": the title has " + std::to_string(e.title.size()) +
                               " bytes, at most " + std::to_string(kMaxField) + " fit");
    if (e.file_name.empty()) throw std::runtime_error(EntryName(i, e) + ": no file name");
    if (e.file_name.size() > kMaxField)
      throw std::runtime_error(EntryName(i, e) + ": the file name has " + std::to_string(e.file_name.size()) +
                               " bytes, at most " + std::to_string(kMaxField) + " fit");
    for (char c : e.title + e.file_name) {
      if (c == '\n' || c == '\r' || c == '\0')
        throw std::runtime_error(EntryName(i, e) + ": a line break or NUL inside the entry");
    }
    char number[16];
    const int digits = std::snprintf(number, sizeof number, "%02zu", i + 1);
    const size_t line = static_cast<size_t>(digits) + 2 + e.title.size();
    if (line > kMaxTrackLine)
      throw std::runtime_error(EntryName(i, e) + ": the track line \"" + number + ": ...\" has " +
                               std::to_string(line) + " characters, at most " + std::to_string(kMaxTrackLine) +
                               " fit");
  }
}

std::string PlaylistText(const std::vector<Entry>& entries) {
  std::string text;
  for (const Entry& e : entries) text += e.title + ";" + e.file_name + "\n";
  return text;
}

}  // namespace disk
