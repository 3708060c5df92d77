// A look inside the playback layer, for its tests and benchmarks only; the
// player never includes this.
//
// Positions are counted in output frames, so a test can tell how far a song
// has progressed, and where in the output stream it was heard, without
// looking at a clock. While a PlaybackOutputLock is held the mixer stands
// still: a BASS_* call made under it and the counters read under it describe
// the same instant of the output stream.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/playback/bass.h"

class AudioOutput;

// Frames the mixer has produced since BASS_Init (silence included); after
// BASS_Free, the final count of that session. An output may write a little
// silence of its own to the device before the mixer starts (SDL does), which
// this does not count.
uint64_t PlaybackFramesMixed();

// Frames of `handle` rendered since it last started playing; false for an
// unknown handle.
bool PlaybackMusicFrames(HMUSIC handle, uint64_t* frames);

// The rate the output runs at, in Hz; 0 when the layer is not initialised.
int PlaybackOutputRate();

// Frames the output asks for at a time; 0 when the layer is not initialised.
int PlaybackBufferFrames();

// What the layer holds at this moment, as the calls have left it.
struct PlaybackSnapshot {
  bool initialised = false;
  bool running = false;         // the output runs: not stopped or paused
  HMUSIC current = 0;           // the music heard while running, 0 for none
  std::vector<HMUSIC> loaded;   // musics loaded and not yet freed, in handle order
};
PlaybackSnapshot TakePlaybackSnapshot();

// Holds the layer's locks for its lifetime, the output's lock among them, so
// the mixer stands still. BASS_* calls may be made under it from the same
// thread, except BASS_Free, which would wait for the mixer forever and so
// fails. Other threads' calls wait. Does not stop the mixer when not
// initialised.
class PlaybackOutputLock {
 public:
  PlaybackOutputLock();
  ~PlaybackOutputLock();
  PlaybackOutputLock(const PlaybackOutputLock&) = delete;
  PlaybackOutputLock& operator=(const PlaybackOutputLock&) = delete;

 private:
  AudioOutput* output_;
};
