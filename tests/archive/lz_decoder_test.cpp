// Whole compressed files, written symbol by symbol, extracted through
// ExtractFile and compared with a plain model of the window.
#include <gtest/gtest.h>

#include <random>

#include "archive/archive_format.h"
#include "archive/bit_input.h"
#include "tests/archive/extract_helpers.h"
#include "tests/archive/stream_writer.h"

namespace {

using namespace testing_helpers;

std::optional<Bytes> ExtractOnly(const StreamWriter& s, const Bytes& content,
                                 uint16_t flags = 0) {
  return Extract(ArchiveOf({Compressed("f", s.Packed(), content, flags)}), "f");
}

void RandomText(StreamWriter& s, Expected& e, size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  for (size_t i = 0; i < n; ++i) {
    uint8_t b = static_cast<uint8_t>(rng());
    s.Literal(b);
    e.Byte(b);
  }
}

TEST(LzDecoder, EveryKindOfMainSymbol) {
  StreamWriter s;
  Expected e;
  s.LzTables();
  s.Literals("0123456789abcdef");
  e.Text("0123456789abcdef");
  s.Match(3, 10);  // the ring, newest first: 10
  e.Copy(10, 3);
  s.Match(4, 11);  // 11 10
  e.Copy(11, 4);
  s.Match(5, 12);  // 12 11 10
  e.Copy(12, 5);
  s.Match(6, 13);  // 13 12 11 10
  e.Copy(13, 6);
  s.Recent(3, 0);  // 260, the oldest: 10, length 2; then 10 13 12 11
  e.Copy(10, 2);
  s.Recent(2, 1);  // 259, the third: 12, length 3; then 12 10 13 12
  e.Copy(12, 3);
  s.Recent(1, 2);  // 258, the second: 10, length 4; then 10 12 10 13
  e.Copy(10, 4);
  s.Recent(0, 8, 1);  // 257, the newest: 10, length 8 + 2 + 1
  e.Copy(10, 11);
  s.Main(256);  // the previous match again
  e.Copy(10, 11);
  s.Short(3, 5);  // 264: distance 16 + 1 + 5, length 2
  e.Copy(22, 2);
  s.Main(256);
  e.Copy(22, 2);
  s.Main(269);  // new tables, coded as differences
  Lengths other = FlatLzLengths();
  other['X'] = 3;
  other['Y'] = 12;
  s.LzTables(other, true);
  s.Literals("XYZ");
  e.Text("XYZ");
  s.Match(258, 1);  // the longest coded length, repeating the last byte
  e.Copy(1, 258);
  EXPECT_EQ(ExtractOnly(s, e.bytes), e.bytes);
}

TEST(LzDecoder, TheFreshHistoryAndWindowGiveZeros) {
  StreamWriter s;
  Expected e;
  s.LzTables();
  s.Literals("ab");
  e.Text("ab");
  s.Main(256);  // no match yet: copies nothing
  s.Recent(0, 1);  // distance 0 from the reset ring: the byte onto itself
  e.Copy(0, 3);
  s.Recent(3, 0);
  e.Copy(0, 2);
  s.Match(3, 1000);  // before the file's start
  e.Copy(1000, 3);
  s.Literal('c');
  e.Text("c");
  ASSERT_EQ(e.bytes, Bytes({'a', 'b', 0, 0, 0, 0, 0, 0, 0, 0, 'c'}));
  EXPECT_EQ(ExtractOnly(s, e.bytes), e.bytes);
}

TEST(LzDecoder, LengthsGrowWithTheDistanceDependingOnTheSymbol) {
  StreamWriter s;
  Expected e;
  s.LzTables();
  RandomText(s, e, 4099, 1);
  while (e.bytes.size() < 270000) {
    s.Match(258, 4099);
    e.Copy(4099, 258);
  }
  // 270-297: +1 from 8192, +2 from 262144; nothing at 257.
  for (auto [distance, length] : {std::pair{256u, 3u}, {257u, 3u}, {8191u, 3u}, {8192u, 4u},
                                  {262143u, 4u}, {262144u, 5u}}) {
    s.Match(3, distance);
    e.Copy(distance, length);
  }
  // 257-260: +1 from 257 as well.
  for (auto [distance, length] : {std::pair{256u, 2u}, {257u, 3u}, {8191u, 3u}, {8192u, 4u},
                                  {262143u, 4u}, {262144u, 5u}}) {
    s.Match(3, distance);
    e.Copy(distance, 3 + (distance >= 8192) + (distance >= 262144));
    s.Recent(0, 0);
    e.Copy(distance, length);
  }
  s.Main(256);  // repeats the adjusted length
  e.Copy(262144, 5);
  s.Short(7, 63);  // 261-268: distance 256, never adjusted
  e.Copy(256, 2);
  EXPECT_EQ(ExtractOnly(s, e.bytes), e.bytes);
}

// A file that starts a fresh stream is decoded straight into its own
// buffer; one that carries on a solid stream, in the circular window. Each
// content is checked both ways: alone, and after a one-byte first file.
template <typename Write>
void ExpectBothWindows(Write write) {
  {
    StreamWriter s;
    Expected e;
    s.LzTables();
    write(s, e);
    EXPECT_EQ(ExtractOnly(s, e.bytes), e.bytes) << "in its own buffer";
  }
  StreamWriter first;
  Expected e;
  first.LzTables();
  first.Literal('@');
  e.Byte('@');
  StreamWriter s;
  s.LzTables();
  s.bits = BitWriter();  // the first file's tables go on
  write(s, e);
  Bytes second(e.bytes.begin() + 1, e.bytes.end());
  Bytes image = ArchiveOf({Compressed("one", first.Packed(), Bytes{'@'}),
                           Compressed("two", s.Packed(), second, rar::kFileSolidContinuation)},
                          rar::kMainSolid);
  EXPECT_EQ(Extract(image, "two"), second) << "in the circular window";
}

TEST(LzDecoder, FilesLongerThanTheWindowWrapInMatchesLiteralsAndFlushes) {
  ExpectBothWindows([](StreamWriter& s, Expected& e) {
    RandomText(s, e, 5003, 2);
    s.Match(5, 1u << 20);  // before the start: zeros (+2 for the distance)
    e.Copy(1u << 20, 7);
    auto fill_to = [&](size_t end) {
      while (e.bytes.size() < end) {
        uint32_t length = static_cast<uint32_t>(std::min<size_t>(258, end - e.bytes.size()));
        if (length < 3) {
          s.Short(2, 0);  // distance 9, length 2
          e.Copy(9, 2);
        } else {
          s.Match(length, 5003);
          e.Copy(5003, length);
        }
      }
    };
    fill_to((1u << 20) - 7);
    s.Match(20, 5003);  // across the end of the window
    e.Copy(5003, 20);
    s.Match(10, 1u << 20);  // the byte written 2^20 earlier, +2 for the distance
    e.Copy(1u << 20, 12);
    s.Match(10, (1u << 20) - 1);
    e.Copy((1u << 20) - 1, 12);
    fill_to((2u << 20) - 2);
    s.Literals("PQRS");  // literals across the end
    e.Text("PQRS");
    fill_to((2u << 20) + 12345);
    ASSERT_EQ(e.bytes.size(), (2u << 20) + 12345);
  });
}

TEST(LzDecoder, ADistanceOfZeroRepeatsTheBytesAWindowBack) {
  // The fresh history's distances are 0: in the circular window the bytes
  // stay in place, which are zeros at first and later the bytes written
  // 2^20 earlier.
  ExpectBothWindows([](StreamWriter& s, Expected& e) {
    s.Recent(0, 1);
    e.Copy(0, 3);
    RandomText(s, e, (1u << 20) + 100, 4);
    s.Recent(1, 1);
    e.Copy(0, 3);
    s.Literal('z');
    e.Byte('z');
  });
}

TEST(LzDecoder, TableBlocksAcrossTheInputRefill) {
  // A new table block starting anywhere from 200 bytes before the end of
  // the input buffer to past its end, so that the reader refills (carrying
  // its last 32 bytes over) before the block's header or in the middle of
  // its lengths; 9-bit literals move it by a bit modulo 8 at a time. With
  // a buffer of 8 KiB, 7,100 literals took it to byte 7,990.
  const size_t lead = 7100 + size_t{kInputBufferSize - 8192} * 8 / 9;
  Lengths other = FlatLzLengths();
  other['q'] = 2;
  other[270] = 13;
  for (uint32_t extra = 0; extra < 200; extra += 3) {
    SCOPED_TRACE(extra);
    StreamWriter s;
    Expected e;
    s.LzTables();
    RandomText(s, e, lead + extra, extra);
    s.Main(269);
    s.LzTables(other, extra % 2 == 0);
    s.Literals("qq");
    e.Text("qq");
    s.Match(3, 2);
    e.Copy(2, 3);
    RandomText(s, e, 2000, extra + 1);
    ASSERT_EQ(ExtractOnly(s, e.bytes), e.bytes);
  }
}

TEST(LzDecoder, AnEmptyFileStillReadsItsTables) {
  StreamWriter s;
  s.LzTables();
  EXPECT_EQ(ExtractOnly(s, {}), Bytes{});
}

// The bytes of an audio stream while no channel has reached 32 bytes: every
// weight is 0, so each byte is its channel's last byte minus the symbol.
struct AudioModel {
  uint8_t last[4] = {};
  uint32_t channel = 0;
  void Symbol(StreamWriter& s, Expected& e, uint32_t channels, uint32_t symbol) {
    s.AudioSymbol(symbol);
    last[channel] = static_cast<uint8_t>(last[channel] - symbol);
    e.Byte(last[channel]);
    channel = (channel + 1) % channels;
  }
};

TEST(LzDecoder, AudioModeInterleavesOneToFourChannels) {
  const std::vector<uint32_t> symbols = {5, 3, 250, 0, 7, 1, 2, 9, 128, 4, 0, 0, 17};
  for (uint32_t channels = 1; channels <= 4; ++channels) {
    SCOPED_TRACE(channels);
    StreamWriter s;
    Expected e;
    AudioModel m;
    s.AudioTables(channels);
    for (uint32_t symbol : symbols) m.Symbol(s, e, channels, symbol);
    EXPECT_EQ(ExtractOnly(s, e.bytes), e.bytes);
  }
}

TEST(LzDecoder, AudioChannelsRotateAcrossTableBlocksAndLzStretches) {
  StreamWriter s;
  Expected e;
  AudioModel m;
  s.AudioTables(3);
  for (uint32_t symbol : {10, 20, 30, 1}) m.Symbol(s, e, 3, symbol);  // next: channel 1
  s.AudioSymbol(256);
  s.AudioTables(2);  // 1 < 2: the rotation goes on with channel 1
  for (uint32_t symbol : {2, 3, 4}) m.Symbol(s, e, 2, symbol);  // next: channel 0
  s.AudioSymbol(256);
  s.AudioTables(4);
  for (uint32_t symbol : {5, 6, 7}) m.Symbol(s, e, 4, symbol);  // next: channel 3
  s.AudioSymbol(256);
  s.LzTables();  // the predictors wait through LZ mode
  s.Literals("lz");
  e.Text("lz");
  s.Match(3, 5);
  e.Copy(5, 3);
  s.Main(269);
  s.AudioTables(2);  // channel 3 is not below 2: back to 0
  m.channel = 0;
  for (uint32_t symbol : {8, 9, 11}) m.Symbol(s, e, 2, symbol);
  EXPECT_EQ(ExtractOnly(s, e.bytes), e.bytes);
}

TEST(LzDecoder, ASolidStreamRunsOnAcrossFiles) {
  StreamWriter first;
  Expected e;
  first.LzTables();
  first.Literals("hello, ");
  e.Text("hello, ");
  Bytes one = e.bytes;
  // After the file's last symbol: new tables for the next file.
  first.Main(269);
  Lengths second_tables = FlatLzLengths();
  second_tables['w'] = 4;
  second_tables['!'] = 14;
  first.LzTables(second_tables);

  // The second file has no table block of its own: its symbols use the
  // codes read at the end of the first.
  StreamWriter second;
  second.LzTables(second_tables);
  second.bits = BitWriter();
  second.Literals("world");
  e.Text("world");
  second.Match(5, 12);  // back into the first file
  e.Copy(12, 5);
  second.Literal('!');
  e.Text("!");
  Bytes two(e.bytes.begin() + one.size(), e.bytes.end());

  Bytes image = ArchiveOf({Compressed("one", first.Packed(), one),
                           Compressed("two", second.Packed(), two, rar::kFileSolidContinuation)},
                          rar::kMainSolid);
  EXPECT_EQ(Extract(image, "one"), one);
  EXPECT_EQ(Extract(image, "two"), two);
  EXPECT_EQ(Extract(image, "two"), two) << "again, from a fresh start";
}

TEST(LzDecoder, AContinuationDecodedFirstInACallStartsAFreshStream) {
  // Leave a window, a history and tables behind.
  StreamWriter before;
  Expected b;
  before.LzTables();
  RandomText(before, b, 300, 3);
  before.Match(40, 100);
  b.Copy(100, 40);
  ASSERT_EQ(ExtractOnly(before, b.bytes), b.bytes);

  // Flagged as a continuation, but nothing came before it in this call.
  StreamWriter s;
  Expected e;
  s.LzTables();
  s.Literals("fresh");
  e.Text("fresh");
  s.Recent(0, 1);  // the ring is clear
  e.Copy(0, 3);
  s.Match(3, 200);  // and so is the window
  e.Copy(200, 3);
  ASSERT_EQ(e.bytes, Bytes({'f', 'r', 'e', 's', 'h', 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(ExtractOnly(s, e.bytes, rar::kFileSolidContinuation), e.bytes);

  // Likewise after a stored file in a solid archive.
  Bytes image = ArchiveOf({Stored("stored", Text("leaves no trace")),
                           Compressed("f", s.Packed(), e.bytes, rar::kFileSolidContinuation)},
                          rar::kMainSolid);
  EXPECT_EQ(Extract(image, "f"), e.bytes);
}

// Tables in which 269 has the one-bit code 0: zero bytes announce table
// blocks, and a block of zeros leaves every code empty, which decodes as the
// first symbol of the earlier list, 269 again.
Lengths TablesWhere269IsZero() {
  Lengths lengths(374, 0);
  lengths[269] = 1;
  lengths['A'] = 2;
  lengths['B'] = 2;
  return lengths;
}

TEST(LzDecoder, DecodingEndsWhenThePackedDataIsUsedUp) {
  // Real zero bytes to decode through, then nothing: past the data the
  // buffer holds nothing but those zeros again.
  StreamWriter s;
  s.LzTables(TablesWhere269IsZero());
  s.Literal('A');
  s.bits.PadBytes(20000);
  EXPECT_EQ(ExtractOnly(s, Bytes(1000, 'A')), std::nullopt);

  // The same in audio mode, through symbol 256.
  StreamWriter a;
  a.LzTables(TablesWhere269IsZero());
  a.Main(269);
  Lengths audio(257, 0);
  audio[256] = 1;
  audio[3] = 1;
  a.AudioTables(2, audio);
  a.bits.PadBytes(20000);
  EXPECT_EQ(ExtractOnly(a, Bytes(1000, 0)), std::nullopt);
}

TEST(LzDecoder, TruncatedOrOverlongStreamsFailCleanly) {
  StreamWriter s;
  Expected e;
  s.LzTables();
  // Long enough for two refills of the input; cut at its start, at the
  // end of the first fill and just past it.
  RandomText(s, e, 2 * kInputBufferSize, 4);
  const Bytes whole = s.Packed();
  for (size_t keep : {size_t{0}, size_t{1}, size_t{100}, size_t{kInputBufferSize}, size_t{kInputBufferSize} + 8}) {
    Bytes packed(whole.begin(), whole.begin() + keep);
    pack::FileBlock block = Compressed("f", packed, e.bytes);
    EXPECT_EQ(Extract(ArchiveOf({block}), "f"), std::nullopt) << keep;
  }
  EXPECT_EQ(Extract(ArchiveOf({Compressed("f", whole, e.bytes)}), "f"), e.bytes);
  // A last match that runs past the file's end: the final delivery would
  // overrun the file and is refused.
  StreamWriter over;
  over.LzTables();
  over.Literals("abc");
  over.Match(3, 3);
  EXPECT_EQ(ExtractOnly(over, Text("abcab")), std::nullopt);
  EXPECT_EQ(ExtractOnly(over, Text("abcabc")), Text("abcabc"));
}

}  // namespace
