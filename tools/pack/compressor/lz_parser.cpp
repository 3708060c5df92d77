#include "tools/pack/compressor/lz_parser.h"

#include <algorithm>

namespace pack {

using namespace codes;

namespace {

// Statistics of the codes the tokens become after `history`.
LzStats CodeStats(const std::vector<Token>& tokens, size_t from, MatchHistory history, const LzPrices& prices) {
  LzStats stats;
  for (size_t i = from; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.distance == 0) {
      ++stats.main[t.length];  // literal tokens carry their byte in `length` here
      continue;
    }
    LzCode code;
    if (CodeMatch(t.length, t.distance, history, prices, &code, nullptr)) stats.Add(code);
    history.Apply(t.length, t.distance);
  }
  return stats;
}

// ---- Greedy and lazy matching -------------------------------------------

struct Choice {
  uint32_t length = 0;
  uint32_t distance = 0;
  int64_t gain = 0;  // saved against coding the same bytes as literals, in price units
};

class LazyParser {
 public:
  // Choices are made at positions from `begin` to `last`; matches end by `end`.
  LazyParser(const uint8_t* buf, uint32_t begin, uint32_t last, uint32_t end, uint32_t data_end,
             MatchFinder& finder, const LzPrices& prices)
      : buf_(buf), begin_(begin), end_(end), data_end_(data_end), finder_(finder), prices_(prices) {
    // What the literals of every stretch would cost, as prefix sums.
    const uint32_t reach = std::min(end, last + rar::kMaxMatchLength);
    literal_sums_.resize(reach - begin + 1, 0);
    for (uint32_t p = begin; p < reach; ++p) {
      literal_sums_[p - begin + 1] = literal_sums_[p - begin] + prices.Literal(buf[p]);
    }
  }

  // The best choice at `pos`; enters `pos` into the finder.
  Choice Best(uint32_t pos, const MatchHistory& h) {
    Choice best;
    const uint32_t remain = end_ - pos;
    auto consider = [&](uint32_t length, uint32_t distance) {
      LzCode code;
      uint32_t bits;
      if (!CodeMatch(length, distance, h, prices_, &code, &bits)) return;
      int64_t literals = static_cast<int64_t>(literal_sums_[pos + length - begin_] - literal_sums_[pos - begin_]);
      int64_t gain = literals - static_cast<int64_t>(bits);
      if (gain > best.gain) best = {length, distance, gain};
    };
    if (h.prev_length > 0 && h.prev_length <= remain && h.prev_distance <= pos &&
        CommonLength(buf_ + pos, buf_ + pos - h.prev_distance, h.prev_length) == h.prev_length) {
      consider(h.prev_length, h.prev_distance);
    }
    for (int k = 0; k < 4; ++k) {
      uint32_t d = h.Recent(k);
      if (d == 0 || d > pos) continue;
      uint32_t length = CommonLength(buf_ + pos, buf_ + pos - d, std::min(remain, MaxRecentLength(d)));
      if (length >= MinRecentLength(d)) consider(length, d);
    }
    uint32_t short_distance = finder_.ShortDistance(buf_, pos, data_end_);
    if (short_distance != 0 && remain >= 2) consider(2, short_distance);
    Match matches[MatchFinder::kMaxMatches];
    int n = finder_.Find(buf_, pos, data_end_, std::min(rar::kMaxMatchLength, remain), matches);
    for (int i = 0; i < n; ++i) {
      uint32_t d = matches[i].distance;
      uint32_t length = std::min(matches[i].length, MaxMatchLength(d));
      if (length >= MinMatchLength(d)) consider(length, d);
    }
    return best;
  }

