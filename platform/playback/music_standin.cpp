// The Music of the test double (bass_double.h), in place of music.cpp: any
// bytes that are not empty load, as if they were a module, and play as
// silence that never ends. The player's tests give it short texts for songs
// and decide which loads fail by failing the call itself.
#include <algorithm>

#include "platform/playback/music.h"

std::unique_ptr<Music> Music::Load(const void* bytes, size_t size, DWORD flags) {
  if (bytes == nullptr || size == 0) return nullptr;
  const auto* first = static_cast<const uint8_t*>(bytes);
  return std::unique_ptr<Music>(new Music(std::vector<uint8_t>(first, first + size), flags, nullptr));
}

Music::Music(std::vector<uint8_t> bytes, DWORD flags, openmpt_module* module)
    : bytes_(std::move(bytes)), flags_(flags), module_(module) {}

Music::~Music() = default;

std::unique_ptr<Music> Music::Restarted() const { return Load(bytes_.data(), bytes_.size(), flags_); }

void Music::Render(float* out, size_t frames, int32_t) {
  std::fill(out, out + 2 * frames, 0.0f);
  frames_rendered_ += frames;
}
