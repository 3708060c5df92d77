#include "tools/gen/songs/analysis.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <libopenmpt/libopenmpt.hpp>
#include <stdexcept>

namespace songs {
namespace {

constexpr int kRate = 44100;

void WriteWav(const std::string& path, const std::vector<float>& frames) {
  std::ofstream out(path, std::ios::binary);
  auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  uint32_t bytes = static_cast<uint32_t>(frames.size() * 2);
  out.write("RIFF", 4); u32(36 + bytes); out.write("WAVEfmt ", 8);
  u32(16); u16(1); u16(2); u32(kRate); u32(kRate * 4); u16(4); u16(16);
  out.write("data", 4); u32(bytes);
  for (float v : frames) {
    int s = static_cast<int>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
    u16(static_cast<uint16_t>(s));
  }
  if (!out) throw std::runtime_error(path + ": cannot write");
}

}  // namespace

Analysis AnalyseModule(const std::vector<uint8_t>& bytes, const std::string& wav_path) {
  Analysis a;
  std::vector<float> frames;
  try {
    openmpt::module module(bytes);
    a.title = module.get_metadata("title");
    a.channels = module.get_num_channels();
    a.duration = module.get_duration_seconds();
    std::vector<float> block(2 * 4096);
    for (;;) {
      size_t n = module.read_interleaved_stereo(kRate, 4096, block.data());
      if (n == 0) break;
      frames.insert(frames.end(), block.begin(), block.begin() + static_cast<long>(2 * n));
    }
  } catch (const openmpt::exception& e) {
    throw std::runtime_error(std::string("libopenmpt: ") + e.what());
  }
  size_t count = frames.size() / 2;
  a.rendered = static_cast<double>(count) / kRate;
  double sum = 0, left = 0, right = 0;
  for (size_t i = 0; i < count; ++i) {
    double l = frames[2 * i], r = frames[2 * i + 1];
    a.peak = std::max({a.peak, std::fabs(l), std::fabs(r)});
    if (std::fabs(l) >= 1.0) ++a.clipped;
    if (std::fabs(r) >= 1.0) ++a.clipped;
    left += l * l;
    right += r * r;
  }
  sum = left + right;
  a.rms = count ? std::sqrt(sum / (2.0 * count)) : 0;
  a.balance = sum > 0 ? (std::sqrt(right) - std::sqrt(left)) / (std::sqrt(right) + std::sqrt(left)) : 0;

  // Silence in 50 ms windows; loudness in whole seconds.
  const size_t window = kRate / 20;
  double run = 0;
  a.quietest_second = count >= kRate ? 1e9 : 0;
  for (size_t start = 0; start + window <= count; start += window) {
    double e = 0;
    for (size_t i = start; i < start + window; ++i) e += frames[2 * i] * frames[2 * i] + frames[2 * i + 1] * frames[2 * i + 1];
    double rms = std::sqrt(e / (2.0 * window));
    run = rms < 0.001 ? run + 0.05 : 0;
    a.longest_silence = std::max(a.longest_silence, run);
  }
  for (size_t start = 0; start + kRate <= count; start += kRate) {
    double e = 0;
    for (size_t i = start; i < start + kRate; ++i) e += frames[2 * i] * frames[2 * i] + frames[2 * i + 1] * frames[2 * i + 1];
    a.quietest_second = std::min(a.quietest_second, std::sqrt(e / (2.0 * kRate)));
  }
  if (!wav_path.empty()) WriteWav(wav_path, frames);
  return a;
}

}  // namespace songs
