// Inputs for the compressor tests, all made here from fixed seeds.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace sample_data {

using Bytes = std::vector<uint8_t>;

inline Bytes Random(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(size);
  for (uint8_t& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

// Words from a small vocabulary with numbers and line breaks: text with
// plenty of matches at all sorts of distances.
inline Bytes Text(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"the", "player", "window", "track", "module", "sample", "pattern",
                                       "of", "and", "a", "archive", "RAR", "solid", "stream", "is", "to"};
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < size) {
    s += kWords[rng() % 16];
    if (rng() % 7 == 0) s += std::to_string(rng() % 1000);
    s += rng() % 11 == 0 ? ".\n" : " ";
  }
  s.resize(size);
  return Bytes(s.begin(), s.end());
}

// Unsigned 8-bit PCM, `channels` interleaved, each its own mix of tones with
// a little noise.
inline Bytes Pcm(size_t frames, int channels, uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, 1.5);
  Bytes out;
  out.reserve(frames * channels);
  for (size_t i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      double t = static_cast<double>(i);
      double v = 128 + 70 * std::sin(t * (0.02 + 0.013 * c)) + 30 * std::sin(t * (0.0031 + 0.002 * c) + c) +
                 noise(rng);
      out.push_back(static_cast<uint8_t>(std::lround(std::fmin(255, std::fmax(0, v)))));
    }
  }
  return out;
}

// A small four-channel tracker module: header, sample table, pattern data
// and signed 8-bit sample bodies.
inline Bytes Module(int patterns, int samples, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(20, 0);
  std::string title = "test song " + std::to_string(seed);
  std::copy(title.begin(), title.end(), out.begin());
  std::vector<size_t> lengths;
  for (int s = 0; s < 31; ++s) {
    Bytes header(30, 0);
    size_t words = s < samples ? 1500 + rng() % 4000 : 0;
    lengths.push_back(words * 2);
    std::string name = s < samples ? "sample " + std::to_string(s) : "";
    std::copy(name.begin(), name.end(), header.begin());
    header[22] = static_cast<uint8_t>(words >> 8);
    header[23] = static_cast<uint8_t>(words);
    header[25] = 64;
    header[29] = 1;
    out.insert(out.end(), header.begin(), header.end());
  }
  out.push_back(static_cast<uint8_t>(patterns));
  out.push_back(127);
  for (int p = 0; p < 128; ++p) out.push_back(static_cast<uint8_t>(p < patterns ? p : 0));
  for (char c : std::string("M.K.")) out.push_back(static_cast<uint8_t>(c));
  static const uint16_t kPeriods[] = {428, 381, 339, 320, 285, 254, 226, 214};
  for (int p = 0; p < patterns; ++p) {
    for (int row = 0; row < 64; ++row) {
      for (int ch = 0; ch < 4; ++ch) {
        bool note = (row + ch) % (2 + ch) == 0;
        uint16_t period = note ? kPeriods[(row / 4 + ch + p) % 8] : 0;
        uint8_t sample = note ? static_cast<uint8_t>(1 + (ch + p) % samples) : 0;
        uint8_t effect = rng() % 5 == 0 ? 0xC : 0;
        out.push_back(static_cast<uint8_t>((sample & 0xF0) | (period >> 8)));
        out.push_back(static_cast<uint8_t>(period));
        out.push_back(static_cast<uint8_t>(((sample & 0x0F) << 4) | effect));
        out.push_back(effect ? static_cast<uint8_t>(rng() % 64) : 0);
      }
    }
  }
  std::normal_distribution<double> noise(0.0, 1.0);
  for (int s = 0; s < samples; ++s) {
    double freq = 0.05 + 0.03 * s;
    for (size_t i = 0; i < lengths[s]; ++i) {
      double decay = std::exp(-static_cast<double>(i) / (lengths[s] / 2.0));
      double v = 100 * decay * (std::sin(i * freq) + 0.3 * std::sin(i * freq * 3)) + noise(rng);
      out.push_back(static_cast<uint8_t>(static_cast<int8_t>(std::lround(std::fmin(127, std::fmax(-128, v))))));
    }
  }
  return out;
}

}  // namespace sample_data
