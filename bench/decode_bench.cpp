// Decompression speed of ExtractFile (CRC check included) against zlib's
// inflate, and libdeflate when available. The inputs are the compressed
// entries of the RAR 2.0 test archives and, when named, files packed here by
// our own compressor at its best level: the inputs of the compression
// benchmark (text, binary, songs) and its synthetic 8-bit stereo PCM. Each
// input's bytes are compressed by zlib at level 9 (and libdeflate at level
// 12) for the peers. In every round each input is timed in slices, the
// contenders' slices interleaved, and the best slice of each counts; the
// figures are the minimum and the median over the rounds of our throughput
// divided by the peer's.
//
//   decode_bench [--rounds N] [--ms MILLISECONDS_PER_MEASUREMENT]
//                [--file LABEL=PATH]... [--pcm] [--no-fixtures] [--only SUBSTRING]
//
// bench/run-decode-bench gathers the compression benchmark's inputs.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#ifdef QUARB_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include "archive/archive_format.h"
#include "archive/extract.h"
#include "tools/common/file_io.h"
#include "tools/extract/archive_listing.h"
#include "tools/pack/archive_writer.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

struct Input {
  std::string label;
  std::string archive_path;
  std::string entry;
  Bytes archive;
  Bytes plain;
  Bytes zlib_stream;
  Bytes deflate_stream;
};

bool Decodable(const tools::ListedEntry& e) {
  return e.method != rar::kMethodStored && e.version_needed == 20 && (e.flags & 0x0007) == 0 &&
         (e.flags & rar::kFileDirectory) != rar::kFileDirectory;
}

// The peers' streams and the reference bytes of an input whose archive and
// entry are set.
void Prepare(Input& in) {
  MemoryArchive archive{in.archive.data(), static_cast<uint32_t>(in.archive.size()), 0};
  uint8_t* out = nullptr;
  uint32_t size = 0;
  if (!ExtractFile(&out, &size, in.entry.c_str(), &archive, nullptr)) {
    std::fprintf(stderr, "decode_bench: %s does not extract\n", in.label.c_str());
    std::exit(1);
  }
  Bytes plain(out, out + size);
  std::free(out);
  if (!in.plain.empty() && plain != in.plain) {
    std::fprintf(stderr, "decode_bench: %s does not extract to its own bytes\n", in.label.c_str());
    std::exit(1);
  }
  in.plain = std::move(plain);
  uLongf bound = compressBound(in.plain.size());
  in.zlib_stream.resize(bound);
  compress2(in.zlib_stream.data(), &bound, in.plain.data(), in.plain.size(), 9);
  in.zlib_stream.resize(bound);
#ifdef QUARB_HAVE_LIBDEFLATE
  libdeflate_compressor* c = libdeflate_alloc_compressor(12);
  in.deflate_stream.resize(libdeflate_zlib_compress_bound(c, in.plain.size()));
  in.deflate_stream.resize(libdeflate_zlib_compress(c, in.plain.data(), in.plain.size(),
                                                    in.deflate_stream.data(),
                                                    in.deflate_stream.size()));
  libdeflate_free_compressor(c);
#endif
}

// The compression benchmark's synthetic PCM: two channels of slow sines
// with a little noise.
Bytes Pcm(size_t frames) {
  std::mt19937 rng(11);
  std::normal_distribution<double> noise(0.0, 2.0);
  Bytes out;
  for (size_t i = 0; i < frames; ++i) {
    for (int c = 0; c < 2; ++c) {
      double t = static_cast<double>(i);
      double v = 128 + 60 * std::sin(t * (0.031 + 0.004 * c) + 0.002 * std::sin(t * 1e-4) * t) +
                 35 * std::sin(t * 0.0071 * (c + 1)) + noise(rng);
      out.push_back(static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0))));
    }
  }
  return out;
}

