// The compressor against gzip -9 and xz -9 (size), zlib level 9 and
// libdeflate level 12 (compression speed), and our decoder against zlib's
// inflate and libdeflate on what each compressed itself (decompression
// speed), on a text corpus, a binary corpus, the disk's songs, synthetic
// 8-bit PCM and any further file named with --file (the real-world modules of
// bench/fetch-module-corpus). Every round measures all contenders on all
// inputs in turn; ratios are given as the minimum and the median over the
// rounds.
//
//   compression_bench --text FILE --binary FILE --songs FILE [--file LABEL=FILE]...
//                     [--rounds N] [--ms MS]
//
// The PCM input is made here. Sizes of gzip -9 and xz -9 come from running
// those programs on the same bytes.
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

#include "archive/extract.h"
#include "tests/support/process.h"
#include "tools/common/file_io.h"
#include "tools/pack/archive_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr int kLevels = 5;

struct Input {
  std::string label;
  Bytes plain;
  Bytes archive;       // ours, level 5, the one file "data"
  size_t ours_size[kLevels + 1] = {};
  Bytes zlib_stream;   // level 9
  Bytes deflate_stream;  // libdeflate level 12
  size_t gzip_size = 0, xz_size = 0;
  std::vector<double> compress_mbs[kLevels + 1];
  std::vector<double> zlib_compress_mbs, deflate_compress_mbs;
  std::vector<double> vs_zlib, vs_deflate;
  std::vector<double> ours_mbs;
};

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

// Size of what `tool` (a compressor and its options, such as {"gzip", "-9"})
// writes for `data` with -c; 0, said on standard error, when it failed.
size_t ToolSize(std::vector<std::string> tool, const Bytes& data) {
  std::string path = (std::filesystem::temp_directory_path() / "quarb-compression-bench.in").string();
  tools::WriteFileAtomically(path, data.data(), data.size());
  tool.insert(tool.end(), {"-c", path});
  const test_process::Result run = test_process::Run(tool, {}, std::chrono::minutes(10));
  std::filesystem::remove(path);
  if (run.status != 0) {
    std::fprintf(stderr, "%s failed (status %d): %s\n", tool[0].c_str(), run.status, run.err.c_str());
    return 0;
  }
  return run.out.size();
}

