#include "platform/playback/audio_trace.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

namespace audio_trace {
namespace {

// Written by BASS_Init and BASS_Free only, while the audio thread does not
// run; the mixer reads it.
std::atomic<int> trace_fd{-1};
bool last_buffer_silent = true;  // the mixer's own, touched by its thread only

uint64_t NowNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

}  // namespace

void Open() {
  const char* path = std::getenv("QUARB_AUDIO_TRACE");
  if (path == nullptr || *path == '\0' || trace_fd.load() >= 0) return;
  trace_fd.store(::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  last_buffer_silent = true;
}

void Close() {
  const int fd = trace_fd.exchange(-1);
  if (fd >= 0) ::close(fd);
}

bool Enabled() { return trace_fd.load(std::memory_order_relaxed) >= 0; }

void Note(const char* event, uint64_t handle, bool with_handle) {
  const int fd = trace_fd.load(std::memory_order_relaxed);
  if (fd < 0) return;
  char line[96];
  const int n = with_handle
                    ? std::snprintf(line, sizeof line, "%s %" PRIu64 " %" PRIu64 "\n", event, NowNs(), handle)
                    : std::snprintf(line, sizeof line, "%s %" PRIu64 "\n", event, NowNs());
  // One write per line, so that lines of the two threads never interleave.
  if (n > 0) (void)!::write(fd, line, static_cast<size_t>(n));
}

void Mixed(const float* buffer, size_t samples) {
  bool silent = true;
  for (size_t i = 0; i < samples && silent; ++i) silent = buffer[i] == 0.0f;
  if (last_buffer_silent && !silent) Note("sound");
  last_buffer_silent = silent;
}

}  // namespace audio_trace
