// The recording output: the mixer's frames go to a vector instead of a device.
#include "platform/playback/recording_output.h"

#include <algorithm>
#include <mutex>

#include "platform/playback/audio_output.h"

namespace {

class RecordingOutput;

// What the free functions of recording_output.h work on. There is at most one
// open recording output, as there is at most one open output.
RecordingOutput* open_output = nullptr;
std::vector<float> recorded;
bool refuse_open = false;

class RecordingOutput final : public AudioOutput {
 public:
  ~RecordingOutput() override { Close(); }

  bool Open(int device, int rate, int buffer_frames, Mixer mixer, Format* actual) override {
    if (refuse_open || open_output != nullptr || (device != -1 && device != 1) || buffer_frames <= 0)
      return false;
    mixer_ = std::move(mixer);
    buffer_frames_ = buffer_frames;
    started_ = false;
    actual->rate = rate;
    actual->buffer_frames = buffer_frames;
    recorded.clear();
    open_output = this;
    return true;
  }

  void Start() override { started_ = true; }
  void Lock() override { lock_.lock(); }
  void Unlock() override { lock_.unlock(); }

  void Close() override {
    if (open_output != this) return;
    open_output = nullptr;
    mixer_ = nullptr;
    started_ = false;
  }

  size_t Pump(size_t frames) {
    if (!started_) return 0;
    size_t done = 0;
    while (done < frames) {
      const size_t count = std::min<size_t>(frames - done, static_cast<size_t>(buffer_frames_));
      const size_t at = recorded.size();
      recorded.resize(at + 2 * count);
      std::lock_guard<std::recursive_mutex> hold(lock_);
      mixer_(recorded.data() + at, count);
      done += count;
    }
    return done;
  }

 private:
  std::recursive_mutex lock_;
  Mixer mixer_;
  int buffer_frames_ = 0;
  bool started_ = false;
};

}  // namespace

std::unique_ptr<AudioOutput> MakeRecordingOutput() { return std::make_unique<RecordingOutput>(); }

size_t RecordingOutputPump(size_t frames) { return open_output == nullptr ? 0 : open_output->Pump(frames); }

const std::vector<float>& RecordingOutputSamples() { return recorded; }

bool RecordingOutputIsOpen() { return open_output != nullptr; }

void RecordingOutputRefuseOpen(bool refuse) { refuse_open = refuse; }
