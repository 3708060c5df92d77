// The CRC-32 on each of its paths against zlib's crc32 and libdeflate's
// libdeflate_crc32, on buffers of several sizes that sit in the cache (as
// the decoder's flushes do): throughput in GB/s and the ratios to the peers,
// minimum and median over the rounds.
//
//   crc_bench [--rounds N]
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "archive/crc32.h"

#ifdef QUARB_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace {

volatile uint32_t sink;

// GB/s of `crc` over `data`, repeated for about 20 ms.
double Throughput(const std::function<uint32_t(const uint8_t*, size_t)>& crc, const std::vector<uint8_t>& data) {
  using Clock = std::chrono::steady_clock;
  size_t bytes = 0;
  const Clock::time_point start = Clock::now();
  double seconds = 0;
  do {
    for (int i = 0; i < 16; ++i) sink = crc(data.data(), data.size());
    bytes += 16 * data.size();
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
  } while (seconds < 0.02);
  return static_cast<double>(bytes) / seconds / 1e9;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 != 0 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 7;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: crc_bench [--rounds N]\n");
      return 2;
    }
  }
  BuildCrcTable();
  struct Candidate {
    std::string name;
    std::function<uint32_t(const uint8_t*, size_t)> crc;
  };
  std::vector<Candidate> ours;
  const std::pair<CrcPath, const char*> paths[] = {
      {CrcPath::kTables, "tables"}, {CrcPath::kFolding, "folding"}, {CrcPath::kWideFolding, "wide folding"}};
  for (const auto& [path, name] : paths) {
    if (!CrcPathAvailable(path)) continue;
    ours.push_back({name, [path = path](const uint8_t* p, size_t n) { return ~Crc32By(path, 0xFFFFFFFFu, p, n); }});
  }
  std::vector<Candidate> peers;
  peers.push_back({"zlib", [](const uint8_t* p, size_t n) {
                     return static_cast<uint32_t>(crc32(0, p, static_cast<uInt>(n)));
                   }});
#ifdef QUARB_HAVE_LIBDEFLATE
  peers.push_back({"libdeflate", [](const uint8_t* p, size_t n) { return libdeflate_crc32(0, p, n); }});
#endif

  std::mt19937 rng(1);
  for (size_t size : {size_t{1000}, size_t{16} << 10, size_t{1} << 20}) {
    std::vector<uint8_t> data(size);
    for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
    // Every candidate agrees, or nothing is timed.
    for (const Candidate& c : ours) {
      if (c.crc(data.data(), size) != peers[0].crc(data.data(), size)) {
        std::fprintf(stderr, "crc_bench: %s gives another CRC than zlib\n", c.name.c_str());
        return 1;
      }
    }
    std::vector<std::vector<double>> speed(ours.size() + peers.size());
    for (int r = 0; r < rounds; ++r) {
      for (size_t i = 0; i < ours.size(); ++i) speed[i].push_back(Throughput(ours[i].crc, data));
      for (size_t i = 0; i < peers.size(); ++i) speed[ours.size() + i].push_back(Throughput(peers[i].crc, data));
    }
    std::printf("%zu bytes\n", size);
    for (size_t i = 0; i < ours.size(); ++i) {
      std::printf("  %-13s %6.2f GB/s (median)", ours[i].name.c_str(), Median(speed[i]));
      for (size_t k = 0; k < peers.size(); ++k) {
        std::vector<double> ratio;
        for (int r = 0; r < rounds; ++r) ratio.push_back(speed[i][r] / speed[ours.size() + k][r]);
        std::printf("  / %s %.2f, %.2f", peers[k].name.c_str(), *std::min_element(ratio.begin(), ratio.end()),
                    Median(ratio));
      }
      std::printf("\n");
    }
    for (size_t k = 0; k < peers.size(); ++k) {
      std::printf("  %-13s %6.2f GB/s (median)\n", peers[k].name.c_str(), Median(speed[ours.size() + k]));
    }
  }
  return 0;
}
