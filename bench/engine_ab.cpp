// Two builds of the extraction engine timed against each other on the same
// archives: each a shared library with the entry of bench/engine_entry.cpp,
// loaded side by side. In every round and for every archive, slices of
// extractions by A and by B alternate (ten of each, CPU time of this
// thread, the fastest slice counted), so that both meet the same load on a
// shared machine; the ratio B/A is taken per round.
//
//   engine_ab MS ROUNDS A.so B.so ARCHIVE NAME [ARCHIVE NAME]...
//
// Prints, per archive, A's and B's median MB/s and the median, smallest and
// largest B/A. An extraction that fails stops the run: only engines that
// give the files back are compared.
#include <dlfcn.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/extract.h"
#include "tools/common/file_io.h"

namespace {

// Each library's EngineExtract is its ExtractFile (only the declaration is
// taken from here; this program does not link an engine of its own).
using Extract = decltype(&ExtractFile);

double ThreadSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

Extract Load(const char* path) {
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "engine_ab: %s\n", dlerror());
    std::exit(2);
  }
  auto extract = reinterpret_cast<Extract>(dlsym(library, "EngineExtract"));
  if (extract == nullptr) {
    std::fprintf(stderr, "engine_ab: %s has no EngineExtract\n", path);
    std::exit(2);
  }
  return extract;
}

struct Input {
  std::vector<uint8_t> image;
  std::string name;
  uint32_t size = 0;
  std::vector<double> a, b, ratio;
};

volatile uint8_t sink;

void ExtractOnce(Extract extract, Input& in, const char* which) {
  MemoryArchive archive{in.image.data(), static_cast<uint32_t>(in.image.size()), 0};
  uint8_t* out = nullptr;
  uint32_t size = 0;
  if (!extract(&out, &size, in.name.c_str(), &archive, nullptr)) {
    std::fprintf(stderr, "engine_ab: engine %s does not extract %s\n", which, in.name.c_str());
    std::exit(1);
  }
  in.size = size;
  if (size != 0) sink = out[size / 2];
  std::free(out);
}

// MB/s of one slice: extractions until a tenth of `ms` has passed.
double Slice(Extract extract, Input& in, const char* which, double ms) {
  int count = 0;
  const double start = ThreadSeconds();
  double elapsed = 0;
  do {
    ExtractOnce(extract, in, which);
    ++count;
    elapsed = ThreadSeconds() - start;
  } while (elapsed * 1000 < ms / 10);
  return static_cast<double>(in.size) * count / elapsed / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 7 || (argc - 5) % 2 != 0) {
    std::fprintf(stderr, "usage: engine_ab MS ROUNDS A.so B.so ARCHIVE NAME [ARCHIVE NAME]...\n");
    return 2;
  }
  const double ms = std::atof(argv[1]);
  const int rounds = std::atoi(argv[2]);
  const Extract a = Load(argv[3]);
  const Extract b = Load(argv[4]);
  std::vector<Input> inputs;
  for (int i = 5; i + 1 < argc; i += 2) {
    Input in;
    in.image = tools::ReadWholeFile(argv[i]);
    in.name = argv[i + 1];
    inputs.push_back(std::move(in));
  }
  for (int r = 0; r < rounds; ++r) {
    for (Input& in : inputs) {
      ExtractOnce(a, in, "A");
      ExtractOnce(b, in, "B");
      double best_a = 0, best_b = 0;
      for (int k = 0; k < 10; ++k) {
        best_a = std::max(best_a, Slice(a, in, "A", ms));
        best_b = std::max(best_b, Slice(b, in, "B", ms));
      }
      in.a.push_back(best_a);
      in.b.push_back(best_b);
      in.ratio.push_back(best_b / best_a);
    }
    std::fprintf(stderr, "round %d of %d done\n", r + 1, rounds);
  }
  std::printf("%-12s %9s %9s %9s %9s %9s\n", "input", "A MB/s", "B MB/s", "B/A med", "B/A min", "B/A max");
  for (const Input& in : inputs) {
    std::printf("%-12s %9.1f %9.1f %9.3f %9.3f %9.3f\n", in.name.c_str(), Median(in.a), Median(in.b),
                Median(in.ratio), *std::min_element(in.ratio.begin(), in.ratio.end()),
                *std::max_element(in.ratio.begin(), in.ratio.end()));
  }
  return 0;
}
