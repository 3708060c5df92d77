// Decompression speed of ExtractFile (CRC check included) against zlib's
// inflate, and libdeflate when available, on the compressed entries of the
// RAR 2.0 test archives. Each entry's bytes are compressed by zlib at level 9
// (and libdeflate at level 12) for the peers. Every round measures all
// contenders on all inputs in turn; the figures are the minimum and the
// median over the rounds of our throughput divided by the peer's.
//
//   decode_bench [--rounds N] [--ms MILLISECONDS_PER_MEASUREMENT]
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#ifdef QUARB_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include "archive/archive_format.h"
#include "archive/extract.h"
#include "tools/common/file_io.h"
#include "tools/extract/archive_listing.h"

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

std::vector<Input> LoadInputs() {
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
      MemoryArchive archive{in.archive.data(), static_cast<uint32_t>(in.archive.size()), 0};
      uint8_t* out = nullptr;
      uint32_t size = 0;
      if (!ExtractFile(&out, &size, in.entry.c_str(), &archive, nullptr)) {
        std::fprintf(stderr, "decode_bench: %s does not extract\n", in.label.c_str());
        std::exit(1);
      }
      in.plain.assign(out, out + size);
      std::free(out);
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
      inputs.push_back(std::move(in));
    }
  }
  return inputs;
}

// Bytes of output per second of `run`, repeated for at least `ms`.
double Throughput(size_t bytes, double ms, const std::function<void()>& run) {
  run();  // warm caches and the allocator
  uint64_t reps = 0;
  Clock::time_point start = Clock::now();
  double elapsed = 0;
  do {
    for (int i = 0; i < 8; ++i) run();
    reps += 8;
    elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  } while (elapsed * 1000 < ms);
  return static_cast<double>(bytes) * static_cast<double>(reps) / elapsed;
}

volatile uint32_t sink;

double OursThroughput(Input& in, double ms) {
  return Throughput(in.plain.size(), ms, [&] {
    MemoryArchive archive{in.archive.data(), static_cast<uint32_t>(in.archive.size()), 0};
    uint8_t* out = nullptr;
    uint32_t size = 0;
    if (!ExtractFile(&out, &size, in.entry.c_str(), &archive, nullptr)) std::abort();
    sink = out[size / 2];
    std::free(out);
  });
}

double ZlibThroughput(Input& in, double ms, Bytes& scratch) {
  return Throughput(in.plain.size(), ms, [&] {
    uLongf size = scratch.size();
    if (uncompress(scratch.data(), &size, in.zlib_stream.data(), in.zlib_stream.size()) != Z_OK ||
        size != in.plain.size()) {
      std::abort();
    }
    sink = scratch[size / 2];
  });
}

#ifdef QUARB_HAVE_LIBDEFLATE
double LibdeflateThroughput(Input& in, double ms, Bytes& scratch, libdeflate_decompressor* d) {
  return Throughput(in.plain.size(), ms, [&] {
    size_t size = 0;
    if (libdeflate_zlib_decompress(d, in.deflate_stream.data(), in.deflate_stream.size(),
                                   scratch.data(), in.plain.size(), &size) != LIBDEFLATE_SUCCESS) {
      std::abort();
    }
    sink = scratch[size / 2];
  });
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
  double ms = 150;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--ms" && i + 1 < argc) {
      ms = std::max(1.0, std::atof(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: decode_bench [--rounds N] [--ms MILLISECONDS]\n");
      return 2;
    }
  }
  std::vector<Input> inputs = LoadInputs();
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
  for (int round = 0; round < rounds; ++round) {
    for (size_t i = 0; i < inputs.size(); ++i) {
      double ours = OursThroughput(inputs[i], ms);
      double zlib = ZlibThroughput(inputs[i], ms, scratch);
      rows[i].ours.push_back(ours);
      rows[i].vs_zlib.push_back(ours / zlib);
#ifdef QUARB_HAVE_LIBDEFLATE
      rows[i].vs_libdeflate.push_back(ours / LibdeflateThroughput(inputs[i], ms, scratch, d));
#endif
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
