// The output over the Windows waveOut API (WINMM): present on every Windows,
// and under Wine mapped to the system's sound (ALSA on Linux).
//
// The device plays 16-bit PCM stereo from a ring of kBuffers buffers of the
// requested size, written in turn; it hands them back in the order they were
// written. A thread of the output's own keeps every buffer it gets back
// queued: woken by the device's event (CALLBACK_EVENT), it mixes into the
// next buffer under the output's lock, converts, and writes it again.
//
// Latency: the mix of a buffer is heard after the buffers queued ahead of it,
// so a change (a new song, a pause) is heard two to three buffers after the
// call, 46 to 70 ms with 1024 frames at 44100 Hz. Fewer buffers would cut
// that at the risk of gaps when the thread wakes late.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After <windows.h>: WIN32_LEAN_AND_MEAN (which the player's headers set)
// leaves the multimedia API out of it.
#include <mmsystem.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/playback/audio_output.h"
#include "platform/playback/pcm16.h"
#include "platform/playback/winmm_threads.h"

namespace {

constexpr int kChannels = 2;
constexpr int kBuffers = 3;
// How long Close waits for Wine's winmm to end its device thread (it takes
// well under a millisecond; see winmm_threads.h).
constexpr DWORD kDeviceThreadWaitMs = 500;

class WaveOutOutput final : public AudioOutput {
 public:
  WaveOutOutput() { InitializeCriticalSection(&lock_); }
  ~WaveOutOutput() override {
    Close();
    DeleteCriticalSection(&lock_);
  }
  WaveOutOutput(const WaveOutOutput&) = delete;
  WaveOutOutput& operator=(const WaveOutOutput&) = delete;

  bool Open(int device, int rate, int buffer_frames, Mixer mixer, Format* actual) override {
    if (wave_ != nullptr || rate <= 0 || buffer_frames <= 0) return false;
    UINT id;
    if (device == -1) {
      id = WAVE_MAPPER;
    } else if (device >= 1 && static_cast<UINT>(device) <= waveOutGetNumDevs()) {
      id = static_cast<UINT>(device - 1);
    } else {
      return false;
    }

    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = kChannels;
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = kChannels * sizeof(int16_t);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;

    // Auto-reset: one wake-up for however many buffers came back meanwhile.
    ready_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (ready_ == nullptr) return false;
    if (waveOutOpen(&wave_, id, &format, reinterpret_cast<DWORD_PTR>(ready_), 0, CALLBACK_EVENT) !=
        MMSYSERR_NOERROR) {
      wave_ = nullptr;
      Release();
      return false;
    }

    frames_ = static_cast<size_t>(buffer_frames);
    mix_.assign(frames_ * kChannels, 0.0f);
    for (Buffer& buffer : buffers_) {
      buffer.pcm.assign(frames_ * kChannels, 0);
      buffer.header = WAVEHDR{};
      buffer.header.lpData = reinterpret_cast<LPSTR>(buffer.pcm.data());
      buffer.header.dwBufferLength = static_cast<DWORD>(buffer.pcm.size() * sizeof(int16_t));
      buffer.queued = false;
    }
    for (Buffer& buffer : buffers_) {
      if (waveOutPrepareHeader(wave_, &buffer.header, sizeof buffer.header) != MMSYSERR_NOERROR) {
        Release();
        return false;
      }
    }
    next_ = 0;
    mixer_ = std::move(mixer);
    started_ = false;
    stopping_ = false;
    // The thread waits for Start. Made here so that a failure fails the open.
    thread_ = CreateThread(nullptr, 0, &WaveOutOutput::ThreadMain, this, 0, nullptr);
    if (thread_ == nullptr) {
      Release();
      return false;
    }
    // Mixing late means a gap in the sound: ahead of the program's own threads.
    SetThreadPriority(thread_, THREAD_PRIORITY_HIGHEST);

    actual->rate = rate;
    actual->buffer_frames = buffer_frames;
    return true;
  }