 private:
  const uint8_t* buf_;
  uint32_t begin_;
  uint32_t end_;
  uint32_t data_end_;
  MatchFinder& finder_;
  const LzPrices& prices_;
  std::vector<uint64_t> literal_sums_;
};

// Parses from `begin` until a token ends at or after `stop`; matches may run
// up to `end`. Returns where the last token ends.
uint32_t ParseLazy(const uint8_t* buf, uint32_t begin, uint32_t stop, uint32_t end, uint32_t data_end,
                   MatchHistory history, const LzPrices& prices, MatchFinder& finder, const ParseSettings& settings,
                   std::vector<Token>& out) {
  // Choices are made before `stop`, or at it after a look one position ahead.
  LazyParser parser(buf, begin, stop, end, data_end, finder, prices);
  const bool lazy = settings.method == ParseMethod::kLazy;
  uint32_t pos = begin;
  Choice current;
  bool have_current = false;
  while (pos < stop || have_current) {
    if (!have_current) current = parser.Best(pos, history);
    have_current = false;
    if (current.length == 0) {
      out.push_back({buf[pos], 0});
      ++pos;
      continue;
    }
    if (lazy && current.length < settings.nice && pos + 1 < end) {
      Choice next = parser.Best(pos + 1, history);
      // Both savings are measured against literals, so the literal at pos
      // costs nothing extra: the later match wins when it saves more.
      if (next.gain > current.gain) {
        out.push_back({buf[pos], 0});
        ++pos;
        current = next;
        have_current = true;
        continue;
      }
      // pos + 1 is already in the finder.
      for (uint32_t p = pos + 2; p < pos + current.length; ++p) finder.Skip(buf, p, data_end);
    } else {
      for (uint32_t p = pos + 1; p < pos + current.length; ++p) finder.Skip(buf, p, data_end);
    }
    out.push_back({current.length, current.distance});
    history.Apply(current.length, current.distance);
    pos += current.length;
  }
  return pos;
}

// ---- Optimal parsing ----------------------------------------------------

constexpr uint32_t kOptimalBlock = 32768;
constexpr uint32_t kLazyBlock = 32768;

struct Node {
  uint32_t cost;
  uint32_t length;    // of the step that reached this position (1 with distance 0: a literal)
  uint32_t distance;
  MatchHistory history;
};

class OptimalParser {
 public:
  OptimalParser(const uint8_t* buf, uint32_t data_end, MatchFinder& finder, const ParseSettings& settings)
      : buf_(buf), end_(data_end), finder_(finder), settings_(settings) {}

  void ParseBlock(uint32_t begin, uint32_t block_end, MatchHistory& history, LzPrices& prices,
                  std::vector<Token>& out) {
    Gather(begin, block_end);
    std::vector<Token> tokens;
    for (int pass = 0; pass < settings_.passes; ++pass) {
      tokens.clear();
      Solve(begin, block_end, history, prices, tokens);
      LzStats stats = CodeStats(tokens, 0, history, prices);
      // Literal tokens hold their byte in `length`; turn them back below.
      prices = LzPrices::FromStats(stats);
    }
    for (const Token& t : tokens) {
      if (t.distance != 0) history.Apply(t.length, t.distance);
      out.push_back(t);
    }
  }

 private:
  // Finds the matches of every position of the block once; all passes use them.
  void Gather(uint32_t begin, uint32_t block_end) {
    const uint32_t n = block_end - begin;
    offsets_.assign(n + 1, 0);
    short_.assign(n, 0);
    skip_.assign(n, 0);
    matches_.clear();
    Match found[MatchFinder::kMaxMatches];
    for (uint32_t i = 0; i < n;) {
      uint32_t pos = begin + i;
      short_[i] = finder_.ShortDistance(buf_, pos, end_);
      int count = finder_.Find(buf_, pos, end_, rar::kMaxMatchLength, found);
      matches_.insert(matches_.end(), found, found + count);
      offsets_[i + 1] = static_cast<uint32_t>(matches_.size());
      ++i;
      if (count > 0 && found[count - 1].length >= settings_.nice) {
        // A long match is taken as it is: the positions it covers are only
        // entered into the finder.
        uint32_t last = std::min(begin + i - 1 + found[count - 1].length, block_end);
        for (; begin + i < last; ++i) {
          finder_.Skip(buf_, begin + i, end_);
          skip_[i] = 1;
          offsets_[i + 1] = static_cast<uint32_t>(matches_.size());
        }
      }
    }
  }

