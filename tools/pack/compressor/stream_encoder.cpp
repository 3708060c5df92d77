#include "tools/pack/compressor/stream_encoder.h"

#include <algorithm>

#include "tools/pack/compressor/bit_writer.h"
#include "tools/pack/compressor/audio_model.h"
#include "tools/pack/compressor/code_slots.h"
#include "tools/pack/compressor/compression_level.h"
#include "tools/pack/compressor/huffman_lengths.h"
#include "tools/pack/compressor/lz_codes.h"
#include "tools/pack/compressor/lz_parser.h"
#include "tools/pack/compressor/lz_probe.h"
#include "tools/pack/compressor/match_finder.h"
#include "tools/pack/compressor/mode_planner.h"
#include "tools/pack/compressor/table_block.h"

namespace pack {

using namespace codes;

namespace {

constexpr uint32_t kPlanWindow = 256 * 1024;  // input planned and parsed at once
constexpr uint32_t kChunk = 4096;             // granularity of the choice of mode
constexpr uint32_t kEmitBlock = 64 * 1024;    // input per decision on new tables
constexpr uint32_t kSmallFile = 16 * 1024;    // smaller files of solid streams get lasting tables
// Multimedia coding "clearly wins" a chunk below this share of the LZ probe,
// both with their prices for decoding: multimedia's in BestAudioBits, LZ's
// about this much a byte (the decoding prices of literals and matches come
// to 0.3 bits a byte on modules' LZ-coded stretches). Without LZ's, PCM's
// chunks came within the share and went through the full parse: 6.6 MB/s
// at -5 instead of 13.6, for the same archive.
constexpr double kClearWin = 0.7;
constexpr double kLzDecodingBitsPerByte = 0.3;

// The symbol counts of an audio stretch, 257 per channel.
using AudioStats = std::vector<std::vector<uint64_t>>;

}  // namespace

struct StreamEncoder::State {
  State(int level, bool solid) : settings(SettingsForLevel(level)), solid(solid) {
    finder.Configure(settings.hash_bits, settings.depth, settings.parse.nice, settings.good);
  }

  LevelSettings settings;
  bool solid;
  bool small_file = false;  // the file being coded is smaller than kSmallFile
  // Everything coded since the last reset, trimmed to whole windows from the
  // front; the file being coded is at its end.
  std::vector<uint8_t> buf;
  MatchFinder finder;
  MatchHistory lz;
  AudioModel audio;
  int channel = 0;
  LzPrices prices = LzPrices::Initial();
  LzStats recent_lz;  // symbol counts of the LZ blocks coded lately, fading
  TableHistory table_history;

  // The decoder's current tables.
  bool have_tables = false;
  CodingMode mode = 0;
  std::unique_ptr<LzTables> lz_tables;
  std::vector<uint8_t> audio_lengths[kMaxChannels];
  std::vector<uint16_t> audio_codes[kMaxChannels];

  BitWriter* out = nullptr;

  void Reset() {
    buf.clear();
    finder.Reset();
    lz = MatchHistory{};
    audio = AudioModel{};
    channel = 0;
    prices = LzPrices::Initial();
    recent_lz = LzStats{};
    table_history.Reset();
    have_tables = false;
    mode = 0;
    lz_tables.reset();
  }

  void Append(const uint8_t* data, size_t size) {
    // Keep at least one window of history; drop whole windows so that the
    // finder's chain slots stay where they are.
    if (buf.size() > 2 * size_t{kWindowSize}) {
      uint32_t shift = static_cast<uint32_t>((buf.size() - kWindowSize) / kWindowSize * kWindowSize);
      buf.erase(buf.begin(), buf.begin() + shift);
      finder.Rebase(shift);
    }
    buf.insert(buf.end(), data, data + size);
  }

  // ---- table decisions --------------------------------------------------

  // Bits of the symbol that announces a table block under the current tables.
  uint32_t EscapeBits() const {
    if (!have_tables) return 0;
    return mode == 0 ? lz_tables->lengths[kNewTables] : audio_lengths[channel][kAudioNewTables];
  }

  void WriteEscape() {
    if (!have_tables) return;
    if (mode == 0) {
      out->Write(lz_tables->codes[kNewTables], lz_tables->lengths[kNewTables]);
    } else {
      out->Write(audio_codes[channel][kAudioNewTables], audio_lengths[channel][kAudioNewTables]);
    }
  }