  void Start() override {
    if (thread_ == nullptr) return;
    started_ = true;
    SetEvent(ready_);
  }

  void Lock() override { EnterCriticalSection(&lock_); }
  void Unlock() override { LeaveCriticalSection(&lock_); }

  void Close() override {
    if (wave_ == nullptr) return;
    Release();
  }

 private:
  struct Buffer {
    std::vector<int16_t> pcm;
    WAVEHDR header{};
    bool queued = false;  // written and not yet seen back; the thread's own
  };

  static DWORD WINAPI ThreadMain(LPVOID self) {
    static_cast<WaveOutOutput*>(self)->Run();
    return 0;
  }

  void Run() {
    for (;;) {
      WaitForSingleObject(ready_, INFINITE);
      if (stopping_) return;
      if (!started_) continue;
      // The event also fires for the device's opening; the state of the
      // next buffer in turn is what counts.
      while (!stopping_ && IsFree(buffers_[next_])) {
        if (!Write(buffers_[next_])) break;  // the device is gone: stay silent until closed
        next_ = (next_ + 1) % kBuffers;
      }
    }
  }

  static bool IsFree(const Buffer& buffer) {
    // The device sets WHDR_DONE from a thread of its own.
    const DWORD flags = *static_cast<const volatile DWORD*>(&buffer.header.dwFlags);
    return !buffer.queued || (flags & WHDR_DONE) != 0;
  }

  bool Write(Buffer& buffer) {
    EnterCriticalSection(&lock_);
    mixer_(mix_.data(), frames_);
    LeaveCriticalSection(&lock_);
    ConvertToPcm16(mix_.data(), buffer.pcm.data(), mix_.size());
    buffer.queued = waveOutWrite(wave_, &buffer.header, sizeof buffer.header) == MMSYSERR_NOERROR;
    return buffer.queued;
  }

  // Stops the thread (after the mixer call in progress), takes every buffer
  // back from the device and closes it; under Wine, also waits for winmm's
  // own device thread to end. Also undoes a half-done Open.
  void Release() {
    if (thread_ != nullptr) {
      stopping_ = true;
      SetEvent(ready_);
      WaitForSingleObject(thread_, INFINITE);
      CloseHandle(thread_);
      thread_ = nullptr;
    }
    if (wave_ != nullptr) {
      waveOutReset(wave_);  // hands every queued buffer back, marked done
      for (Buffer& buffer : buffers_) {
        if (buffer.header.dwFlags & WHDR_PREPARED)
          waveOutUnprepareHeader(wave_, &buffer.header, sizeof buffer.header);
        buffer.queued = false;
      }
      std::vector<HANDLE> device_threads;
      if (winmm_threads::UnderWine()) device_threads = winmm_threads::Open();
      waveOutClose(wave_);
      wave_ = nullptr;
      winmm_threads::WaitForEnd(device_threads, kDeviceThreadWaitMs);
    }
    if (ready_ != nullptr) {
      CloseHandle(ready_);
      ready_ = nullptr;
    }
    mixer_ = nullptr;
    started_ = false;
  }

  CRITICAL_SECTION lock_;  // recursive, as the interface asks
  HWAVEOUT wave_ = nullptr;
  HANDLE ready_ = nullptr;  // signalled by the device when a buffer is done
  HANDLE thread_ = nullptr;
  std::atomic<bool> started_{false};
  std::atomic<bool> stopping_{false};
  Mixer mixer_;
  size_t frames_ = 0;
  std::vector<float> mix_;  // the mixer's output, before conversion
  std::array<Buffer, kBuffers> buffers_;
  int next_ = 0;  // the buffer to write next; they come back in this order
};

}  // namespace

std::unique_ptr<AudioOutput> MakeWaveOutOutput() { return std::make_unique<WaveOutOutput>(); }