  void Solve(uint32_t begin, uint32_t block_end, const MatchHistory& start, const LzPrices& prices,
             std::vector<Token>& tokens) {
    const uint32_t n = block_end - begin;
    nodes_.assign(n + 1, Node{UINT32_MAX, 0, 0, {}});
    nodes_[0].cost = 0;
    nodes_[0].history = start;
    for (uint32_t i = 0; i < n; ++i) {
      const Node node = nodes_[i];
      const uint32_t pos = begin + i;
      const uint32_t remain = block_end - pos;
      const MatchHistory& h = node.history;
      auto relax = [&](uint32_t length, uint32_t distance, uint32_t bits) {
        Node& target = nodes_[i + length];
        uint32_t cost = node.cost + bits;
        if (cost >= target.cost) return;
        target.cost = cost;
        target.length = length;
        target.distance = distance;
        target.history = h;
        if (distance != 0) target.history.Apply(length, distance);
      };
      relax(1, 0, prices.Literal(buf_[pos]));
      if (skip_[i]) continue;

      if (h.prev_length > 0 && h.prev_length <= remain && h.prev_distance <= pos &&
          CommonLength(buf_ + pos, buf_ + pos - h.prev_distance, h.prev_length) == h.prev_length) {
        relax(h.prev_length, h.prev_distance, prices.main[kRepeatLast]);
      }
      for (int k = 0; k < 4; ++k) {
        uint32_t d = h.Recent(k);
        if (d == 0 || d > pos) continue;
        bool seen = false;
        for (int j = 0; j < k; ++j) seen |= h.Recent(j) == d;
        if (seen) continue;
        uint32_t length = CommonLength(buf_ + pos, buf_ + pos - d, std::min(remain, MaxRecentLength(d)));
        const uint32_t bonus = RecentLengthBonus(d);
        const uint32_t symbol = prices.main[kRecentFirst + k];
        uint32_t from = MinRecentLength(d);
        if (length >= settings_.nice) from = length;  // long enough: only the whole match
        for (uint32_t l = from; l <= length; ++l) relax(l, d, symbol + prices.recent_length[l - bonus]);
      }
      if (short_[i] != 0 && remain >= 2) {
        int slot = ShortDistanceSlot(short_[i] - 1);
        relax(2, short_[i], prices.main[kShortFirst + slot] + kShortDistanceExtraBits[slot] * kPriceScale);
      }
      uint32_t covered = 2;
      for (uint32_t m = offsets_[i]; m < offsets_[i + 1]; ++m) {
        const uint32_t d = matches_[m].distance;
        const uint32_t length = std::min({matches_[m].length, remain, MaxMatchLength(d)});
        const uint32_t bonus = MatchLengthBonus(d);
        const uint32_t distance_bits = prices.DistancePrice(d);
        uint32_t from = std::max(covered + 1, MinMatchLength(d));
        if (length >= settings_.nice) from = std::max(from, length);
        for (uint32_t l = from; l <= length; ++l) relax(l, d, prices.match_length[l - bonus] + distance_bits);
        covered = std::max(covered, length);
      }
    }
    // Walk back from the end.
    std::vector<Token> reversed;
    for (uint32_t i = n; i > 0;) {
      const Node& node = nodes_[i];
      if (node.distance == 0) {
        reversed.push_back({1, 0});
        i -= 1;
      } else {
        reversed.push_back({node.length, node.distance});
        i -= node.length;
      }
    }
    uint32_t pos = begin;
    for (auto it = reversed.rbegin(); it != reversed.rend(); ++it) {
      if (it->distance == 0) {
        tokens.push_back({buf_[pos], 0});
        pos += 1;
      } else {
        tokens.push_back(*it);
        pos += it->length;
      }
    }
  }

  const uint8_t* buf_;
  uint32_t end_;  // of the data, which the finder may hash up to
  MatchFinder& finder_;
  const ParseSettings& settings_;
  std::vector<uint32_t> offsets_;
  std::vector<Match> matches_;
  std::vector<uint32_t> short_;
  std::vector<uint8_t> skip_;
  std::vector<Node> nodes_;
};

}  // namespace

void Parse(const uint8_t* buf, uint32_t begin, uint32_t end, uint32_t data_end, MatchHistory history,
           LzPrices& prices, MatchFinder& finder, const ParseSettings& settings, std::vector<Token>& out) {
  // Literal tokens carry their byte in `length` while parsing, so that the
  // statistics need no second look at the buffer; they become (1, 0) at the end.
  size_t first = out.size();
  if (settings.method == ParseMethod::kOptimal) {
    OptimalParser parser(buf, data_end, finder, settings);
    for (uint32_t block = begin; block < end; block += kOptimalBlock) {
      parser.ParseBlock(block, std::min(end, block + kOptimalBlock), history, prices, out);
    }
  } else {
    // Prices follow the data in steps, so that what turns out cheap (the
    // previous match again, say) is chosen more from then on.
    for (uint32_t block = begin; block < end;) {
      size_t from = out.size();
      block = ParseLazy(buf, block, std::min(end, block + kLazyBlock), end, data_end, history, prices, finder,
                        settings, out);
      LzStats stats = CodeStats(out, from, history, prices);
      for (size_t i = from; i < out.size(); ++i) {
        if (out[i].distance != 0) history.Apply(out[i].length, out[i].distance);
      }
      prices = LzPrices::FromStats(stats);
    }
  }
  for (size_t i = first; i < out.size(); ++i) {
    if (out[i].distance == 0) out[i].length = 1;
  }
}

}  // namespace pack
