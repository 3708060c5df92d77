// Songs the tests of quarb-disk write themselves: one small module in each of
// MOD, S3M, XM and IT, each with a title of its own.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "tools/gen/songs/format_writers.h"

namespace test_songs {

// A looping square-ish tone played as a short tune; `pitch` moves the notes
// so that the songs sound different.
inline songs::Module Tune(const std::string& title, int pitch) {
  songs::Module m;
  m.title = title;
  m.channels = 4;
  songs::Sample s;
  s.name = "tone";
  for (int i = 0; i < 256; ++i) s.data.push_back(std::sin(i * 2 * 3.14159265f / 64) > 0 ? 0.6f : -0.6f);
  s.loop_start = 0;
  s.loop_length = 256;
  m.samples.push_back(s);
  songs::Pattern p(songs::kPatternRows, m.channels);
  for (int row = 0; row < songs::kPatternRows; row += 8) {
    p.at(row, 0).note = 60 + pitch + (row / 8) % 5;
    p.at(row, 0).instrument = 1;
    p.at(row, 0).volume = 48;
  }
  m.patterns.push_back(p);
  m.order = {0};
  return m;
}

struct TestSong {
  std::string file_name;
  std::string title;
  std::vector<uint8_t> bytes;
};

// One song of each format, in the order MOD, S3M, XM, IT.
inline std::vector<TestSong> OneOfEach() {
  return {
      {"first.mod", "Mod Tune", songs::WriteMod(Tune("Mod Tune", 0))},
      {"second.s3m", "Scream Tune", songs::WriteS3m(Tune("Scream Tune", 3))},
      {"third.xm", "Fast Tune", songs::WriteXm(Tune("Fast Tune", 5))},
      {"fourth.it", "Impulse Tune", songs::WriteIt(Tune("Impulse Tune", 7))},
  };
}

}  // namespace test_songs
