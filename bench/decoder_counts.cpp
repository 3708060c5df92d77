// What the decoder does on one archived file: extracts it with the counting
// engine (archive/decoder_stats.h) and prints the counters, with the shares
// that tell where decoding time goes (LZ or multimedia bytes, channel counts,
// bytes in rounds, pair look-ups that found a pair, table blocks and mode
// switches per megabyte).
//
//   decoder_counts ARCHIVE NAME
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "archive/decoder_stats.h"
#include "archive/extract.h"
#include "tools/common/file_io.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: decoder_counts ARCHIVE NAME\n");
    return 2;
  }
  std::vector<uint8_t> image = tools::ReadWholeFile(argv[1]);
  MemoryArchive archive{image.data(), static_cast<uint32_t>(image.size()), 0};
  uint8_t* out = nullptr;
  uint32_t size = 0;
  ResetDecoderStats();
  if (!ExtractFile(&out, &size, argv[2], &archive, nullptr)) {
    std::fprintf(stderr, "decoder_counts: %s does not extract from %s\n", argv[2], argv[1]);
    return 1;
  }
  std::free(out);
  const DecoderStats& d = decoder_stats;
  const double mb = size / 1e6;
  const uint64_t lz_bytes = d.literals + d.match_bytes;
  auto row = [](const char* what, uint64_t n, const char* note = "") {
    std::printf("%-34s %12" PRIu64 "  %s\n", what, n, note);
  };
  auto share = [](uint64_t part, uint64_t whole) { return whole ? 100.0 * part / whole : 0.0; };
  char note[128];
  row("output bytes", size);
  std::snprintf(note, sizeof note, "%.1f%% of output", share(lz_bytes, size));
  row("LZ bytes", lz_bytes, note);
  std::snprintf(note, sizeof note, "%.1f%% of output", share(d.audio_bytes, size));
  row("multimedia bytes", d.audio_bytes, note);
  for (int c = 0; c < 4; ++c) {
    char what[64];
    std::snprintf(what, sizeof what, "  with %d channel%s", c + 1, c ? "s" : "");
    std::snprintf(note, sizeof note, "%.1f%% of multimedia", share(d.audio_bytes_by_channels[c], d.audio_bytes));
    row(what, d.audio_bytes_by_channels[c], note);
  }
  std::snprintf(note, sizeof note, "%.1f%% of multimedia", share(d.audio_round_bytes, d.audio_bytes));
  row("  in rounds", d.audio_round_bytes, note);
  std::snprintf(note, sizeof note, "%.0f bytes each", d.audio_round_runs ? double(d.audio_round_bytes) / d.audio_round_runs : 0.0);
  row("  runs of rounds", d.audio_round_runs, note);
  std::snprintf(note, sizeof note, "%.1f%% of pair look-ups", share(PairMisses(d), PairHits(d) + PairMisses(d)));
  row("  pair look-ups without a pair", PairMisses(d), note);
  row("  pair look-ups with a pair", PairHits(d));
  for (int c = 0; c < 4; ++c) {
    const uint64_t lookups = d.pair_hits_by_channels[c] + d.pair_misses_by_channels[c];
    if (lookups == 0) continue;
    char what[64];
    std::snprintf(what, sizeof what, "    without, with %d channel%s", c + 1, c ? "s" : "");
    std::snprintf(note, sizeof note, "%.1f%% of its look-ups", share(d.pair_misses_by_channels[c], lookups));
    row(what, d.pair_misses_by_channels[c], note);
  }
  row("literals", d.literals);
  std::snprintf(note, sizeof note, "%.1f bytes each", (d.long_match + d.short_match + d.recent_distance + d.repeat_last) ? double(d.match_bytes) / (d.long_match + d.short_match + d.recent_distance + d.repeat_last) : 0.0);
  row("matches", d.long_match + d.short_match + d.recent_distance + d.repeat_last, note);
  row("  with length and distance", d.long_match);
  row("  short", d.short_match);
  row("  at a recent distance", d.recent_distance);
  row("  the previous again", d.repeat_last);
  uint64_t audio_blocks = 0;
  for (uint64_t n : d.audio_table_blocks) audio_blocks += n;
  std::snprintf(note, sizeof note, "%.1f per MB", d.lz_table_blocks / mb);
  row("LZ table blocks", d.lz_table_blocks, note);
  std::snprintf(note, sizeof note, "%.1f per MB (1-4 channels: %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 ")",
                audio_blocks / mb, d.audio_table_blocks[0], d.audio_table_blocks[1], d.audio_table_blocks[2],
                d.audio_table_blocks[3]);
  row("multimedia table blocks", audio_blocks, note);
  std::snprintf(note, sizeof note, "%.1f per MB", d.mode_switches / mb);
  row("mode switches", d.mode_switches, note);
  row("LZ entry table builds", d.lz_entry_builds);
  row("pair table builds", d.pair_table_builds);
  std::snprintf(note, sizeof note, "%.0f bytes each", d.lz_step_runs ? double(lz_bytes) / d.lz_step_runs : 0.0);
  row("LZ step runs", d.lz_step_runs, note);
  std::snprintf(note, sizeof note, "%.0f bytes each", d.audio_step_runs ? double(d.audio_bytes) / d.audio_step_runs : 0.0);
  row("multimedia step runs", d.audio_step_runs, note);
  row("LZ bytes without entry tables", d.lz_bytes_without_entries);
  return 0;
}