// `plain` packed by our compressor at its best level as the one file "data".
Input Packed(const std::string& label, Bytes plain) {
  Input in;
  in.label = label;
  in.entry = "data";
  pack::PackOptions options;
  options.level = 5;
  in.archive = pack::BuildArchive({{"data", plain, 0}}, options);
  in.plain = std::move(plain);
  Prepare(in);
  return in;
}

std::vector<Input> LoadFixtures() {
  std::vector<Input> inputs;
  fs::path dir = fs::path(QUARB_TEST_DATA_DIR) / "rar2";
  std::vector<fs::path> paths;
  for (const auto& item : fs::directory_iterator(dir)) {
    if (item.path().extension() == ".rar") paths.push_back(item.path());
  }
  std::sort(paths.begin(), paths.end());
  for (const fs::path& path : paths) {
    Bytes image = tools::ReadWholeFile(path.string());
    tools::Listing listing = tools::ListArchive(image.data(), image.size());
    for (const tools::ListedEntry& e : listing.entries) {
      if (!Decodable(e) || e.after_old_sub_block) continue;
      Input in;
      in.entry = e.name.substr(0, e.name.find('\0'));
      in.label = path.stem().string() + ":" + in.entry;
      in.archive_path = path.string();
      in.archive = image;
      Prepare(in);
      inputs.push_back(std::move(in));
    }
  }
  return inputs;
}

// Bytes of output per second of `run` over one timed slice of at least `ms`.
// The caller keeps the best of several slices, the least disturbed by
// whatever else the machine runs, and interleaves the contenders' slices so
// that they meet the same conditions.
double Slice(size_t bytes, double ms, const std::function<void()>& run) {
  uint64_t reps = 0;
  Clock::time_point start = Clock::now();
  double elapsed = 0;
  do {
    for (int i = 0; i < 4; ++i) run();
    reps += 4;
    elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  } while (elapsed * 1000 < ms);
  return static_cast<double>(bytes) * static_cast<double>(reps) / elapsed;
}

volatile uint32_t sink;

std::function<void()> Ours(Input& in) {
  return [&in] {
    MemoryArchive archive{in.archive.data(), static_cast<uint32_t>(in.archive.size()), 0};
    uint8_t* out = nullptr;
    uint32_t size = 0;
    if (!ExtractFile(&out, &size, in.entry.c_str(), &archive, nullptr)) std::abort();
    sink = out[size / 2];
    std::free(out);
  };
}

std::function<void()> Zlib(Input& in, Bytes& scratch) {
  return [&in, &scratch] {
    uLongf size = scratch.size();
    if (uncompress(scratch.data(), &size, in.zlib_stream.data(), in.zlib_stream.size()) != Z_OK ||
        size != in.plain.size()) {
      std::abort();
    }
    sink = scratch[size / 2];
  };
}

#ifdef QUARB_HAVE_LIBDEFLATE
std::function<void()> Libdeflate(Input& in, Bytes& scratch, libdeflate_decompressor* d) {
  return [&in, &scratch, d] {
    size_t size = 0;
    if (libdeflate_zlib_decompress(d, in.deflate_stream.data(), in.deflate_stream.size(),
                                   scratch.data(), in.plain.size(), &size) != LIBDEFLATE_SUCCESS) {
      std::abort();
    }
    sink = scratch[size / 2];
  };
}
#endif

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 7;
  double ms = 200;
  bool fixtures = true, pcm = false;
  std::string only;
  std::vector<std::pair<std::string, std::string>> files;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value = i + 1 < argc ? argv[i + 1] : "";
    if (arg == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--ms" && i + 1 < argc) {
      ms = std::max(1.0, std::atof(argv[++i]));
    } else if (arg == "--file" && value.find('=') != std::string::npos) {
      files.emplace_back(value.substr(0, value.find('=')), value.substr(value.find('=') + 1));
      ++i;
    } else if (arg == "--only" && i + 1 < argc) {
      only = argv[++i];
    } else if (arg == "--pcm") {
      pcm = true;
    } else if (arg == "--no-fixtures") {
      fixtures = false;
    } else {
      std::fprintf(stderr,
                   "usage: decode_bench [--rounds N] [--ms MILLISECONDS] [--file LABEL=PATH]...\n"
                   "                    [--pcm] [--no-fixtures] [--only SUBSTRING]\n");
      return 2;
    }
  }
  std::vector<Input> inputs;
  if (fixtures) inputs = LoadFixtures();
  for (const auto& [label, path] : files) {
    std::fprintf(stderr, "packing %s\n", label.c_str());
    inputs.push_back(Packed(label, tools::ReadWholeFile(path)));
  }
  if (pcm) inputs.push_back(Packed("pcm", Pcm(2 << 20)));
  std::erase_if(inputs, [&](const Input& in) { return in.label.find(only) == std::string::npos; });
  size_t largest = 0;
  for (const Input& in : inputs) largest = std::max(largest, in.plain.size());
  Bytes scratch(largest + 1);
