// One loaded module: libopenmpt's decoder for it, set up with the loading
// options, rendering interleaved stereo float frames.
//
// A Music keeps its own copy of the module bytes so that it can be started
// again from a clean state (Restarted), independent of the caller's buffer.
// Not thread-safe: the playback layer hands it to one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/win32_types.h"

struct openmpt_module;

class Music {
 public:
  // Null when the bytes are not a module libopenmpt can read.
  static std::unique_ptr<Music> Load(const void* bytes, size_t size, DWORD flags);
  ~Music();
  Music(const Music&) = delete;
  Music& operator=(const Music&) = delete;

  // A new Music over the same bytes and options, positioned at the start.
  std::unique_ptr<Music> Restarted() const;

  // Fills `frames` stereo frames (2 * frames floats) at `rate` Hz. Once a song
  // that does not loop has ended, the rest is silence.
  void Render(float* out, size_t frames, int32_t rate);

  // Song frames rendered since the start: the music's position in output frames.
  uint64_t frames_rendered() const { return frames_rendered_; }
  bool ended() const { return ended_; }

 private:
  Music(std::vector<uint8_t> bytes, DWORD flags, openmpt_module* module);

  std::vector<uint8_t> bytes_;
  DWORD flags_;
  openmpt_module* module_;
  uint64_t frames_rendered_ = 0;
  bool ended_ = false;
};
