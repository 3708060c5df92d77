// The playback layer's rules over one audio output (audio_output.h; which one
// is chosen in outputs.h) and one kind of Music (music.h).
//
// Two locks, always taken in this order:
// - `api` serialises the calls themselves and guards the handle registry; the
//   output's thread never takes it, so loading and freeing under it never
//   holds up mixing. It is recursive only for the test probe's
//   PlaybackOutputLock.
// - The output's lock, held around every mixer call, guards what the mixer
//   reads: `running`, `current` and the frame counter. Calls take it only to
//   swap or change those, never while decoding or releasing a module.
#include "platform/playback/playback_layer.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/playback/audio_output.h"
#include "platform/playback/audio_trace.h"
#include "platform/playback/music.h"
#include "platform/playback/playback_probe.h"

namespace {

constexpr int kChannels = 2;
// About 23 ms at 44100 Hz. Through SDL, a new song, a pause or a resume is
// heard at the next buffer the device asks for, so on average half a buffer
// after the call: with 2048 frames a click on "next" took about 30 ms to be
// heard, with 1024 about 11 ms. Each wake-up of the audio thread has a fixed
// cost (the thread and libopenmpt start cold), so the smaller buffer costs
// more CPU: with bench/run-playback-cost, 0.75 % of a core against 0.48 % for
// 2048 frames and 1.3 % for 512, where libopenmpt alone takes 0.1 %.
// (waveOut keeps more than one buffer queued; see waveout_output.cpp.)
constexpr int kBufferFrames = 1024;
constexpr DWORD kMinRate = 8000;        // the range libopenmpt renders at
constexpr DWORD kMaxRate = 192000;

struct PlaybackState {
  std::recursive_mutex api;  // recursive for PlaybackOutputLock, which holds it too
  bool initialised = false;
  std::unique_ptr<AudioOutput> output;  // open while initialised
  int rate = 0;
  int buffer_frames = 0;

  // Registry of loaded musics; under `api` only.
  std::unordered_map<HMUSIC, std::unique_ptr<Music>> musics;
  HMUSIC last_handle = 0;
  // PlaybackOutputLocks held, all by one thread (they hold `api`).
  int probe_locks = 0;

  // Read by the mixer; changed under the output's lock.
  bool running = false;
  Music* current = nullptr;
  HMUSIC current_handle = 0;  // names `current` (when set) for the trace and the probe
  uint64_t frames_mixed = 0;
};

PlaybackState state;

// Holds the lock of the open output for its lifetime.
class DeviceLock {
 public:
  explicit DeviceLock(AudioOutput& output) : output_(output) { output_.Lock(); }
  ~DeviceLock() { output_.Unlock(); }
  DeviceLock(const DeviceLock&) = delete;
  DeviceLock& operator=(const DeviceLock&) = delete;

 private:
  AudioOutput& output_;
};

// Runs on the output's thread with its lock held.
void Mix(float* out, size_t frames) {
  const bool playing = state.running && state.current != nullptr;
  const bool fresh = playing && state.current->frames_rendered() == 0 && !state.current->ended();
  if (playing)
    state.current->Render(out, frames, state.rate);
  else
    std::fill(out, out + frames * kChannels, 0.0f);
  state.frames_mixed += frames;
  if (audio_trace::Enabled()) {
    if (fresh) audio_trace::Note("first", state.current_handle, true);
    audio_trace::Mixed(out, frames * kChannels);
  }
}

// The registry's entry of the music `handle` names, or its end when it
// names none (none does while the layer is not initialised). Under `api`.
auto Loaded(HMUSIC handle) {
  return state.initialised ? state.musics.find(handle) : state.musics.end();
}

Music* Find(HMUSIC handle) {
  auto it = Loaded(handle);
  return it == state.musics.end() ? nullptr : it->second.get();
}

// Handles count up and skip 0 and any still in use, so a freed handle is not
// handed out again until the count wraps around.
HMUSIC NextHandle() {
  do {
    ++state.last_handle;
  } while (state.last_handle == 0 || state.musics.count(state.last_handle) != 0);
  return state.last_handle;
}

bool ReadFileRange(const char* path, QWORD offset, DWORD length, std::vector<uint8_t>& out) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  if (size < 0 || offset > static_cast<QWORD>(size)) return false;
  const QWORD available = static_cast<QWORD>(size) - offset;
  const QWORD wanted = length == 0 ? available : length;
  if (wanted == 0 || wanted > available) return false;
  out.resize(static_cast<size_t>(wanted));
  file.seekg(static_cast<std::streamoff>(offset));
  file.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(wanted));
  return static_cast<QWORD>(file.gcount()) == wanted;
}

BOOL SetRunning(bool running) {
  std::lock_guard<std::recursive_mutex> api(state.api);
  if (!state.initialised) return FALSE;
  DeviceLock lock(*state.output);
  state.running = running;
  return TRUE;
}

}  // namespace