  void EmitLzBlock(const std::vector<LzCode>& block) {
    LzStats stats;
    for (const LzCode& c : block) stats.Add(c);
    // Tables are judged by what they cost on `judged`: the block itself, or,
    // for a small file of a solid stream, the block with the recent ones,
    // which stand for the files still to come. Those tables also give every
    // symbol a code, the unused ones of the longest lengths: that costs next
    // to nothing, and the small files after it can keep the tables instead
    // of sending their own.
    const bool lasting = solid && small_file;
    LzStats judged = stats;
    if (lasting) judged.Add(recent_lz);

    uint64_t keep = UINT64_MAX;
    if (have_tables && mode == 0 && lz_tables->Bits(stats) != UINT64_MAX) keep = lz_tables->Bits(judged);

    // New tables always give the table announcement a code, so that the
    // stream can change tables again later (or the next file can).
    LzStats reserved = judged;
    if (lasting) {
      for (auto* freqs : {&reserved.main, &reserved.distance, &reserved.repeat}) {
        for (uint64_t& f : *freqs) f = std::max<uint64_t>(f, 1);
      }
    }
    ++reserved.main[kNewTables];
    TableBlock table;
    table.audio = false;
    for (const auto* freqs : {&reserved.main, &reserved.distance, &reserved.repeat}) {
      std::vector<uint8_t> l = LimitedCodeLengths(*freqs);
      table.lengths.insert(table.lengths.end(), l.begin(), l.end());
    }
    LzTables fresh(table.lengths);
    uint64_t renew = EscapeBits() + TableBlockBits(table_history, table) + fresh.Bits(judged);

    if (keep == UINT64_MAX || renew < keep) {
      WriteEscape();
      WriteTableBlock(*out, table_history, table);
      lz_tables = std::make_unique<LzTables>(std::move(fresh));
      have_tables = true;
      mode = 0;
    }
    for (const LzCode& c : block) WriteLzCode(*out, c, *lz_tables);
    recent_lz.Decay();
    recent_lz.Add(stats);
  }

  // `symbols` were made for channels starting at `first_channel`, rotating;
  // `channel` is still the channel current before them, whose table would
  // carry the announcement of new tables.
  void EmitAudioBlock(int channels, const std::vector<uint8_t>& symbols, int first_channel) {
    AudioStats stats(channels, std::vector<uint64_t>(kAudioSymbols, 0));
    int ch = first_channel;
    for (uint8_t s : symbols) {
      ++stats[ch][s];
      if (++ch == channels) ch = 0;
    }
    uint64_t keep = UINT64_MAX;
    if (have_tables && mode == channels) {
      keep = 0;
      for (int c = 0; c < channels && keep != UINT64_MAX; ++c) {
        uint64_t bits = CodedBits(stats[c], audio_lengths[c].data());
        keep = bits == UINT64_MAX ? UINT64_MAX : keep + bits;
      }
    }
    TableBlock table;
    table.audio = true;
    table.channels = channels;
    uint64_t data_bits = 0;
    std::vector<std::vector<uint8_t>> lengths;
    for (int c = 0; c < channels; ++c) {
      std::vector<uint64_t> reserved = stats[c];
      ++reserved[kAudioNewTables];
      lengths.push_back(LimitedCodeLengths(reserved));
      table.lengths.insert(table.lengths.end(), lengths.back().begin(), lengths.back().end());
      data_bits += CodedBits(stats[c], lengths.back().data());
    }
    uint64_t renew = EscapeBits() + TableBlockBits(table_history, table) + data_bits;
    if (keep == UINT64_MAX || renew < keep) {
      WriteEscape();
      WriteTableBlock(*out, table_history, table);
      for (int c = 0; c < channels; ++c) {
        audio_codes[c] = CanonicalCodes(lengths[c]);
        audio_lengths[c] = std::move(lengths[c]);
      }
      have_tables = true;
      mode = channels;
    }
    ch = first_channel;
    for (uint8_t s : symbols) {
      out->Write(audio_codes[ch][s], audio_lengths[ch][s]);
      if (++ch == channels) ch = 0;
    }
  }

  // ---- segments ---------------------------------------------------------

  // Codes buf[begin, end) in LZ mode from the parse `tokens`, which start at
  // `token_start` and cover at least the range. Tokens cut by the range's
  // ends are shortened, or become literals when too short for any symbol.
  void EmitLzSegment(uint32_t begin, uint32_t end, const std::vector<Token>& tokens, size_t& index,
                     uint32_t& token_start) {
    std::vector<LzCode> block;
    uint32_t block_start = begin;
    uint32_t pos = begin;
    while (pos < end) {
      while (token_start + tokens[index].length <= pos) token_start += tokens[index++].length;
      const Token& t = tokens[index];
      uint32_t stop = std::min(token_start + t.length, end);
      LzCode code;
      if (t.distance != 0 && CodeMatch(stop - pos, t.distance, lz, prices, &code, nullptr)) {
        block.push_back(code);
        lz.Apply(stop - pos, t.distance);
      } else {
        for (uint32_t p = pos; p < stop; ++p) block.push_back(LiteralCode(buf[p]));
      }
      pos = stop;
      if (pos - block_start >= kEmitBlock || pos == end) {
        EmitLzBlock(block);
        block.clear();
        block_start = pos;
      }
    }
  }

  void EmitAudioSegment(uint32_t begin, uint32_t end, int channels) {
    for (uint32_t pos = begin; pos < end;) {
      uint32_t stop = std::min(end, pos + kEmitBlock);
      // A table block with fewer channels than the current channel number
      // restarts the rotation at 0; with the current tables kept the channel
      // count is unchanged and the channel always exists.
      int ch = channel < channels ? channel : 0;
      const int first = ch;
      std::vector<uint8_t> symbols;
      symbols.reserve(stop - pos);
      for (uint32_t p = pos; p < stop; ++p) {
        symbols.push_back(audio.Encode(ch, buf[p]));
        if (++ch == channels) ch = 0;
      }
      EmitAudioBlock(channels, symbols, first);
      channel = ch;
      pos = stop;
    }
  }

