// Reads "font.fnt" the way the player does: only lines that begin with
// "char ", each read up to its xadvance key.
#pragma once

#include <map>
#include <string>

struct GlyphLine {
  int x = 0, y = 0, width = 0, height = 0, xoffset = 0, yoffset = 0, xadvance = 0;
  bool complete = false;  // all eight keys up to xadvance were read
};

// By character id; a later line for the same id replaces an earlier one, and
// `duplicates` counts how often that happened.
std::map<int, GlyphLine> ReadCharLines(const std::string& text, int* duplicates);
