#include "tools/gen/songs/synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace songs::synth {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDrumRate = 2.0 * kReferenceRate;

// Value of one period of `wave` at phase 0..1; `width` is the pulse width of kPwm.
double Wave1(Wave wave, double phase, double width) {
  switch (wave) {
    case Wave::kSquare: return phase < 0.5 ? 1.0 : -1.0;
    case Wave::kPulse25: return phase < 0.25 ? 1.0 : -1.0;
    case Wave::kPulse12: return phase < 0.125 ? 1.0 : -1.0;
    case Wave::kPwm: return phase < width ? 1.0 : -1.0;
    case Wave::kTriangle: {
      // Sixteen steps, as sound chips make it.
      double t = phase < 0.5 ? 4.0 * phase - 1.0 : 3.0 - 4.0 * phase;
      return std::round(t * 7.5 + 7.5) / 7.5 - 1.0;
    }
    case Wave::kSaw: return 1.0 - 2.0 * phase;
    case Wave::kSine: return std::sin(2.0 * kPi * phase);
    case Wave::kOrgan:
      return (std::sin(2 * kPi * phase) + 0.5 * std::sin(4 * kPi * phase) + 0.3 * std::sin(6 * kPi * phase) +
              0.15 * std::sin(8 * kPi * phase)) / 1.6;
  }
  return 0.0;
}

// A 15-bit linear feedback shift register, the noise of sound chips.
class Noise {
 public:
  double Next() {
    int bit = (state_ ^ (state_ >> 1)) & 1;
    state_ = (state_ >> 1) | (bit << 14);
    return (state_ & 1) ? 1.0 : -1.0;
  }

 private:
  uint32_t state_ = 0x4A3B;
};

// A one-shot that stops above silence clicks: fade its last 15 ms out.
std::vector<float> FadeTail(std::vector<float> data) {
  const size_t fade = std::min<size_t>(data.size(), static_cast<size_t>(0.015 * kDrumRate));
  for (size_t i = 0; i < fade; ++i) data[data.size() - 1 - i] *= static_cast<float>(i) / static_cast<float>(fade);
  return data;
}

Sample Finish(const std::string& name, std::vector<float> data, int volume) {
  Sample s;
  s.name = name;
  // Even lengths keep the Amiga format's word sizes exact.
  if (data.size() & 1) data.push_back(0.0f);
  s.data = std::move(data);
  s.volume = volume;
  return s;
}

double Envelope(double t, double decay) { return std::exp(-t / decay); }

}  // namespace

int MidiAtReference(int cycle) {
  double octaves = std::log2(cycle / 32.0);
  if (cycle < 4 || std::abs(octaves - std::round(octaves)) > 1e-9)
    throw std::invalid_argument("an instrument period is a power of two from 4 samples");
  return 60 - 12 * static_cast<int>(std::lround(octaves));
}

Sample Tone(const std::string& name, const ToneSpec& spec, int volume) {
  MidiAtReference(spec.cycle);
  if (spec.loop_cycles < 1 || spec.decay_cycles < 0) throw std::invalid_argument(name + ": bad cycle counts");
  int total = spec.decay_cycles + spec.loop_cycles;
  std::vector<float> data;
  data.reserve(static_cast<size_t>(total * spec.cycle));
  for (int c = 0; c < total; ++c) {
    double level = spec.sustain;
    if (c < spec.decay_cycles) {
      // Exponential fade that reaches the sustain level at the loop.
      double t = static_cast<double>(c) / spec.decay_cycles;
      level = spec.sustain + (1.0 - spec.sustain) * (std::exp(-4.0 * t) - std::exp(-4.0)) / (1.0 - std::exp(-4.0));
    }
    double width = 0.5;
    if (spec.wave == Wave::kPwm) {
      double sweep = spec.loop_cycles > 1 ? static_cast<double>(c - spec.decay_cycles) / spec.loop_cycles : 0.0;
      if (sweep < 0) sweep = 0;
      width = 0.3 + 0.2 * std::cos(2 * kPi * sweep);  // returns to its start at the loop point
    }
    for (int i = 0; i < spec.cycle; ++i) {
      double phase = static_cast<double>(i) / spec.cycle;
      data.push_back(static_cast<float>(spec.level * level * Wave1(spec.wave, phase, width)));
    }
  }
  Sample s = Finish(name, std::move(data), volume);
  s.loop_start = static_cast<uint32_t>(spec.decay_cycles * spec.cycle);
  s.loop_length = static_cast<uint32_t>(spec.loop_cycles * spec.cycle);
  return s;
}

