#include "tools/pack/compressor/table_block.h"

#include <algorithm>
#include <cstring>

#include "tools/pack/compressor/huffman_lengths.h"

namespace pack {

namespace {

constexpr int kPrecodeSymbols = 19;

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
    if (len[i] == 0) {
      int run = 1;
      while (i + run < count && len[i + run] == 0 && run < 138) ++run;
      if (run >= 11) {
        plan.items.push_back({18, static_cast<uint8_t>(run - 11), 7});
        i += run;
        continue;
      }
      if (run >= 3) {
        plan.items.push_back({17, static_cast<uint8_t>(run - 3), 3});
        i += run;
        continue;
      }
    } else if (i > 0 && len[i] == len[i - 1]) {
      int run = 0;
      while (i + run < count && len[i + run] == len[i - 1] && run < 6) ++run;
      if (run >= 3) {
        plan.items.push_back({16, static_cast<uint8_t>(run - 3), 2});
        i += run;
        continue;
      }
    }
    uint8_t base = differences ? history.previous[i] : 0;
    plan.items.push_back({static_cast<uint8_t>((len[i] - base) & 15), 0, 0});
    ++i;
  }
  std::vector<uint64_t> freqs(kPrecodeSymbols, 0);
  for (const LengthItem& item : plan.items) ++freqs[item.symbol];
  plan.precode = LimitedCodeLengths(freqs, 15);
  plan.bits = 2 + (block.audio ? 2 : 0) + 4 * kPrecodeSymbols;
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
  for (int i = 0; i < kPrecodeSymbols; ++i) out.Write(plan.precode[i], 4);
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
