#include "tools/pack/compressor/match_finder.h"

#include <algorithm>

#include "tools/pack/compressor/code_slots.h"

namespace pack {

namespace {

constexpr uint32_t kChainMask = codes::kWindowSize - 1;

}  // namespace

void MatchFinder::Configure(int hash_bits, int depth, uint32_t nice, uint32_t good) {
  hash_bits_ = hash_bits;
  depth_ = depth;
  nice_ = nice;
  good_ = good;
  Reset();
}

void MatchFinder::Reset() {
  head_.assign(size_t{1} << hash_bits_, 0);
  chain_.assign(codes::kWindowSize, 0);
  pair_.assign(65536, 0);
}

void MatchFinder::Insert(const uint8_t* buf, uint32_t pos, uint32_t end) {
  if (pos + 2 <= end) pair_[(uint32_t{buf[pos]} << 8) | buf[pos + 1]] = pos + 1;
  if (pos + 3 > end) return;
  uint32_t& head = head_[Hash3(buf + pos)];
  chain_[pos & kChainMask] = head;
  head = pos + 1;
}

void MatchFinder::Skip(const uint8_t* buf, uint32_t pos, uint32_t end) { Insert(buf, pos, end); }

uint32_t MatchFinder::ShortDistance(const uint8_t* buf, uint32_t pos, uint32_t end) const {
  if (pos + 2 > end) return 0;
  uint32_t last = pair_[(uint32_t{buf[pos]} << 8) | buf[pos + 1]];
  if (last == 0 || pos - (last - 1) > 256) return 0;
  return pos - (last - 1);
}

int MatchFinder::Find(const uint8_t* buf, uint32_t pos, uint32_t end, uint32_t max_length, Match* out) {
  int found = 0;
  uint32_t limit = std::min(max_length, end - pos);
  if (limit >= 3 && pos + 3 <= end) {
    uint32_t best = 2;
    bool shortened = false;
    uint32_t candidate = head_[Hash3(buf + pos)];
    const uint8_t* here = buf + pos;
    for (int steps = depth_; candidate != 0 && steps > 0; --steps) {
      uint32_t cand = candidate - 1;
      uint32_t distance = pos - cand;
      if (cand >= pos || distance > codes::kMaxDistance) break;
      const uint8_t* there = buf + cand;
      if (there[best] == here[best] && there[0] == here[0]) {
        uint32_t length = CommonLength(here, there, limit);
        if (length > best) {
          best = length;
          out[found++] = {length, distance};
          if (length >= nice_ || length >= limit || found == kMaxMatches) break;
          // With a good match in hand, the rest of the chain is worth less.
          if (length >= good_ && steps > 4 && !shortened) {
            steps /= 4;
            shortened = true;
          }
        }
      }
      uint32_t next = chain_[cand & kChainMask];
      // The chain slot may since hold a newer position; such links lead nowhere useful.
      if (next == 0 || next - 1 >= cand) break;
      candidate = next;
    }
  }
  Insert(buf, pos, end);
  return found;
}

void MatchFinder::Rebase(uint32_t shift) {
  auto fix = [shift](uint32_t& v) { v = v > shift ? v - shift : 0; };
  for (uint32_t& v : head_) fix(v);
  for (uint32_t& v : chain_) fix(v);
  for (uint32_t& v : pair_) fix(v);
}

}  // namespace pack