Sample Kick(const std::string& name, int volume) {
  std::vector<float> data;
  double phase = 0;
  int n = static_cast<int>(0.32 * kDrumRate);
  for (int i = 0; i < n; ++i) {
    double t = i / kDrumRate;
    double f = 45.0 + 120.0 * std::exp(-t / 0.03);
    phase += f / kDrumRate;
    double v = std::sin(2 * kPi * phase) * Envelope(t, 0.11);
    if (i < 24) v += 0.3 * (1.0 - i / 24.0);  // the beater's click
    data.push_back(static_cast<float>(0.95 * std::tanh(1.4 * v)));
  }
  return Finish(name, FadeTail(std::move(data)), volume);
}

Sample Snare(const std::string& name, int volume) {
  std::vector<float> data;
  Noise noise;
  double phase = 0, previous = 0;
  int n = static_cast<int>(0.22 * kDrumRate);
  for (int i = 0; i < n; ++i) {
    double t = i / kDrumRate;
    phase += (185.0 + 60.0 * std::exp(-t / 0.01)) / kDrumRate;
    double body = std::sin(2 * kPi * phase) * Envelope(t, 0.035);
    double r = noise.Next();
    double hiss = 0.5 * (r - 0.6 * previous) * Envelope(t, 0.07);
    previous = r;
    data.push_back(static_cast<float>(0.85 * std::tanh(0.7 * body + 0.6 * hiss)));
  }
  return Finish(name, FadeTail(std::move(data)), volume);
}

Sample HiHat(const std::string& name, bool open, int volume) {
  std::vector<float> data;
  Noise noise;
  double previous = 0;
  double decay = open ? 0.09 : 0.018;
  int n = static_cast<int>((open ? 0.35 : 0.07) * kDrumRate);
  for (int i = 0; i < n; ++i) {
    double t = i / kDrumRate;
    double r = noise.Next();
    double v = 0.5 * (r - previous) * Envelope(t, decay);  // the difference keeps only the highs
    previous = r;
    data.push_back(static_cast<float>(0.6 * v));
  }
  return Finish(name, FadeTail(std::move(data)), volume);
}

Sample Tom(const std::string& name, int volume) {
  std::vector<float> data;
  double phase = 0;
  int n = static_cast<int>(0.35 * kDrumRate);
  for (int i = 0; i < n; ++i) {
    double t = i / kDrumRate;
    phase += (110.0 + 60.0 * std::exp(-t / 0.05)) / kDrumRate;
    data.push_back(static_cast<float>(0.85 * std::sin(2 * kPi * phase) * Envelope(t, 0.12)));
  }
  return Finish(name, FadeTail(std::move(data)), volume);
}

Sample Crash(const std::string& name, int volume) {
  std::vector<float> data;
  Noise noise;
  double previous = 0;
  int n = static_cast<int>(1.1 * kDrumRate);
  for (int i = 0; i < n; ++i) {
    double t = i / kDrumRate;
    double r = noise.Next();
    double v = 0.5 * (r - 0.8 * previous) * (0.7 * Envelope(t, 0.35) + 0.3 * Envelope(t, 0.05));
    previous = r;
    data.push_back(static_cast<float>(0.55 * v));
  }
  return Finish(name, FadeTail(std::move(data)), volume);
}

Sample Clap(const std::string& name, int volume) {
  std::vector<float> data;
  Noise noise;
  double previous = 0;
  int n = static_cast<int>(0.2 * kDrumRate);
  for (int i = 0; i < n; ++i) {
    double t = i / kDrumRate;
    // Three quick bursts, then the room's tail.
    double burst = std::fmod(t, 0.011) < 0.004 && t < 0.033 ? 1.0 : 0.0;
    double r = noise.Next();
    double v = 0.5 * (r - 0.3 * previous) * (t < 0.033 ? burst : Envelope(t - 0.033, 0.05));
    previous = r;
    data.push_back(static_cast<float>(0.8 * v));
  }
  return Finish(name, FadeTail(std::move(data)), volume);
}

}  // namespace songs::synth
