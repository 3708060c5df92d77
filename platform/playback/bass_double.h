// A stand-in for the playback layer in the player's tests (link
// quarb_playback_double instead of quarb_playback).
//
// It defines the same BASS_* calls, records each call with its arguments and
// result in order, and keeps a small model of the output (initialised,
// running, which musics are loaded and which one is current) so a test can
// check what would be heard. Results follow that model the way the real layer
// answers (e.g. calls before BASS_Init fail, a memory load of length 0 fails)
// unless a test queues a result of its own for the next call of a function.
// No sound is made. Not thread-safe: for single-threaded tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/playback/bass.h"

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
  uint32_t bytes_crc = 0;     // CRC-32 (IEEE, reflected) of `bytes`
  DWORD result = 0;           // what the call returned
};

// Every call since the last clear, in order.
const std::vector<BassCall>& BassDoubleCalls();
// The calls' names joined by blanks: "BASS_Stop BASS_Start BASS_MusicFree ...".
std::string BassDoubleCallNames();
void BassDoubleClearCalls();

// The next call of `function` returns `result` (queued results are used in
// order, one per call) and changes nothing in the model when it is 0.
void BassDoubleQueueResult(BassFunction function, DWORD result);

struct BassDoubleModel {
  bool initialised = false;
  bool running = false;            // output runs (not stopped or paused)
  HMUSIC current = 0;              // the music heard while running, 0 for none
  std::vector<HMUSIC> loaded;      // musics loaded and not yet freed
};
const BassDoubleModel& BassDoubleState();

// Back to the state at program start: no calls, no queued results, not initialised.
void BassDoubleReset();