namespace playback {

BOOL Init(int device, DWORD freq, DWORD, HWND) {
  std::lock_guard<std::recursive_mutex> api(state.api);
  if (state.initialised) return FALSE;
  if (freq < kMinRate || freq > kMaxRate) return FALSE;
  if (device != -1 && device < 1) return FALSE;

  std::unique_ptr<AudioOutput> output = MakeChosenOutput();
  AudioOutput::Format format;
  if (!output->Open(device, static_cast<int>(freq), kBufferFrames, Mix, &format)) return FALSE;

  state.output = std::move(output);
  state.rate = format.rate;
  state.buffer_frames = format.buffer_frames;
  state.running = true;
  state.current = nullptr;
  state.current_handle = 0;
  state.frames_mixed = 0;
  state.initialised = true;
  audio_trace::Open();
  audio_trace::Note("init");
  state.output->Start();
  return TRUE;
}

BOOL Start() { return SetRunning(true); }
BOOL Stop() { return SetRunning(false); }
BOOL Pause() { return SetRunning(false); }

HMUSIC MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD) {
  std::lock_guard<std::recursive_mutex> api(state.api);
  if (!state.initialised || file == nullptr) return 0;

  std::unique_ptr<Music> music;
  if (mem) {
    // The bytes' extent is known only from `length`: without it nothing can
    // be read safely.
    if (length == 0 || offset > std::numeric_limits<uintptr_t>::max() - reinterpret_cast<uintptr_t>(file))
      return 0;
    music = Music::Load(static_cast<const uint8_t*>(file) + offset, length, flags);
  } else {
    std::vector<uint8_t> bytes;
    if (!ReadFileRange(static_cast<const char*>(file), offset, length, bytes)) return 0;
    music = Music::Load(bytes.data(), bytes.size(), flags);
  }
  if (music == nullptr) return 0;

  const HMUSIC handle = NextHandle();
  state.musics.emplace(handle, std::move(music));
  return handle;
}

BOOL MusicPlay(HMUSIC handle) {
  std::lock_guard<std::recursive_mutex> api(state.api);
  auto it = Loaded(handle);
  if (it == state.musics.end()) return FALSE;

  // A music that has been heard restarts as a fresh decoder over its bytes,
  // built here, outside the device lock; the old one is released after it.
  bool heard;
  {
    DeviceLock lock(*state.output);
    heard = it->second->frames_rendered() > 0 || it->second->ended();
  }
  std::unique_ptr<Music> replaced;
  if (heard) {
    std::unique_ptr<Music> fresh = it->second->Restarted();
    if (fresh == nullptr) return FALSE;
    replaced = std::move(it->second);
    it->second = std::move(fresh);
  }
  {
    DeviceLock lock(*state.output);
    state.current = it->second.get();
    state.current_handle = handle;
    // Stamped under the lock, so that it comes before the mixer's "first".
    audio_trace::Note("play", handle, true);
  }
  return TRUE;
}

BOOL MusicFree(HMUSIC handle) {
  std::lock_guard<std::recursive_mutex> api(state.api);
  auto it = Loaded(handle);
  if (it == state.musics.end()) return FALSE;
  std::unique_ptr<Music> doomed = std::move(it->second);
  state.musics.erase(it);
  {
    DeviceLock lock(*state.output);
    if (state.current == doomed.get()) state.current = nullptr;
  }
  return TRUE;  // `doomed` is released here, with the device unlocked
}

BOOL Free() {
  std::lock_guard<std::recursive_mutex> api(state.api);
  if (!state.initialised) return FALSE;
  // Closing waits for the mixer, which cannot finish while this thread holds
  // the output's lock through a PlaybackOutputLock: fail rather than hang.
  if (state.probe_locks > 0) return FALSE;
  // Closing waits for a mixer call in progress and stops the output's thread,
  // so the musics can go afterwards without the lock.
  state.output->Close();
  state.output.reset();
  state.current = nullptr;
  state.running = false;
  state.musics.clear();
  state.initialised = false;
  audio_trace::Close();
  return TRUE;
}

}  // namespace playback

uint64_t PlaybackFramesMixed() {
  std::lock_guard<std::recursive_mutex> api(state.api);
  if (!state.initialised) return state.frames_mixed;  // final once the device is closed
  DeviceLock lock(*state.output);
  return state.frames_mixed;
}

bool PlaybackMusicFrames(HMUSIC handle, uint64_t* frames) {
  std::lock_guard<std::recursive_mutex> api(state.api);
  if (!state.initialised) return false;
  Music* music = Find(handle);
  if (music == nullptr) return false;
  DeviceLock lock(*state.output);
  *frames = music->frames_rendered();
  return true;
}

int PlaybackOutputRate() {
  std::lock_guard<std::recursive_mutex> api(state.api);
  return state.initialised ? state.rate : 0;
}

int PlaybackBufferFrames() {
  std::lock_guard<std::recursive_mutex> api(state.api);
  return state.initialised ? state.buffer_frames : 0;
}

PlaybackSnapshot TakePlaybackSnapshot() {
  std::lock_guard<std::recursive_mutex> api(state.api);
  PlaybackSnapshot snapshot;
  snapshot.initialised = state.initialised;
  if (!state.initialised) return snapshot;
  for (const auto& entry : state.musics) snapshot.loaded.push_back(entry.first);
  std::sort(snapshot.loaded.begin(), snapshot.loaded.end());
  DeviceLock lock(*state.output);
  snapshot.running = state.running;
  snapshot.current = state.current == nullptr ? 0 : state.current_handle;
  return snapshot;
}

// Takes both locks in the usual order and keeps them, so that calls made
// under it take them again recursively and never in the reverse order.
// The output locked is remembered: BASS_Init may open one under the lock, and
// BASS_Free cannot close it while the lock is held.
PlaybackOutputLock::PlaybackOutputLock() {
  state.api.lock();
  ++state.probe_locks;
  output_ = state.initialised ? state.output.get() : nullptr;
  if (output_ != nullptr) output_->Lock();
}

PlaybackOutputLock::~PlaybackOutputLock() {
  if (output_ != nullptr) output_->Unlock();
  --state.probe_locks;
  state.api.unlock();
}
