// The PE resource reader and rewriter, on small programs made here and, when
// QUARB_WINDOWS_PLAYER names it, on the real Windows player.
#include "tools/disk/pe_resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

namespace pe {
namespace {

using Bytes = std::vector<uint8_t>;

uint32_t Get32(const Bytes& b, size_t at) {
  return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | uint32_t{b.at(at + 3)} << 24;
}
void Put32(Bytes& b, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) b.at(at + i) = static_cast<uint8_t>(v >> 8 * i);
}
uint32_t Align(size_t v, uint32_t a) { return static_cast<uint32_t>((v + a - 1) / a * a); }

// The test programs: PE header at 0x40, section table at 0x148, headers and
// file alignment 0x200 (room for four section headers), sections one after
// the other in memory from RVA 0x1000, page-aligned.
constexpr size_t kCoff = 0x44, kOpt = 0x58, kTable = 0x148;
size_t Dir(int i) { return kOpt + 112 + 8 * i; }
size_t Sec(int i, size_t field) { return kTable + 40 * i + field; }
enum : size_t { kVirtualSize = 8, kVa = 12, kRawSize = 16, kRawPtr = 20, kFlags = 36 };

struct Section {
  std::string name;
  Bytes data;
  uint32_t flags = 0x40000040;  // read-only initialized data
};

Bytes MakePe(const std::vector<Section>& sections, int rsrc, const Bytes& overlay = {}) {
  Bytes f(0x200);
  f[0] = 'M', f[1] = 'Z', f[0x3C] = 0x40;
  Put32(f, 0x40, 0x4550);
  Put32(f, kCoff, 0x8664 | static_cast<uint32_t>(sections.size()) << 16);
  Put32(f, kCoff + 16, 240 | 0x22 << 16);
  Put32(f, kOpt, 0x20B);
  Put32(f, kOpt + 32, 0x1000), Put32(f, kOpt + 36, 0x200), Put32(f, kOpt + 60, 0x200), Put32(f, kOpt + 108, 16);
  uint32_t rva = 0x1000;
  for (int i = 0; i < static_cast<int>(sections.size()); ++i) {
    const Section& s = sections[i];
    std::copy(s.name.begin(), s.name.end(), f.begin() + Sec(i, 0));
    Put32(f, Sec(i, kVirtualSize), static_cast<uint32_t>(s.data.size())), Put32(f, Sec(i, kVa), rva);
    Put32(f, Sec(i, kRawSize), Align(s.data.size(), 0x200)), Put32(f, Sec(i, kRawPtr), static_cast<uint32_t>(f.size()));
    Put32(f, Sec(i, kFlags), s.flags);
    if (i == rsrc) Put32(f, Dir(2), rva), Put32(f, Dir(2) + 4, static_cast<uint32_t>(s.data.size()));
    if (s.name == ".reloc") Put32(f, Dir(5), rva), Put32(f, Dir(5) + 4, static_cast<uint32_t>(s.data.size()));
    f.insert(f.end(), s.data.begin(), s.data.end());
    f.resize(Align(f.size(), 0x200));
    rva += Align(s.data.size(), 0x1000);
  }
  Put32(f, kOpt + 56, rva);
  f.insert(f.end(), overlay.begin(), overlay.end());
  return f;
}

// A resource directory written out by hand, to be loaded at `rva`: "BINARY"
// 107 (1033) = "abc", then bitmap 102 in languages 0 and 1033, both pointing
// into the same bytes "xy".
Bytes HandTree(uint32_t rva) {
  Bytes t(0xE0);
  for (auto [at, v] : std::initializer_list<std::pair<size_t, uint32_t>>{
           {0x0C, 1 | 1 << 16}, {0x10, 0x800000C0}, {0x14, 0x80000020}, {0x18, 2}, {0x1C, 0x80000038},  // root
           {0x2C, 1 << 16}, {0x30, 107}, {0x34, 0x80000050},                                            // BINARY
           {0x44, 1 << 16}, {0x48, 102}, {0x4C, 0x80000068},                                            // bitmap
           {0x5C, 1 << 16}, {0x60, 1033}, {0x64, 0x90},                                                 // 107
           {0x74, 2 << 16}, {0x78, 0}, {0x7C, 0xA0}, {0x80, 1033}, {0x84, 0xB0},                        // 102
           {0x90, rva + 0xD0}, {0x94, 3}, {0xA0, rva + 0xD8}, {0xA4, 2}, {0xB0, rva + 0xD8}, {0xB4, 1},  // data entries
           {0xC0, 6 | 'B' << 16}, {0xC4, 'I' | 'N' << 16}, {0xC8, 'A' | 'R' << 16}, {0xCC, 'Y'},
           {0xD0, 'a' | 'b' << 8 | 'c' << 16}, {0xD8, 'x' | 'y' << 8}})
    Put32(t, at, v);
  return t;
}

const std::vector<Resource> kHandTree = {{"BINARY", uint16_t{107}, 1033, {'a', 'b', 'c'}},
                                         {uint16_t{2}, uint16_t{102}, 0, {'x', 'y'}},
                                         {uint16_t{2}, uint16_t{102}, 1033, {'x'}}};

// .text, .data, then .rsrc last (at RVA 0x3000, file offset 0x800, 0x200 bytes).
constexpr size_t kTree = 0x800;
Bytes RsrcLast(const Bytes& overlay = {}) {
  return MakePe({{".text", Bytes(0x300, 0xCC), 0x60000020}, {".data", Bytes(0x10, 1), 0xC0000040},
                 {".rsrc", HandTree(0x3000)}}, 2, overlay);
}
// .text, .rsrc (RVA 0x2000), then .reloc, as GNU ld lays out the player.
Bytes RsrcThenReloc() {
  return MakePe({{".text", Bytes(0x300, 0xCC), 0x60000020}, {".rsrc", HandTree(0x2000)}, {".reloc", Bytes(0x0C, 7)}}, 1);
}

TEST(PeResources, ReadsTheTreeAsWritten) {
  EXPECT_EQ(ReadResources(RsrcLast()), kHandTree);
  EXPECT_EQ(ReadResources(RsrcThenReloc()), kHandTree);
  EXPECT_TRUE(ReadResources(MakePe({{".text", Bytes(4, 0xCC)}}, -1)).empty());
}

const std::vector<Resource> kNew = {{uint16_t{14}, uint16_t{109}, 1033, Bytes(20, 9)},
                                    {"binary", uint16_t{107}, 1033, Bytes(5000, 0x5E)},
                                    {uint16_t{2}, uint16_t{102}, 1033, {1, 2, 3}}};

TEST(PeResources, RewritesALastResourceSectionInPlace) {
  Bytes in = RsrcLast({'T', 'A', 'I', 'L'});
  Put32(in, kCoff + 8, 0xA00);  // the symbol table: the overlay
  Bytes out = ReplaceResources(in, kNew);
  uint32_t size = Get32(out, Dir(2) + 4), raw = Align(size, 0x200);
  EXPECT_EQ(Get32(out, kCoff) >> 16, 3u);
  EXPECT_EQ(Get32(out, Dir(2)), 0x3000u);
  EXPECT_EQ(Get32(out, Sec(2, kVa)), 0x3000u);
  EXPECT_EQ(Get32(out, Sec(2, kRawPtr)), kTree);
  EXPECT_EQ(Get32(out, Sec(2, kVirtualSize)), size);
  EXPECT_EQ(Get32(out, Sec(2, kRawSize)), raw);
  EXPECT_EQ(Get32(out, Sec(2, kFlags)), 0xC0000040u) << "the player writes to its resources";
  EXPECT_EQ(Get32(out, kOpt + 56), Align(0x3000 + size, 0x1000));  // SizeOfImage
  EXPECT_EQ(Get32(out, kOpt + 8), 0x200 + raw);                     // SizeOfInitializedData: .data and .rsrc
  EXPECT_EQ(Get32(out, kOpt + 64), Checksum(out));
  EXPECT_EQ(out.size(), kTree + raw + 4);
  EXPECT_EQ(Get32(out, kCoff + 8), kTree + raw);
  EXPECT_EQ(Bytes(out.end() - 4, out.end()), Bytes({'T', 'A', 'I', 'L'}));
  EXPECT_TRUE(std::equal(in.begin() + kTable, in.begin() + Sec(2, 0), out.begin() + kTable));
  EXPECT_TRUE(std::equal(in.begin() + 0x200, in.begin() + kTree, out.begin() + 0x200));
  for (const Resource& r : kNew) {  // 8-byte aligned in memory, for the program reading them
    auto at = std::search(out.begin() + kTree, out.end(), r.data.begin(), r.data.end());
    EXPECT_EQ((at - out.begin()) % 8, 0) << r.data.size();
  }
  std::vector<Resource> expected = {kNew[1], kNew[2], kNew[0]};
  expected[0].type = "BINARY";
  EXPECT_EQ(ReadResources(out), expected);
  EXPECT_TRUE(ReadResources(ReplaceResources(in, {})).empty());
}

TEST(PeResources, AddsASectionWhenTheResourcesAreNotLast) {
  Bytes in = RsrcThenReloc();
  Bytes out = ReplaceResources(in, kNew);
  uint32_t size = Get32(out, Dir(2) + 4);
  EXPECT_EQ(Get32(out, kCoff) >> 16, 4u);
  EXPECT_EQ(std::string(out.begin() + Sec(3, 0), out.begin() + Sec(3, 8)), std::string(".rsrc2\0\0", 8));
  EXPECT_EQ(Get32(out, Sec(3, kVa)), 0x4000u);
  EXPECT_EQ(Get32(out, Sec(3, kRawPtr)), in.size());
  EXPECT_EQ(Get32(out, Sec(3, kFlags)), 0xC0000040u);
  EXPECT_EQ(Get32(out, Dir(2)), 0x4000u);
  EXPECT_EQ(Get32(out, kOpt + 56), Align(0x4000 + size, 0x1000));
  EXPECT_EQ(Get32(out, kOpt + 64), Checksum(out));
  // Nothing of the program moved: the old headers, .reloc's directory and
  // every old section's bytes are as they were.
  EXPECT_TRUE(std::equal(in.begin() + kTable, in.begin() + Sec(3, 0), out.begin() + kTable));
  EXPECT_EQ(Get32(out, Dir(5)), Get32(in, Dir(5)));
  EXPECT_TRUE(std::equal(in.begin() + 0x200, in.end(), out.begin() + 0x200));
  EXPECT_EQ(ReadResources(out).size(), 3u);
  // The added section is now last: the next change rewrites it in place.
  Bytes again = ReplaceResources(out, kHandTree);
  EXPECT_EQ(Get32(again, kCoff) >> 16, 4u);
  EXPECT_EQ(ReadResources(again), kHandTree);
}

TEST(PeResources, RefusesToAddASectionWithoutRoomForItsHeader) {
  Bytes in = RsrcThenReloc();
  in[Sec(3, 0)] = 1;  // something lives after the section table
  EXPECT_THROW(ReplaceResources(in, kNew), std::runtime_error);
  in = MakePe({{".a", {1}}, {".rsrc", HandTree(0x2000)}, {".b", {2}}, {".c", {3}}}, 1);  // the table is full
  EXPECT_THROW(ReplaceResources(in, kNew), std::runtime_error);
}

TEST(PeResources, DropsASignatureAndKeepsTheRestOfTheOverlay) {
  Bytes in = RsrcLast({'K', 'E', 'E', 'P', 0, 0, 0, 0, 8, 0, 0, 0, 0, 2, 2, 0});
  Put32(in, Dir(4), 0xA04), Put32(in, Dir(4) + 4, 12);
  Bytes out = ReplaceResources(in, kNew);
  EXPECT_EQ(Get32(out, Dir(4)), 0u);
  EXPECT_EQ(Get32(out, Dir(4) + 4), 0u);
  EXPECT_EQ(Bytes(out.end() - 4, out.end()), Bytes({'K', 'E', 'E', 'P'}));
}

// Windows binary-searches the stored (upper-case) names by UTF-16 unit, then
// the ids; ReadResources gives the directory's order.
TEST(PeResources, SortsEntriesAsTheLoaderSearchesThem) {
  auto res = [](ResourceId type, ResourceId name, uint16_t language) { return Resource{type, name, language, {}}; };
  std::vector<Resource> in = {res(uint16_t{14}, uint16_t{9}, 1033), res("zeta", uint16_t{1}, 1033),
                              res("\xEF\xBC\xA1", uint16_t{1}, 1033) /* U+FF21 */, res(uint16_t{3}, uint16_t{2}, 7),
                              res("_x", uint16_t{1}, 1033), res(uint16_t{3}, uint16_t{2}, 0), res(uint16_t{3}, "b", 1),
                              res("\xF0\x9D\x84\x9E", uint16_t{1}, 1033) /* U+1D11E */, res("Alpha", uint16_t{1}, 1033)};
  std::vector<Resource> expected = {res("ALPHA", uint16_t{1}, 1033), res("ZETA", uint16_t{1}, 1033),
                                    res("_X", uint16_t{1}, 1033), res("\xF0\x9D\x84\x9E", uint16_t{1}, 1033),
                                    res("\xEF\xBC\xA1", uint16_t{1}, 1033), res(uint16_t{3}, "B", 1),
                                    res(uint16_t{3}, uint16_t{2}, 0), res(uint16_t{3}, uint16_t{2}, 7),
                                    res(uint16_t{14}, uint16_t{9}, 1033)};
  EXPECT_EQ(ReadResources(ReplaceResources(RsrcLast(), in)), expected);
}

TEST(PeResources, RefusesResourceListsItCannotStore) {
  auto one = [](ResourceId type, ResourceId name, uint16_t language = 1033) { return Resource{type, name, language, {}}; };
  const std::vector<std::vector<Resource>> lists = {
      {one("BINARY", uint16_t{1}), one("binary", uint16_t{1})}, {one(uint16_t{2}, uint16_t{1}), one(uint16_t{2}, uint16_t{1})},
      {one("", uint16_t{1})}, {one("#5", uint16_t{1})}, {one(uint16_t{2}, "\xC0\x80")}, {one(uint16_t{2}, "a\xFF")},
      {one(uint16_t{2}, "a\xE2\x82")}};
  for (size_t i = 0; i < lists.size(); ++i) EXPECT_THROW(ReplaceResources(RsrcLast(), lists[i]), std::runtime_error) << i;
  EXPECT_NO_THROW(ReplaceResources(RsrcLast(), {one("BINARY", uint16_t{1}, 0), one("binary", uint16_t{1}, 1)}));
}

// Damaged headers and trees, each one field of a good program changed
// (the tree's fields at kTree plus their place in HandTree).
TEST(PeResources, DamagedProgramsGiveErrors) {
  const std::vector<std::pair<size_t, uint32_t>> header_damage = {
      {0x3C, 0xFFFFFFF0}, {0x40, 0x4551}, {kOpt, 0x10B}, {kCoff + 16, 0xFFFF}, {kCoff + 16, 100},
      {kCoff, 0x8664 | 0xFFFF << 16}, {Sec(2, kRawPtr), 0xFFFFFF00}, {Sec(2, kRawSize), 0x7FFFFFFF},
      {kOpt + 36, 0}, {kOpt + 36, 0x300}, {kOpt + 36, 0x20000000}, {Sec(1, kVa), 0x800}, {kOpt + 60, 0x100000}};
  const std::vector<std::pair<size_t, uint32_t>> tree_damage = {
      {Dir(2), 0x90000}, {kTree + 0x1C, 0x80000000}, /* loop to the root */ {kTree + 0x1C, 0x80000020}, /* shared */
      {kTree + 0x34, 0x50}, /* data as a name */
      {kTree + 0x64, 0x80000050}, /* too deep */ {kTree + 0x90, 0xFFFFFF00}, {kTree + 0x94, 0x7FFFFFFF},
      {kTree + 0x10, 0x8FFFFFF0}, {kTree + 0xC0, 0xFFFF}, {kTree + 0x0C, 0xFFFFu << 16}};
  for (auto [at, value] : header_damage) {
    Bytes exe = RsrcLast();
    Put32(exe, at, value);
    EXPECT_THROW(ReadResources(exe), std::runtime_error) << std::hex << at << " = " << value;
    EXPECT_THROW(ReplaceResources(exe, kNew), std::runtime_error) << std::hex << at << " = " << value;
  }
  for (auto [at, value] : tree_damage) {
    Bytes exe = RsrcLast();
    Put32(exe, at, value);
    EXPECT_THROW(ReadResources(exe), std::runtime_error) << std::hex << at << " = " << value;
  }
  Bytes good = RsrcLast();
  for (size_t size = 0; size < good.size(); ++size) {
    Bytes cut(good.begin(), good.begin() + size);
    EXPECT_THROW(ReadResources(cut), std::runtime_error) << size;
    EXPECT_THROW(ReplaceResources(cut, kNew), std::runtime_error) << size;
  }
}

TEST(PeResources, SharedDataCannotMultiplyTheOutput) {
  // 65535 languages of one name, all one data entry for all 576 KiB of .rsrc.
  Bytes tree(0x90000);
  Put32(tree, 0x0C, 1 << 16), Put32(tree, 0x14, 0x80000018), Put32(tree, 0x24, 1 << 16), Put32(tree, 0x2C, 0x80000030);
  Put32(tree, 0x3C, 0xFFFF << 16);
  for (uint32_t i = 0; i < 0xFFFF; ++i) Put32(tree, 0x40 + 8 * i, i), Put32(tree, 0x44 + 8 * i, 0x8FFF0);
  Put32(tree, 0x8FFF0, 0x1000), Put32(tree, 0x8FFF4, 0x90000);
  EXPECT_THROW(ReadResources(MakePe({{".rsrc", tree}}, 0)), std::runtime_error);
}

TEST(PeResources, RandomDamageGivesAnErrorOrAResult) {
  Bytes good = RsrcLast({1, 2, 3});
  std::mt19937 random(12345);
  for (int round = 0; round < 3000; ++round) {
    Bytes exe = good;
    for (int k = 0; k < 4; ++k)  // in the headers or the tree
      exe[random() % 2 ? random() % 0x200 : kTree + random() % 0xE0] ^= static_cast<uint8_t>(1 << random() % 8);
    try {
      ReplaceResources(exe, ReadResources(exe));
    } catch (const std::runtime_error&) {
    }
  }
}

TEST(PeResources, ChecksumLeavesOutItsOwnField) {
  Bytes exe = RsrcLast();
  uint32_t sum = Checksum(exe);
  Put32(exe, kOpt + 64, 0x12345678);
  EXPECT_EQ(Checksum(exe), sum);
  exe[0x300] += 1;  // a word of .text, by one
  EXPECT_EQ(Checksum(exe), sum + 1);
}

TEST(PeResources, RealPlayerRoundTrip) {
  const char* path = std::getenv("QUARB_WINDOWS_PLAYER");
#ifdef QUARB_WINDOWS_PLAYER
  if (!path) path = QUARB_WINDOWS_PLAYER;
#endif
  if (!path || !*path) GTEST_SKIP() << "QUARB_WINDOWS_PLAYER does not name quarb.exe";
  std::ifstream file(path, std::ios::binary);
  ASSERT_TRUE(file) << path;
  Bytes exe{std::istreambuf_iterator<char>(file), {}};
  EXPECT_EQ(Checksum(exe), Get32(exe, Get32(exe, 0x3C) + 24 + 64)) << "GNU ld computed it";
  std::vector<Resource> resources = ReadResources(exe);
  std::vector<std::pair<ResourceId, ResourceId>> keys;
  for (const Resource& r : resources) keys.emplace_back(r.type, r.name);
  EXPECT_EQ(keys, (std::vector<std::pair<ResourceId, ResourceId>>{
                      {"BINARY", uint16_t{103}}, {"BINARY", uint16_t{107}}, {uint16_t{2}, uint16_t{102}},
                      {uint16_t{2}, uint16_t{168}}, {uint16_t{3}, uint16_t{1}}, {uint16_t{14}, uint16_t{109}}}));
  Bytes out = ReplaceResources(exe, resources);
  EXPECT_EQ(ReadResources(out), resources);
  EXPECT_EQ(ReplaceResources(out, resources), out) << "the second time, in place and the same";
}

}  // namespace
}  // namespace pe
