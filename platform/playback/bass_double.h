// A stand-in for the playback layer in the player's tests (link
// quarb_playback_double instead of quarb_playback).
//
// It defines the same BASS_* calls, records each call with its arguments and
// result in order, and hands it on to the layer's own rules
// (playback_layer.h), so every answer is the one the real layer gives. Only
// what lies under the rules differs: the output is the recording one
// (recording_output.h), which makes no sound and runs the mixer only when a
// test pumps it, and every non-empty run of bytes loads as a silent music,
// so a test may use any short text as a song. A test makes a call fail by
// queueing a failure for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/playback/bass.h"
#include "platform/playback/playback_probe.h"

enum class BassFunction { Init, Start, Stop, Pause, MusicLoad, MusicPlay, MusicFree, Free };

const char* BassFunctionName(BassFunction function);  // "BASS_Init", ...

struct BassCall {
  explicit BassCall(BassFunction f) : function(f) {}

  BassFunction function;
  // Arguments as passed; those a function does not take stay 0.
  int device = 0;             // Init
  DWORD freq = 0;             // Init, MusicLoad
  DWORD flags = 0;            // Init, MusicLoad
  HWND window = nullptr;      // Init
  BOOL mem = 0;               // MusicLoad
  const void* file = nullptr; // MusicLoad
  QWORD offset = 0;           // MusicLoad
  DWORD length = 0;           // MusicLoad
  HMUSIC handle = 0;          // MusicPlay, MusicFree
  // A copy of the loaded bytes (MusicLoad from memory with a length), so a
  // test can tell which song was loaded after the caller freed its buffer.
  std::vector<uint8_t> bytes;
  DWORD result = 0;           // what the call returned
};

// Every call since the last clear, in order.
const std::vector<BassCall>& BassDoubleCalls();
// The calls' names joined by blanks: "BASS_Stop BASS_Start BASS_MusicFree ...".
std::string BassDoubleCallNames();
void BassDoubleClearCalls();

// The next call of `function` fails (returns 0) without reaching the layer,
// as when a device is missing or a song's data is bad. Failures queued for
// the same function are used one per call.
void BassDoubleFailNext(BassFunction function);

// What the layer holds now: initialised, running, the current music and the
// loaded ones (playback_probe.h).
PlaybackSnapshot BassDoubleState();

// Back to the state at program start: no calls, no queued failures, the layer
// not initialised (freed if it was) and its output the recording one, which
// opens.
void BassDoubleReset();
