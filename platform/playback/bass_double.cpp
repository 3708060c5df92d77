#include "platform/playback/bass_double.h"

#include <algorithm>
#include <array>
#include <deque>
#include <map>

namespace {

std::vector<BassCall> calls;
std::map<BassFunction, std::deque<DWORD>> queued;
BassDoubleModel model;
HMUSIC last_handle = 0;

uint32_t Crc32(const std::vector<uint8_t>& bytes) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (uint8_t b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

bool IsLoaded(HMUSIC handle) {
  return handle != 0 && std::find(model.loaded.begin(), model.loaded.end(), handle) != model.loaded.end();
}

// Takes the queued result for `function`, if any.
bool Queued(BassFunction function, DWORD* result) {
  auto it = queued.find(function);
  if (it == queued.end() || it->second.empty()) return false;
  *result = it->second.front();
  it->second.pop_front();
  return true;
}

// Runs `apply` (the model's own answer) unless a queued result overrides it; a
// queued failure leaves the model alone, a queued success still applies.
template <typename Apply>
DWORD Answer(BassCall call, Apply apply) {
  DWORD result;
  if (Queued(call.function, &result)) {
    if (result != 0) apply();
  } else {
    result = apply();
  }
  call.result = result;
  calls.push_back(std::move(call));
  return result;
}

DWORD SetRunning(BassFunction function, bool running) {
  BassCall call(function);
  return Answer(call, [&]() -> DWORD {
    if (!model.initialised) return FALSE;
    model.running = running;
    return TRUE;
  });
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

void BassDoubleQueueResult(BassFunction function, DWORD result) { queued[function].push_back(result); }

const BassDoubleModel& BassDoubleState() { return model; }

void BassDoubleReset() {
  calls.clear();
  queued.clear();
  model = BassDoubleModel{};
  last_handle = 0;
}

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND window) {
  BassCall call(BassFunction::Init);
  call.device = device;
  call.freq = freq;
  call.flags = flags;
  call.window = window;
  return Answer(call, [&]() -> DWORD {
    if (model.initialised) return FALSE;
    model = BassDoubleModel{};
    model.initialised = true;
    model.running = true;
    return TRUE;
  });
}

BOOL BASS_Start() { return SetRunning(BassFunction::Start, true); }
BOOL BASS_Stop() { return SetRunning(BassFunction::Stop, false); }
BOOL BASS_Pause() { return SetRunning(BassFunction::Pause, false); }

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
    call.bytes_crc = Crc32(call.bytes);
  }
  const bool loadable = model.initialised && file != nullptr && (!mem || length != 0);
  DWORD result;
  if (Queued(BassFunction::MusicLoad, &result)) {
    // A queued handle is taken as it is; the test chose it.
    if (result != 0 && !IsLoaded(result)) model.loaded.push_back(result);
  } else if (loadable) {
    do ++last_handle; while (last_handle == 0 || IsLoaded(last_handle));
    result = last_handle;
    model.loaded.push_back(result);
  } else {
    result = 0;
  }
  call.result = result;
  calls.push_back(std::move(call));
  return result;
}

BOOL BASS_MusicPlay(HMUSIC handle) {
  BassCall call(BassFunction::MusicPlay);
  call.handle = handle;
  return Answer(call, [&]() -> DWORD {
    if (!model.initialised || !IsLoaded(handle)) return FALSE;
    model.current = handle;
    return TRUE;
  });
}

BOOL BASS_MusicFree(HMUSIC handle) {
  BassCall call(BassFunction::MusicFree);
  call.handle = handle;
  return Answer(call, [&]() -> DWORD {
    if (!model.initialised || !IsLoaded(handle)) return FALSE;
    model.loaded.erase(std::find(model.loaded.begin(), model.loaded.end(), handle));
    if (model.current == handle) model.current = 0;
    return TRUE;
  });
}

BOOL BASS_Free() {
  BassCall call(BassFunction::Free);
  return Answer(call, [&]() -> DWORD {
    if (!model.initialised) return FALSE;
    model = BassDoubleModel{};
    return TRUE;
  });
}
