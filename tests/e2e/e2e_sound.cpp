#include "e2e_sound.h"

#include <libopenmpt/libopenmpt.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace e2e {

namespace {

size_t FrameBytes(SoundFormat format) { return format == SoundFormat::kFloat32 ? 8 : 4; }

// A match may differ by rounding only: a hundred-thousandth of the stretch's
// energy (50 dB under it) is far above 16-bit rounding, and below the
// difference between a stretch and itself one frame later (about 2e-4 for a
// tone of 100 Hz), let alone other music.
constexpr double kTolerance = 1e-5;
// Rounding to 16 bits, per sample, for stretches of (nearly) silence.
constexpr double kRoundingEnergy = 4.0 / (32768.0 * 32768.0);

constexpr double kSilence = 1e-4;

}  // namespace

size_t RecordedFrames(const std::string& path, SoundFormat format) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return 0;
  return static_cast<size_t>(info.st_size) / FrameBytes(format);
}

Sound ReadSound(const std::string& path, SoundFormat format, size_t from) {
  Sound sound;
  std::ifstream in(path, std::ios::binary);
  if (!in) return sound;
  in.seekg(static_cast<std::streamoff>(from * FrameBytes(format)));
  std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  raw.resize(raw.size() / FrameBytes(format) * FrameBytes(format));  // whole frames only
  if (format == SoundFormat::kFloat32) {
    sound.samples.resize(raw.size() / 4);
    std::memcpy(sound.samples.data(), raw.data(), raw.size());
  } else {
    sound.samples.resize(raw.size() / 2);
    for (size_t i = 0; i < sound.samples.size(); ++i) {
      int16_t s;
      std::memcpy(&s, raw.data() + 2 * i, 2);
      sound.samples[i] = static_cast<float>(s) / 32768.0f;
    }
  }
  return sound;
}

Sound RenderSong(const std::string& module_path, double seconds) {
  Sound sound;
  std::ifstream in(module_path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.empty()) return sound;
  openmpt_module* module =
      openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr,
                                         openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
  if (module == nullptr) return sound;
  // The player loads its songs to loop, in stereo, with volume ramping and
  // interpolation: libopenmpt's defaults for both.
  openmpt_module_set_repeat_count(module, -1);
  const size_t frames = static_cast<size_t>(seconds * kRate);
  sound.samples.assign(2 * frames, 0.0f);
  size_t done = 0;
  // In the player's buffers of 1024 frames.
  while (done < frames) {
    const size_t got = openmpt_module_read_interleaved_float_stereo(
        module, kRate, std::min<size_t>(1024, frames - done), &sound.samples[2 * done]);
    if (got == 0) break;
    done += got;
  }
  openmpt_module_destroy(module);
  return sound;
}

double Peak(const Sound& sound, size_t from, size_t to) {
  double peak = 0;
  to = std::min(to, sound.frames());
  for (size_t i = 2 * from; i < 2 * to; ++i) peak = std::max(peak, std::fabs(static_cast<double>(sound.samples[i])));
  return peak;
}

size_t LastAbove(const Sound& sound, size_t from, size_t to, double level) {
  to = std::min(to, sound.frames());
  for (size_t f = to; f-- > from;)
    if (std::fabs(sound.samples[2 * f]) > level || std::fabs(sound.samples[2 * f + 1]) > level) return f;
  return kNotFound;
}

size_t FirstAbove(const Sound& sound, size_t from, double level) {
  for (size_t f = from; f < sound.frames(); ++f)
    if (std::fabs(sound.samples[2 * f]) > level || std::fabs(sound.samples[2 * f + 1]) > level) return f;
  return kNotFound;
}

bool Silent(const Sound& sound, size_t from, size_t to) { return LastAbove(sound, from, to, kSilence) == kNotFound; }

bool SameFrames(const Sound& a, size_t a_at, const Sound& b, size_t b_at, size_t length) {
  if (length == 0 || a_at + length > a.frames() || b_at + length > b.frames()) return false;
  double energy = 0, error = 0;
  for (size_t i = 0; i < 2 * length; ++i) {
    const double want = b.samples[2 * b_at + i];
    const double got = a.samples[2 * a_at + i];
    energy += want * want;
    error += (got - want) * (got - want);
  }
  return error <= kTolerance * energy + kRoundingEnergy * 2 * length;
}

size_t FindFrames(const Sound& haystack, size_t from, const Sound& needle, size_t needle_at, size_t length) {
  if (length == 0 || needle_at + length > needle.frames() || haystack.frames() < length) return kNotFound;
  const float* want = &needle.samples[2 * needle_at];
  const size_t count = 2 * length;
  // Most wrong places are given up within the first samples of a short
  // prefix, held to a looser bound; the places that pass it are held to the
  // whole stretch.
  const size_t prefix = std::min<size_t>(count, 256);
  double energy = 0, prefix_energy = 0;
  for (size_t i = 0; i < count; ++i) {
    energy += static_cast<double>(want[i]) * want[i];
    if (i < prefix) prefix_energy = energy;
  }
  const double limit = kTolerance * energy + kRoundingEnergy * count;
  const double prefix_limit = 10 * kTolerance * prefix_energy + kRoundingEnergy * prefix;
  for (size_t at = from; at + length <= haystack.frames(); ++at) {
    const float* got = &haystack.samples[2 * at];
    double error = 0;
    size_t i = 0;
    for (; i < prefix; ++i) {
      const double d = static_cast<double>(got[i]) - want[i];
      error += d * d;
      if (error > prefix_limit) break;
    }
    if (i < prefix) continue;
    error = 0;
    for (i = 0; i < count; ++i) {
      const double d = static_cast<double>(got[i]) - want[i];
      error += d * d;
      if (error > limit) break;
    }
    if (i == count) return at;
  }
  return kNotFound;
}

size_t FindSongStart(const Sound& recording, size_t from, const Sound& song) {
  // Songs may open with silence, which matches anywhere: the search is for
  // the first audible stretch, and the start is that much before it.
  const size_t lead = FirstAbove(song, 0, 0.01);
  if (lead == kNotFound) return kNotFound;
  const size_t length = std::min<size_t>(kSongOpening, song.frames() - lead);
  const size_t at = FindFrames(recording, from + lead, song, lead, length);
  return at == kNotFound ? kNotFound : at - lead;
}

}  // namespace e2e
