#include "platform/playback/bass_double.h"

#include <map>

#include "platform/playback/outputs.h"
#include "platform/playback/playback_layer.h"
#include "platform/playback/recording_output.h"

namespace {

std::vector<BassCall> calls;
std::map<BassFunction, int> failures_queued;

// Takes a failure queued for `function`, if there is one.
bool FailureQueued(BassFunction function) {
  int& count = failures_queued[function];
  if (count == 0) return false;
  --count;
  return true;
}

// Hands the call on to the layer unless a failure is queued for it, and
// records it with the result.
template <typename Call>
DWORD Answer(BassCall call, Call layer) {
  call.result = FailureQueued(call.function) ? 0 : static_cast<DWORD>(layer());
  const DWORD result = call.result;
  calls.push_back(std::move(call));
  return result;
}

}  // namespace

const char* BassFunctionName(BassFunction function) {
  switch (function) {
    case BassFunction::Init: return "BASS_Init";
    case BassFunction::Start: return "BASS_Start";
    case BassFunction::Stop: return "BASS_Stop";
    case BassFunction::Pause: return "BASS_Pause";
    case BassFunction::MusicLoad: return "BASS_MusicLoad";
    case BassFunction::MusicPlay: return "BASS_MusicPlay";
    case BassFunction::MusicFree: return "BASS_MusicFree";
    case BassFunction::Free: return "BASS_Free";
  }
  return "?";
}

const std::vector<BassCall>& BassDoubleCalls() { return calls; }

std::string BassDoubleCallNames() {
  std::string names;
  for (const BassCall& call : calls) {
    if (!names.empty()) names += ' ';
    names += BassFunctionName(call.function);
  }
  return names;
}

void BassDoubleClearCalls() { calls.clear(); }

void BassDoubleFailNext(BassFunction function) { ++failures_queued[function]; }

PlaybackSnapshot BassDoubleState() { return TakePlaybackSnapshot(); }

void BassDoubleReset() {
  playback::Free();  // fails harmlessly when not initialised
  UseRecordingOutput();
  RecordingOutputRefuseOpen(false);
  calls.clear();
  failures_queued.clear();
}

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND window) {
  BassCall call(BassFunction::Init);
  call.device = device;
  call.freq = freq;
  call.flags = flags;
  call.window = window;
  return Answer(std::move(call), [&] { return playback::Init(device, freq, flags, window); });
}

BOOL BASS_Start() {
  return Answer(BassCall(BassFunction::Start), [] { return playback::Start(); });
}
BOOL BASS_Stop() {
  return Answer(BassCall(BassFunction::Stop), [] { return playback::Stop(); });
}
BOOL BASS_Pause() {
  return Answer(BassCall(BassFunction::Pause), [] { return playback::Pause(); });
}

HMUSIC BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD freq) {
  BassCall call(BassFunction::MusicLoad);
  call.mem = mem;
  call.file = file;
  call.offset = offset;
  call.length = length;
  call.flags = flags;
  call.freq = freq;
  if (mem && file != nullptr && length != 0) {
    const auto* first = static_cast<const uint8_t*>(file) + offset;
    call.bytes.assign(first, first + length);
  }
  return Answer(std::move(call), [&] { return playback::MusicLoad(mem, file, offset, length, flags, freq); });
}

BOOL BASS_MusicPlay(HMUSIC handle) {
  BassCall call(BassFunction::MusicPlay);
  call.handle = handle;
  return Answer(std::move(call), [&] { return playback::MusicPlay(handle); });
}

BOOL BASS_MusicFree(HMUSIC handle) {
  BassCall call(BassFunction::MusicFree);
  call.handle = handle;
  return Answer(std::move(call), [&] { return playback::MusicFree(handle); });
}

BOOL BASS_Free() {
  return Answer(BassCall(BassFunction::Free), [] { return playback::Free(); });
}
