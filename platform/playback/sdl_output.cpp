// The output over an SDL2 audio device. SDL's audio thread calls the mixer,
// holding the device lock around each call; that lock is the output's lock
// (SDL's mutexes are recursive).
#include <SDL.h>

#include <string>

#include "platform/playback/audio_output.h"

namespace {

constexpr int kChannels = 2;

class SdlOutput final : public AudioOutput {
 public:
  ~SdlOutput() override { Close(); }

  bool Open(int device, int rate, int buffer_frames, Mixer mixer, Format* actual) override {
    if (device_ != 0 || buffer_frames <= 0 || buffer_frames > 0xFFFF) return false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;

    // SDL opens devices by name; no name is the default device.
    std::string name;
    if (device != -1) {
      const int count = SDL_GetNumAudioDevices(0);
      const char* listed = device >= 1 && device <= count ? SDL_GetAudioDeviceName(device - 1, 0) : nullptr;
      if (listed == nullptr) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
      }
      name = listed;
    }

    mixer_ = std::move(mixer);
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = kChannels;
    want.samples = static_cast<Uint16>(buffer_frames);
    want.callback = &SdlOutput::Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the hardware takes, so the
    // mixer always sees the format asked for. The device opens paused.
    device_ = SDL_OpenAudioDevice(name.empty() ? nullptr : name.c_str(), 0, &want, &have, 0);
    if (device_ == 0) {
      mixer_ = nullptr;
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return false;
    }
    actual->rate = have.freq;
    actual->buffer_frames = have.samples;
    return true;
  }

  void Start() override {
    if (device_ != 0) SDL_PauseAudioDevice(device_, 0);
  }

  void Lock() override { SDL_LockAudioDevice(device_); }
  void Unlock() override { SDL_UnlockAudioDevice(device_); }

  void Close() override {
    if (device_ == 0) return;
    // Waits for a callback in progress and ends the audio thread.
    SDL_CloseAudioDevice(device_);
    device_ = 0;
    mixer_ = nullptr;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

 private:
  static void Callback(void* self, Uint8* stream, int bytes) {
    const size_t frames = static_cast<size_t>(bytes) / (kChannels * sizeof(float));
    static_cast<SdlOutput*>(self)->mixer_(reinterpret_cast<float*>(stream), frames);
  }

  SDL_AudioDeviceID device_ = 0;
  Mixer mixer_;
};

}  // namespace

std::unique_ptr<AudioOutput> MakeSdlOutput() { return std::make_unique<SdlOutput>(); }
