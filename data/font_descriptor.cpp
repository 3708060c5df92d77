#include "data/font_descriptor.h"

#include <cstdint>
#include <cstring>

namespace {

// Reads the text as scanf's " key=%d" would: white space, the key and "=",
// white space, an optional sign and at least one digit. Stays inside the line
// (p < end) and refuses values outside 32 bits.
bool ReadKey(const char*& p, const char* end, const char* key, int32_t& value) {
  while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\v' || *p == '\f')) ++p;
  size_t key_length = std::strlen(key);
  if (static_cast<size_t>(end - p) < key_length + 1 || std::memcmp(p, key, key_length) != 0 ||
      p[key_length] != '=') {
    return false;
  }
  p += key_length + 1;
  while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\v' || *p == '\f')) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  if (p >= end || *p < '0' || *p > '9') return false;
  int64_t v = 0;
  while (p < end && *p >= '0' && *p <= '9') {
    v = v * 10 + (*p++ - '0');
    if (v > static_cast<int64_t>(INT32_MAX) + 1) return false;
  }
  v = negative ? -v : v;
  if (v > INT32_MAX || v < INT32_MIN) return false;
  value = static_cast<int32_t>(v);
  return true;
}

// False when the line stores nothing.
bool ParseCharLine(const char* p, const char* end, GlyphTable& table) {
  p += 5;  // "char "
  static const char* const kKeys[8] = {"id", "x", "y", "width", "height", "xoffset", "yoffset", "xadvance"};
  int32_t values[8];
  for (int i = 0; i < 8; ++i) {
    if (!ReadKey(p, end, kKeys[i], values[i])) return false;
  }
  if (values[0] < 0 || values[0] > 254) return false;
  GlyphMetrics& g = table.glyphs[values[0]];
  g.x = values[1];
  g.y = values[2];
  g.width = values[3];
  g.height = values[4];
  g.xoffset = values[5];
  g.yoffset = values[6];
  g.xadvance = values[7];
  return true;
}

}  // namespace

void ParseFontDescriptor(const char* text, uint32_t length, GlyphTable& table, std::vector<uint32_t>* refused) {
  // An empty text may come without a buffer; there is nothing to search then.
  if (text == nullptr) return;
  const char* end = text + length;
  if (const void* nul = std::memchr(text, '\0', length)) end = static_cast<const char*>(nul);
  const char* cursor = text;
  uint32_t line = 0;
  while (cursor < end) {
    ++line;
    const char* newline = static_cast<const char*>(std::memchr(cursor, '\n', end - cursor));
    if (newline == nullptr) break;  // a last line without "\n" is not read
    if (newline - cursor >= 5 && std::memcmp(cursor, "char ", 5) == 0 && !ParseCharLine(cursor, newline, table) &&
        refused != nullptr) {
      refused->push_back(line);
    }
    cursor = newline + 1;
  }
}
