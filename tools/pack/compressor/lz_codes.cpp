#include "tools/pack/compressor/lz_codes.h"

#include <cmath>

#include "tools/pack/compressor/huffman_lengths.h"

namespace pack {

using namespace codes;

void LzStats::Add(const LzCode& c) {
  ++main[c.main];
  if (c.main >= kRecentFirst && c.main < kShortFirst) ++repeat[c.slot];
  if (c.main >= kMatchFirst) ++distance[c.slot];
  extra_bits += c.bits1 + c.bits2;
}

void LzStats::Add(const LzStats& o) {
  for (uint32_t i = 0; i < kMainSymbols; ++i) main[i] += o.main[i];
  for (uint32_t i = 0; i < kDistanceSymbols; ++i) distance[i] += o.distance[i];
  for (uint32_t i = 0; i < kRepeatSymbols; ++i) repeat[i] += o.repeat[i];
  extra_bits += o.extra_bits;
}

uint64_t LzStats::Literals() const {
  uint64_t n = 0;
  for (uint32_t i = 0; i < kLiteralCount; ++i) n += main[i];
  return n;
}

uint64_t LzStats::Matches() const {
  uint64_t n = 0;
  for (uint32_t i = kLiteralCount; i < kMainSymbols; ++i) n += i == kNewTables ? 0 : main[i];
  return n;
}

DecodingPrices DecodingPricesOf(const LzStats& stats) {
  const uint64_t literals = stats.Literals();
  const uint64_t tokens = literals + stats.Matches();
  // Nothing known yet: as likely one as the other.
  const double literal_share = tokens ? static_cast<double>(literals) / static_cast<double>(tokens) : 0.5;
  return {kSwitchBits * (1 - literal_share), kMatchBits + kSwitchBits * literal_share};
}

void LzStats::Decay() {
  for (auto* freqs : {&main, &distance, &repeat}) {
    for (uint64_t& f : *freqs) f -= f / 4;
  }
  extra_bits -= extra_bits / 4;
}

void LzPrices::Derive() {
  for (uint32_t i = 0; i < kDistanceSymbols; ++i) distance[i] += kDistanceExtraBits[i] * kPriceScale;
  for (uint32_t len = rar::kMatchLengthBase; len <= kLongestMatchCoded; ++len) {
    int slot = LengthSlot(len - rar::kMatchLengthBase);
    match_length[len] = main[kMatchFirst + slot] + kLengthExtraBits[slot] * kPriceScale;
  }
  for (uint32_t len = rar::kRecentLengthBase; len <= kLongestRecentCoded; ++len) {
    int slot = LengthSlot(len - rar::kRecentLengthBase);
    recent_length[len] = repeat[slot] + kLengthExtraBits[slot] * kPriceScale;
  }
}

namespace {

void Information(const std::vector<uint64_t>& freqs, uint32_t* out) {
  uint64_t total = 0;
  for (uint64_t f : freqs) total += f;
  for (size_t i = 0; i < freqs.size(); ++i) {
    // Unseen symbols cost as if seen once in twice the data.
    double p = freqs[i] ? static_cast<double>(freqs[i]) / total : 0.5 / (total + 1);
    double bits = -std::log2(p);
    out[i] = static_cast<uint32_t>(std::lround((bits < 1 ? 1 : (bits > 15 ? 15 : bits)) * kPriceScale));
  }
}

}  // namespace

LzPrices LzPrices::FromStats(const LzStats& stats) {
  LzPrices p;
  Information(stats.main, p.main);
  Information(stats.distance, p.distance);
  Information(stats.repeat, p.repeat);
  const DecodingPrices decoding = DecodingPricesOf(stats);
  const uint32_t literal_units = static_cast<uint32_t>(std::lround(decoding.literal * kPriceScale));
  const uint32_t match_units = static_cast<uint32_t>(std::lround(decoding.match * kPriceScale));
  for (uint32_t i = 0; i < kMainSymbols; ++i) {
    if (i != kNewTables) p.main[i] += i < kLiteralCount ? literal_units : match_units;
  }
  p.Derive();
  return p;
}

LzPrices LzPrices::Initial() {
  LzPrices p;
  for (uint32_t i = 0; i < kMainSymbols; ++i) p.main[i] = 8 * kPriceScale;
  p.main[kRepeatLast] = 7 * kPriceScale;
  p.main[kRecentFirst] = 6 * kPriceScale;
  p.main[kNewTables] = 15 * kPriceScale;
  for (uint32_t i = 0; i < kDistanceSymbols; ++i) p.distance[i] = 5 * kPriceScale;
  for (uint32_t i = 0; i < kRepeatSymbols; ++i) p.repeat[i] = (i < 8 ? 3 : 5) * kPriceScale;
  p.Derive();
  return p;
}

bool CodeMatch(uint32_t length, uint32_t distance, const MatchHistory& h, const LzPrices& p, LzCode* code,
               uint32_t* bits) {
  uint32_t best = UINT32_MAX;
  LzCode c;
  if (distance == 0 || distance > kMaxDistance || length < rar::kShortMatchLength ||
      length > rar::kMaxMatchLength) {
    return false;
  }
  if (h.prev_length == length && h.prev_distance == distance) {
    best = p.main[kRepeatLast];
    c = LzCode{};
    c.main = kRepeatLast;
  }
  for (uint32_t k = 0; k < rar::kRecentDistances; ++k) {
    if (h.Recent(k) != distance) continue;
    uint32_t coded = length - RecentLengthBonus(distance);
    if (length < MinRecentLength(distance) || coded > kLongestRecentCoded) break;
    uint32_t price = p.main[kRecentFirst + k] + p.recent_length[coded];
    if (price < best) {
      best = price;
      int slot = LengthSlot(coded - rar::kRecentLengthBase);
      c = LzCode{};
      c.main = static_cast<uint16_t>(kRecentFirst + k);
      c.slot = static_cast<uint8_t>(slot);
      c.bits1 = kLengthExtraBits[slot];
      c.extra1 = static_cast<uint16_t>(coded - rar::kRecentLengthBase - kLengthBase[slot]);
    }
  }
  if (length == rar::kShortMatchLength && distance <= kShortDistanceEnd) {
    int slot = ShortDistanceSlot(distance - rar::kDistanceBias);
    uint32_t price = p.main[kShortFirst + slot] + kShortDistanceExtraBits[slot] * kPriceScale;
    if (price < best) {
      best = price;
      c = LzCode{};
      c.main = static_cast<uint16_t>(kShortFirst + slot);
      c.bits1 = kShortDistanceExtraBits[slot];
      c.extra1 = static_cast<uint16_t>(distance - rar::kDistanceBias - kShortDistanceBase[slot]);
    }
  }
  if (length >= MinMatchLength(distance) && length <= MaxMatchLength(distance)) {
    uint32_t coded = length - MatchLengthBonus(distance);
    uint32_t price = p.match_length[coded] + p.DistancePrice(distance);
    if (price < best) {
      best = price;
      int lslot = LengthSlot(coded - rar::kMatchLengthBase);
      int dslot = DistanceSlot(distance - rar::kDistanceBias);
      c = LzCode{};
      c.main = static_cast<uint16_t>(kMatchFirst + lslot);
      c.bits1 = kLengthExtraBits[lslot];
      c.extra1 = static_cast<uint16_t>(coded - rar::kMatchLengthBase - kLengthBase[lslot]);
      c.slot = static_cast<uint8_t>(dslot);
      c.bits2 = kDistanceExtraBits[dslot];
      c.extra2 = distance - rar::kDistanceBias - kDistanceBase[dslot];
    }
  }
  if (best == UINT32_MAX) return false;
  *code = c;
  if (bits) *bits = best;
  return true;
}

LzTables::LzTables(std::vector<uint8_t> l) : lengths(std::move(l)) {
  codes.resize(lengths.size());
  auto part = [&](int from, int count) {
    std::vector<uint8_t> sub(lengths.begin() + from, lengths.begin() + from + count);
    std::vector<uint16_t> c = CanonicalCodes(sub);
    std::copy(c.begin(), c.end(), codes.begin() + from);
  };
  part(0, kMainSymbols);
  part(kMainSymbols, kDistanceSymbols);
  part(kMainSymbols + kDistanceSymbols, kRepeatSymbols);
}

uint64_t LzTables::Bits(const LzStats& s) const {
  uint64_t a = CodedBits(s.main, lengths.data());
  uint64_t b = CodedBits(s.distance, lengths.data() + kMainSymbols);
  uint64_t c = CodedBits(s.repeat, lengths.data() + kMainSymbols + kDistanceSymbols);
  if (a == UINT64_MAX || b == UINT64_MAX || c == UINT64_MAX) return UINT64_MAX;
  return a + b + c + s.extra_bits;
}

void WriteLzCode(BitWriter& out, const LzCode& c, const LzTables& t) {
  out.Write(t.codes[c.main], t.lengths[c.main]);
  if (c.main >= kRecentFirst && c.main < kShortFirst) {
    int r = kMainSymbols + kDistanceSymbols + c.slot;
    out.Write(t.codes[r], t.lengths[r]);
    out.Write(c.extra1, c.bits1);
  } else if (c.main >= kShortFirst && c.main < kNewTables) {
    out.Write(c.extra1, c.bits1);
  } else if (c.main >= kMatchFirst) {
    out.Write(c.extra1, c.bits1);
    int d = kMainSymbols + c.slot;
    out.Write(t.codes[d], t.lengths[d]);
    out.Write(c.extra2, c.bits2);
  }
}

}  // namespace pack
