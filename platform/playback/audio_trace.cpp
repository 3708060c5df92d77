#include "platform/playback/audio_trace.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <time.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

namespace audio_trace {
namespace {

// The file, its time stamps and its writes, per system. A file is an
// intptr_t, -1 when none is open (a POSIX descriptor, or a Windows HANDLE,
// whose failure value INVALID_HANDLE_VALUE is -1 too).
#ifdef _WIN32

// QueryPerformanceCounter is Windows' monotonic clock, the same in every
// process, as CLOCK_MONOTONIC is on Linux.
uint64_t NowNs() {
  static const uint64_t ticks_per_second = [] {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return static_cast<uint64_t>(frequency.QuadPart);
  }();
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  const uint64_t ticks = static_cast<uint64_t>(now.QuadPart);
  // In two steps, so that the product does not overflow.
  return ticks / ticks_per_second * 1000000000u + ticks % ticks_per_second * 1000000000u / ticks_per_second;
}

intptr_t OpenForAppending(const char* path) {
  // FILE_APPEND_DATA alone: every write goes to the end, as with O_APPEND.
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  return reinterpret_cast<intptr_t>(file);
}

void WriteLine(intptr_t file, const char* line, size_t size) {
  DWORD written = 0;
  WriteFile(reinterpret_cast<HANDLE>(file), line, static_cast<DWORD>(size), &written, nullptr);
}

void CloseFile(intptr_t file) { CloseHandle(reinterpret_cast<HANDLE>(file)); }

#else

uint64_t NowNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

intptr_t OpenForAppending(const char* path) { return ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644); }

void WriteLine(intptr_t file, const char* line, size_t size) { (void)!::write(static_cast<int>(file), line, size); }

void CloseFile(intptr_t file) { ::close(static_cast<int>(file)); }

#endif

// Written by BASS_Init and BASS_Free only, while the audio thread does not
// run; the mixer reads it.
std::atomic<intptr_t> trace_file{-1};
bool last_buffer_silent = true;  // the mixer's own, touched by its thread only

}  // namespace

void Open() {
  const char* path = std::getenv("QUARB_AUDIO_TRACE");
  if (path == nullptr || *path == '\0' || trace_file.load() != -1) return;
  trace_file.store(OpenForAppending(path));
  last_buffer_silent = true;
}

void Close() {
  const intptr_t file = trace_file.exchange(-1);
  if (file != -1) CloseFile(file);
}

bool Enabled() { return trace_file.load(std::memory_order_relaxed) != -1; }

void Note(const char* event, uint64_t handle, bool with_handle) {
  const intptr_t file = trace_file.load(std::memory_order_relaxed);
  if (file == -1) return;
  char line[96];
  const int n = with_handle
                    ? std::snprintf(line, sizeof line, "%s %" PRIu64 " %" PRIu64 "\n", event, NowNs(), handle)
                    : std::snprintf(line, sizeof line, "%s %" PRIu64 "\n", event, NowNs());
  // One write per line, so that lines of the two threads never interleave.
  if (n > 0) WriteLine(file, line, static_cast<size_t>(n));
}

void Mixed(const float* buffer, size_t samples) {
  bool silent = true;
  for (size_t i = 0; i < samples && silent; ++i) silent = buffer[i] == 0.0f;
  if (last_buffer_silent && !silent) Note("sound");
  last_buffer_silent = silent;
}

}  // namespace audio_trace
