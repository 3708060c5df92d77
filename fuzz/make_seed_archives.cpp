// Writes small archives for the fuzzer's seed corpus: a stored one, and
// compressed streams that use every kind of symbol, audio mode and a solid
// stream whose tables change between files.
//
//   make_seed_archives DIRECTORY
#include <cstdio>
#include <string>

#include "archive/archive_format.h"
#include "tests/archive/extract_helpers.h"
#include "tests/archive/stream_writer.h"

namespace {

using namespace testing_helpers;

void Write(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
    std::perror(path.c_str());
    std::exit(1);
  }
  std::fclose(f);
}

// Checks a seed with the engine itself: a seed that does not extract is
// worth less to the fuzzer.
void Check(const Bytes& image, const std::string& name, const Bytes& content) {
  if (Extract(image, name) != content) {
    std::fprintf(stderr, "make_seed_archives: %s does not extract\n", name.c_str());
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seed_archives DIRECTORY\n");
    return 2;
  }
  std::string dir = argv[1];

  Bytes stored = ArchiveOf({Stored("a.txt", Text("stored text\r\n")), Stored("empty", {})},
                           0, pack::Signature::kAlternative);
  Check(stored, "a.txt", Text("stored text\r\n"));
  Write(dir + "/generated-stored.rar", stored);

  // Every LZ symbol kind in one file.
  StreamWriter s;
  Expected e;
  s.LzTables();
  s.Literals("0123456789abcdef");
  e.Text("0123456789abcdef");
  s.Match(3, 10);
  e.Copy(10, 3);
  s.Match(20, 9000);
  e.Copy(9000, 21);
  s.Recent(1, 0);
  e.Copy(10, 2);
  s.Recent(2, 9, 1);
  e.Copy(0, 13);
  s.Main(256);
  e.Copy(0, 13);
  s.Short(6, 17);
  e.Copy(146, 2);
  s.Main(269);
  Lengths other = FlatLzLengths();
  other['x'] = 2;
  other[300] = 4;
  s.LzTables(other, true);
  s.Literals("xxyz");
  e.Text("xxyz");
  Bytes lz = ArchiveOf({Compressed("lz.bin", s.Packed(), e.bytes)});
  Check(lz, "lz.bin", e.bytes);
  Write(dir + "/generated-lz-symbols.rar", lz);

  // A solid stream: LZ, then tables taken up after the first file's end,
  // then a switch to two audio channels in the third file.
  StreamWriter one;
  Expected se;
  one.LzTables();
  one.Literals("solid stream, ");
  se.Text("solid stream, ");
  Bytes first = se.bytes;
  one.Main(269);
  Lengths next = FlatLzLengths();
  next['s'] = 3;
  one.LzTables(next);
  StreamWriter two;
  two.LzTables(next);
  two.bits = BitWriter();
  two.Literals("second ");
  se.Text("second ");
  two.Match(6, 21);
  se.Copy(21, 6);
  Bytes second(se.bytes.begin() + first.size(), se.bytes.end());
  size_t third_start = se.bytes.size();
  StreamWriter three;
  three.LzTables(next);
  three.bits = BitWriter();
  three.Main(269);
  three.AudioTables(2);
  // 30 bytes per channel: below the first adaptation every weight is 0, so
  // each byte is its channel's last byte minus the symbol.
  uint8_t last[2] = {0, 0};
  for (int i = 0; i < 60; ++i) {
    uint32_t symbol = static_cast<uint32_t>((i * 7) % 5);
    three.AudioSymbol(symbol);
    last[i % 2] = static_cast<uint8_t>(last[i % 2] - symbol);
    se.Byte(last[i % 2]);
  }
  Bytes third(se.bytes.begin() + third_start, se.bytes.end());
  Bytes solid = ArchiveOf(
      {Compressed("one", one.Packed(), first),
       Compressed("two", two.Packed(), second, rar::kFileSolidContinuation),
       Compressed("three", three.Packed(), third, rar::kFileSolidContinuation)},
      rar::kMainSolid);
  Check(solid, "two", second);
  Check(solid, "three", third);
  Write(dir + "/generated-solid.rar", solid);
  return 0;
}
