#include "platform/playback/music.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cstring>

#include "platform/playback/bass.h"

namespace {

// libopenmpt's defaults for volume ramping and interpolation are what the
// options ask for; only their absence needs a setting.
constexpr int32_t kRampingOff = 0;
constexpr int32_t kNoInterpolation = 1;  // zero order hold

openmpt_module* Decode(const std::vector<uint8_t>& bytes, DWORD flags) {
  if (bytes.empty()) return nullptr;
  // Silent logging: bad data is reported by the result alone.
  openmpt_module* module = openmpt_module_create_from_memory2(
      bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr, openmpt_error_func_ignore,
      nullptr, nullptr, nullptr, nullptr);
  if (module == nullptr) return nullptr;
  openmpt_module_set_repeat_count(module, (flags & BASS_MUSIC_LOOP) ? -1 : 0);
  if (!(flags & BASS_MUSIC_RAMP))
    openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH,
                                    kRampingOff);
  if (!(flags & BASS_MUSIC_INTERPOLATE))
    openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH,
                                    kNoInterpolation);
  return module;
}

}  // namespace

std::unique_ptr<Music> Music::Load(const void* bytes, size_t size, DWORD flags) {
  if (bytes == nullptr || size == 0) return nullptr;
  const auto* first = static_cast<const uint8_t*>(bytes);
  std::vector<uint8_t> copy(first, first + size);
  openmpt_module* module = Decode(copy, flags);
  if (module == nullptr) return nullptr;
  return std::unique_ptr<Music>(new Music(std::move(copy), flags, module));
}

Music::Music(std::vector<uint8_t> bytes, DWORD flags, openmpt_module* module)
    : bytes_(std::move(bytes)), flags_(flags), module_(module) {}

Music::~Music() { openmpt_module_destroy(module_); }

std::unique_ptr<Music> Music::Restarted() const { return Load(bytes_.data(), bytes_.size(), flags_); }

void Music::Render(float* out, size_t frames, int32_t rate) {
  size_t done = 0;
  while (!ended_ && done < frames) {
    float* at = out + 2 * done;
    size_t want = frames - done;
    size_t got;
    if (flags_ & BASS_MUSIC_STEREO) {
      got = openmpt_module_read_interleaved_float_stereo(module_, rate, want, at);
    } else {
      // Render mono into the front of the span, then spread each sample to
      // both channels from the back, so nothing is overwritten before it is read.
      got = openmpt_module_read_float_mono(module_, rate, want, at);
      for (size_t i = got; i-- > 0;) at[2 * i] = at[2 * i + 1] = at[i];
    }
    // libopenmpt renders nothing more once a song that does not loop is over.
    if (got == 0) ended_ = true;
    done += got;
  }
  frames_rendered_ += done;
  std::fill(out + 2 * done, out + 2 * frames, 0.0f);
}
