// The player's recorded sound, and the songs as libopenmpt renders them, for
// telling which song is heard. The player renders its songs with libopenmpt
// at 44100 Hz in stereo, looping, with libopenmpt's default interpolation and
// volume ramping; rendered the same way here, a song's frames are the ones the
// player records, to within rounding (16 bits under Wine). So a song is found
// in a recording by its frames, not by a likeness of levels.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace e2e {

inline constexpr int kRate = 44100;

// How a player's recording is stored: SDL's disk driver writes the device's
// 32-bit float stereo; ALSA's file plugin under Wine writes what waveOut was
// given, 16-bit signed little-endian stereo.
enum class SoundFormat { kFloat32, kInt16 };

// Interleaved stereo, as floats in [-1, 1].
struct Sound {
  std::vector<float> samples;
  size_t frames() const { return samples.size() / 2; }
};

inline constexpr size_t kNotFound = static_cast<size_t>(-1);

// Frames recorded so far, from the file's size.
size_t RecordedFrames(const std::string& path, SoundFormat format);
// The recording from frame `from` on.
Sound ReadSound(const std::string& path, SoundFormat format, size_t from = 0);

// The first `seconds` of the song in `module_path`, rendered as the player
// renders it.
Sound RenderSong(const std::string& module_path, double seconds);

// Largest absolute sample of frames [from, to).
double Peak(const Sound& sound, size_t from, size_t to);
// Last frame before `to` with a sample above `level` in size, or kNotFound.
size_t LastAbove(const Sound& sound, size_t from, size_t to, double level);
// First frame at or after `from` with a sample above `level` in size, or kNotFound.
size_t FirstAbove(const Sound& sound, size_t from, double level);
// Whether every sample of frames [from, to) is silence (below 1e-4 in size).
bool Silent(const Sound& sound, size_t from, size_t to);

// Whether `length` frames of `a` at `a_at` are those of `b` at `b_at`: the
// energy of their difference is under a hundred-thousandth of that of `b`'s
// stretch (rounding, not music).
bool SameFrames(const Sound& a, size_t a_at, const Sound& b, size_t b_at, size_t length);

// The first frame at or after `from` where `length` frames of `haystack` are
// those of `needle` from `needle_at`, or kNotFound.
size_t FindFrames(const Sound& haystack, size_t from, const Sound& needle, size_t needle_at, size_t length);

// The first frame at or after `from` where the song (rendered from its start)
// starts in `recording`, judged by kSongOpening frames from its first audible
// frame (about a fifth of a second); kNotFound when it does not start there.
inline constexpr size_t kSongOpening = 8192;
size_t FindSongStart(const Sound& recording, size_t from, const Sound& song);

}  // namespace e2e