#ifdef QUARB_HAVE_LIBDEFLATE
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
#endif

  struct Row {
    std::vector<double> ours, vs_zlib, vs_libdeflate;
  };
  std::vector<Row> rows(inputs.size());
  constexpr int kSlices = 10;
  for (int round = 0; round < rounds; ++round) {
    for (size_t i = 0; i < inputs.size(); ++i) {
      Input& in = inputs[i];
      std::function<void()> ours = Ours(in);
      std::function<void()> zlib = Zlib(in, scratch);
      ours();
      zlib();
      double best_ours = 0, best_zlib = 0, best_libdeflate = 0;
#ifdef QUARB_HAVE_LIBDEFLATE
      std::function<void()> libdeflate = Libdeflate(in, scratch, d);
      libdeflate();
#endif
      for (int k = 0; k < kSlices; ++k) {
        best_ours = std::max(best_ours, Slice(in.plain.size(), ms / kSlices, ours));
        best_zlib = std::max(best_zlib, Slice(in.plain.size(), ms / kSlices, zlib));
#ifdef QUARB_HAVE_LIBDEFLATE
        best_libdeflate =
            std::max(best_libdeflate, Slice(in.plain.size(), ms / kSlices, libdeflate));
#endif
      }
      rows[i].ours.push_back(best_ours);
      rows[i].vs_zlib.push_back(best_ours / best_zlib);
      if (best_libdeflate > 0) rows[i].vs_libdeflate.push_back(best_ours / best_libdeflate);
    }
    std::fprintf(stderr, "round %d of %d done\n", round + 1, rounds);
  }

  std::printf("%-58s %8s %8s %8s %9s %9s %9s %9s\n", "input", "bytes", "rar", "zlib-9", "MB/s",
              "zlib min", "zlib med", "ldef med");
  for (size_t i = 0; i < inputs.size(); ++i) {
    const Input& in = inputs[i];
    size_t packed = 0;
    tools::Listing listing = tools::ListArchive(in.archive.data(), in.archive.size());
    for (const auto& e : listing.entries) {
      if (e.name.substr(0, e.name.find('\0')) == in.entry) packed = e.packed_size;
    }
    const Row& r = rows[i];
    double ldef = r.vs_libdeflate.empty() ? 0 : Median(r.vs_libdeflate);
    std::printf("%-58s %8zu %8zu %8zu %9.1f %9.2f %9.2f %9.2f\n", in.label.c_str(),
                in.plain.size(), packed, in.zlib_stream.size(), Median(r.ours) / 1e6,
                *std::min_element(r.vs_zlib.begin(), r.vs_zlib.end()), Median(r.vs_zlib), ldef);
  }
#ifdef QUARB_HAVE_LIBDEFLATE
  libdeflate_free_decompressor(d);
#endif
  return 0;
}