  // ---- planning ---------------------------------------------------------

  void CodeWindow(uint32_t begin, uint32_t end, uint32_t data_end) {
    const uint32_t chunks = (end - begin + kChunk - 1) / kChunk;
    ChunkMeasures measures;
    measures.lz.resize(chunks);
    for (int n = 1; n <= static_cast<int>(kMaxChannels); ++n) {
      auto& counts = measures.audio[n];
      counts.assign(chunks, std::vector<uint32_t>(256 * n, 0));
      AudioModel model = audio;
      int ch = channel < n ? channel : 0;
      for (uint32_t pos = begin; pos < end; ++pos) {
        ++counts[(pos - begin) / kChunk][ch * 256 + model.Encode(ch, buf[pos])];
        if (++ch == n) ch = 0;
      }
    }
    // Chunks that multimedia coding clearly wins skip the full parse; they
    // stand as literals in the token list, in case the plan still wants them
    // in LZ mode.
    std::vector<double> probe = ProbeLzBits(buf.data(), begin, end, kChunk);
    for (uint32_t c = 0; c < chunks; ++c) {
      probe[c] += kLzDecodingBitsPerByte * (std::min(end, begin + (c + 1) * kChunk) - (begin + c * kChunk));
    }
    std::vector<double> audio_bits = BestAudioBits(measures);
    std::vector<Token> tokens;
    MatchHistory h = lz;
    for (uint32_t c = 0; c < chunks;) {
      const bool skip = audio_bits[c] < kClearWin * probe[c];
      uint32_t c_end = c;
      while (c_end < chunks && (audio_bits[c_end] < kClearWin * probe[c_end]) == skip) ++c_end;
      uint32_t run_begin = begin + c * kChunk;
      uint32_t run_end = std::min(end, begin + c_end * kChunk);
      if (skip) {
        for (uint32_t p = run_begin; p < run_end; ++p) {
          finder.Skip(buf.data(), p, data_end);
          tokens.push_back({1, 0});
        }
      } else {
        size_t first = tokens.size();
        Parse(buf.data(), run_begin, run_end, data_end, h, prices, finder, settings.parse, tokens);
        for (size_t i = first; i < tokens.size(); ++i) {
          if (tokens[i].distance != 0) h.Apply(tokens[i].length, tokens[i].distance);
        }
      }
      c = c_end;
    }

    {
      MatchHistory h = lz;
      uint32_t pos = begin;
      for (const Token& t : tokens) {
        LzStats& s = measures.lz[(pos - begin) / kChunk];
        LzCode code;
        if (t.distance == 0) {
          ++s.main[buf[pos]];
        } else if (CodeMatch(t.length, t.distance, h, prices, &code, nullptr)) {
          s.Add(code);
          h.Apply(t.length, t.distance);
        }
        pos += t.length;
      }
    }
    std::vector<CodingMode> plan = PlanModes(measures, have_tables ? mode : -1);

    size_t index = 0;
    uint32_t token_start = begin;
    for (uint32_t c = 0; c < chunks;) {
      uint32_t c_end = c;
      while (c_end < chunks && plan[c_end] == plan[c]) ++c_end;
      uint32_t seg_begin = begin + c * kChunk;
      uint32_t seg_end = std::min(end, begin + c_end * kChunk);
      if (plan[c] == 0) {
        EmitLzSegment(seg_begin, seg_end, tokens, index, token_start);
      } else {
        EmitAudioSegment(seg_begin, seg_end, plan[c]);
      }
      c = c_end;
    }
  }
};

StreamEncoder::StreamEncoder(int level, bool solid) : state_(std::make_unique<State>(level, solid)) {}
StreamEncoder::~StreamEncoder() = default;

std::vector<uint8_t> StreamEncoder::EncodeFile(const uint8_t* data, size_t size, bool continues,
                                               const std::function<void(uint64_t)>& progress) {
  State& s = *state_;
  if (!continues) s.Reset();
  BitWriter out;
  s.out = &out;
  s.small_file = size < kSmallFile;
  s.Append(data, size);
  const uint32_t end = static_cast<uint32_t>(s.buf.size());
  const uint32_t begin = end - static_cast<uint32_t>(size);
  for (uint32_t pos = begin; pos < end;) {
    uint32_t stop = std::min(end, pos + kPlanWindow);
    s.CodeWindow(pos, stop, end);
    pos = stop;
    if (progress) progress(pos - begin);
  }
  if (!s.have_tables) {
    // The decoder reads a table block at the start of a file that does not
    // continue a stream, even an empty one: give it the smallest there is.
    s.EmitLzBlock({});
  }
  s.out = nullptr;
  return out.Finish();
}

}  // namespace pack
