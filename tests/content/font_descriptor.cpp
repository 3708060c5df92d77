#include "tests/content/font_descriptor.h"

#include <cstdio>

std::map<int, GlyphLine> ReadCharLines(const std::string& text, int* duplicates) {
  std::map<int, GlyphLine> glyphs;
  *duplicates = 0;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = text.substr(start, end - start);
    if (line.compare(0, 5, "char ") != 0) continue;
    int id = -1;
    GlyphLine g;
    const int read = std::sscanf(line.c_str(),
                                 "char id=%d x=%d y=%d width=%d height=%d xoffset=%d yoffset=%d "
                                 "xadvance=%d",
                                 &id, &g.x, &g.y, &g.width, &g.height, &g.xoffset, &g.yoffset,
                                 &g.xadvance);
    g.complete = read == 8;
    if (glyphs.count(id)) ++*duplicates;
    glyphs[id] = g;
  }
  return glyphs;
}