double Seconds(const std::function<void()>& run) {
  Clock::time_point start = Clock::now();
  run();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Bytes per second of `run`, repeated for at least `ms`.
double Throughput(size_t bytes, double ms, const std::function<void()>& run) {
  run();
  uint64_t reps = 0;
  Clock::time_point start = Clock::now();
  double elapsed = 0;
  do {
    run();
    ++reps;
    elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  } while (elapsed * 1000 < ms);
  return static_cast<double>(bytes) * static_cast<double>(reps) / elapsed;
}

volatile uint32_t sink;

Bytes Pack(const Bytes& data, int level) {
  pack::PackOptions options;
  options.level = level;
  return pack::BuildArchive({{"data", data, 0}}, options);
}

// Size of our packed data alone: the archive less its headers.
size_t PackedSize(const Bytes& archive) { return archive.size() - 7 - 13 - 32 - 4; }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

void Round(Input& in, double ms, Bytes& scratch) {
  const double mb = in.plain.size() / 1e6;
  for (int level = 1; level <= kLevels; ++level) {
    Bytes archive;
    double s = Seconds([&] { archive = Pack(in.plain, level); });
    in.compress_mbs[level].push_back(mb / s);
    in.ours_size[level] = PackedSize(archive);
    if (level == kLevels) in.archive = std::move(archive);
  }
  {
    uLongf bound = compressBound(in.plain.size());
    in.zlib_stream.resize(bound);
    double s = Seconds([&] { compress2(in.zlib_stream.data(), &bound, in.plain.data(), in.plain.size(), 9); });
    in.zlib_stream.resize(bound);
    in.zlib_compress_mbs.push_back(mb / s);
  }
#ifdef QUARB_HAVE_LIBDEFLATE
  {
    libdeflate_compressor* c = libdeflate_alloc_compressor(12);
    in.deflate_stream.resize(libdeflate_zlib_compress_bound(c, in.plain.size()));
    size_t size = 0;
    double s = Seconds([&] {
      size = libdeflate_zlib_compress(c, in.plain.data(), in.plain.size(), in.deflate_stream.data(),
                                      in.deflate_stream.size());
    });
    in.deflate_stream.resize(size);
    in.deflate_compress_mbs.push_back(mb / s);
    libdeflate_free_compressor(c);
  }
#endif

  double ours = Throughput(in.plain.size(), ms, [&] {
    MemoryArchive archive{in.archive.data(), static_cast<uint32_t>(in.archive.size()), 0};
    uint8_t* out = nullptr;
    uint32_t size = 0;
    if (!ExtractFile(&out, &size, "data", &archive, nullptr) || size != in.plain.size()) std::abort();
    sink = out[size / 2];
    std::free(out);
  });
  double zlib = Throughput(in.plain.size(), ms, [&] {
    uLongf size = scratch.size();
    if (uncompress(scratch.data(), &size, in.zlib_stream.data(), in.zlib_stream.size()) != Z_OK ||
        size != in.plain.size()) {
      std::abort();
    }
    sink = scratch[size / 2];
  });
  in.ours_mbs.push_back(ours / 1e6);
  in.vs_zlib.push_back(ours / zlib);
#ifdef QUARB_HAVE_LIBDEFLATE
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  double deflate = Throughput(in.plain.size(), ms, [&] {
    size_t size = 0;
    if (libdeflate_zlib_decompress(d, in.deflate_stream.data(), in.deflate_stream.size(), scratch.data(),
                                   in.plain.size(), &size) != LIBDEFLATE_SUCCESS) {
      std::abort();
    }
    sink = scratch[size / 2];
  });
  libdeflate_free_decompressor(d);
  in.vs_deflate.push_back(ours / deflate);
#endif
}

[[noreturn]] void Usage() {
  std::fprintf(stderr,
               "usage: compression_bench --text FILE --binary FILE --songs FILE [--file LABEL=FILE]...\n"
               "                         [--rounds N] [--ms MS]\n");
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 3;
  double ms = 300;
  std::vector<Input> inputs;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (i + 1 >= argc) Usage();
    std::string value = argv[++i];
    if (arg == "--rounds") {
      rounds = std::max(1, std::atoi(value.c_str()));
    } else if (arg == "--ms") {
      ms = std::max(1.0, std::atof(value.c_str()));
    } else if (arg == "--text" || arg == "--binary" || arg == "--songs") {
      Input in;
      in.label = arg.substr(2);
      in.plain = tools::ReadWholeFile(value);
      inputs.push_back(std::move(in));
    } else if (arg == "--file" && value.find('=') != std::string::npos) {
      Input in;
      in.label = value.substr(0, value.find('='));
      in.plain = tools::ReadWholeFile(value.substr(value.find('=') + 1));
      inputs.push_back(std::move(in));
    } else {
      Usage();
    }
  }
  if (inputs.empty()) Usage();
  Input pcm;
  pcm.label = "pcm";
  pcm.plain = Pcm(2 << 20);
  inputs.push_back(std::move(pcm));

  size_t largest = 0;
  for (Input& in : inputs) {
    in.gzip_size = ToolSize({"gzip", "-9"}, in.plain);
    in.xz_size = ToolSize({"xz", "-9"}, in.plain);
    largest = std::max(largest, in.plain.size());
  }
  Bytes scratch(largest);
  for (int round = 0; round < rounds; ++round) {
    for (Input& in : inputs) Round(in, ms, scratch);
    std::fprintf(stderr, "round %d of %d done\n", round + 1, rounds);
  }

  std::printf("%-8s %9s %9s %9s %9s %7s %7s | %-23s | %-23s | %s\n", "input", "bytes", "ours -5", "gzip -9",
              "xz -9", "/gzip", "/xz", "decode MB/s, /zlib", "/libdeflate (min med)",
              "compress MB/s -1 -2 -3 -4 -5 (median), -5/zlib-9 -5/libdeflate-12 (min med)");
  for (const Input& in : inputs) {
    size_t ours = in.ours_size[kLevels];
    std::printf("%-8s %9zu %9zu %9zu %9zu %7.3f %7.3f | %6.1f %7.2f %7.2f | ", in.label.c_str(), in.plain.size(), ours,
                in.gzip_size, in.xz_size, static_cast<double>(ours) / in.gzip_size,
                static_cast<double>(ours) / in.xz_size, Median(in.ours_mbs), Min(in.vs_zlib), Median(in.vs_zlib));
    if (!in.vs_deflate.empty()) {
      std::printf("%11.2f %11.2f | ", Min(in.vs_deflate), Median(in.vs_deflate));
    } else {
      std::printf("%23s | ", "n/a");
    }
    for (int level = 1; level <= kLevels; ++level) std::printf("%5.2f ", Median(in.compress_mbs[level]));
    std::vector<double> vs_zlib, vs_deflate;
    for (size_t r = 0; r < in.zlib_compress_mbs.size(); ++r) {
      vs_zlib.push_back(in.compress_mbs[kLevels][r] / in.zlib_compress_mbs[r]);
    }
    for (size_t r = 0; r < in.deflate_compress_mbs.size(); ++r) {
      vs_deflate.push_back(in.compress_mbs[kLevels][r] / in.deflate_compress_mbs[r]);
    }
    std::printf("%5.2f %5.2f", Min(vs_zlib), Median(vs_zlib));
    if (!vs_deflate.empty()) std::printf(" %5.2f %5.2f", Min(vs_deflate), Median(vs_deflate));
    std::printf("\n");
  }
  std::printf("sizes per level (packed bytes):\n");
  for (const Input& in : inputs) {
    std::printf("  %-8s", in.label.c_str());
    for (int level = 1; level <= kLevels; ++level) std::printf(" -%d %9zu", level, in.ours_size[level]);
    std::printf("\n");
  }
  return 0;
}
