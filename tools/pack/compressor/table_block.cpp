#include "tools/pack/compressor/table_block.h"

#include <algorithm>
#include <cstring>

#include "archive/archive_format.h"
#include "tools/pack/compressor/huffman_lengths.h"

namespace pack {

namespace {

using rar::kPrecodeSymbols;
// The pre-code's runs: of the previous length, and the short and long runs
// of zeros.
constexpr const rar::PrecodeRun& kRepeatRun = rar::kPrecodeRuns[0];
constexpr const rar::PrecodeRun& kZeroRun = rar::kPrecodeRuns[1];
constexpr const rar::PrecodeRun& kLongZeroRun = rar::kPrecodeRuns[2];
constexpr uint8_t kZeroRunSymbol = rar::kPrecodeRepeat + 1;
constexpr uint8_t kLongZeroRunSymbol = rar::kPrecodeRepeat + 2;
constexpr int kLongestZeros = static_cast<int>(rar::LongestRun(kLongZeroRun));
constexpr int kLongestRepeat = static_cast<int>(rar::LongestRun(kRepeatRun));

struct LengthItem {
  uint8_t symbol;     // pre-code symbol 0-18
  uint8_t extra;      // run field of symbols 16-18
  uint8_t extra_bits;
};

struct Plan {
  bool differences = false;
  std::vector<LengthItem> items;
  std::vector<uint8_t> precode;  // 19 lengths
  uint64_t bits = 0;
};

// Turns the lengths into pre-code items. Runs use the final lengths: 16
// repeats the length just set, 17 and 18 set zeros whatever came before.
Plan MakePlan(const TableHistory& history, const TableBlock& block, bool differences) {
  Plan plan;
  plan.differences = differences;
  const std::vector<uint8_t>& len = block.lengths;
  const int count = static_cast<int>(len.size());
  for (int i = 0; i < count;) {
    auto take_run = [&](uint8_t symbol, const rar::PrecodeRun& r, int run) {
      plan.items.push_back({symbol, static_cast<uint8_t>(run - r.shortest), static_cast<uint8_t>(r.extra_bits)});
      i += run;
    };
    if (len[i] == 0) {
      int run = 1;
      while (i + run < count && len[i + run] == 0 && run < kLongestZeros) ++run;
      if (run >= static_cast<int>(kLongZeroRun.shortest)) {
        take_run(kLongZeroRunSymbol, kLongZeroRun, run);
        continue;
      }
      if (run >= static_cast<int>(kZeroRun.shortest)) {
        take_run(kZeroRunSymbol, kZeroRun, run);
        continue;
      }
    } else if (i > 0 && len[i] == len[i - 1]) {
      int run = 0;
      while (i + run < count && len[i + run] == len[i - 1] && run < kLongestRepeat) ++run;
      if (run >= static_cast<int>(kRepeatRun.shortest)) {
        take_run(rar::kPrecodeRepeat, kRepeatRun, run);
        continue;
      }
    }
    uint8_t base = differences ? history.previous[i] : 0;
    plan.items.push_back({static_cast<uint8_t>((len[i] - base) & 15), 0, 0});
    ++i;
  }
  std::vector<uint64_t> freqs(kPrecodeSymbols, 0);
  for (const LengthItem& item : plan.items) ++freqs[item.symbol];
  plan.precode = LimitedCodeLengths(freqs);
  plan.bits = 2 + (block.audio ? 2 : 0) + rar::kPrecodeLengthBits * kPrecodeSymbols;
  for (const LengthItem& item : plan.items) plan.bits += plan.precode[item.symbol] + item.extra_bits;
  return plan;
}

Plan BestPlan(const TableHistory& history, const TableBlock& block) {
  Plan fresh = MakePlan(history, block, false);
  if (static_cast<int>(block.lengths.size()) > history.known) return fresh;
  Plan relative = MakePlan(history, block, true);
  return relative.bits < fresh.bits ? relative : fresh;
}

}  // namespace

void TableHistory::Reset() {
  std::memset(previous, 0, sizeof previous);
  known = codes::kMaxTableLengths;
}

uint64_t TableBlockBits(const TableHistory& history, const TableBlock& block) {
  return BestPlan(history, block).bits;
}

uint64_t WriteTableBlock(BitWriter& out, TableHistory& history, const TableBlock& block) {
  Plan plan = BestPlan(history, block);
  uint64_t start = out.BitCount();
  out.Write(block.audio ? 1 : 0, 1);
  out.Write(plan.differences ? 1 : 0, 1);
  if (block.audio) out.Write(static_cast<uint32_t>(block.channels - 1), 2);
  for (uint32_t i = 0; i < kPrecodeSymbols; ++i) out.Write(plan.precode[i], rar::kPrecodeLengthBits);
  std::vector<uint16_t> codes = CanonicalCodes(plan.precode);
  for (const LengthItem& item : plan.items) {
    out.Write(codes[item.symbol], plan.precode[item.symbol]);
    out.Write(item.extra, item.extra_bits);
  }
  if (!plan.differences) std::memset(history.previous, 0, sizeof history.previous);
  std::copy(block.lengths.begin(), block.lengths.end(), history.previous);
  history.known = static_cast<int>(block.lengths.size());
  return out.BitCount() - start;
}

}  // namespace pack
