// Music playback: the BASS_* calls the player makes, over libopenmpt and one
// audio output (SDL2 on Linux, waveOut on Windows; see outputs.h).
//
// One output device (44100 Hz, stereo, float) mixes at most one current music.
// Modules are decoded with libopenmpt (MOD, S3M, XM, IT and every other format
// it reads) from a copy of the caller's bytes, so the caller may free them as
// soon as BASS_MusicLoad returns. Results follow the library the player was
// written for: non-zero on success, 0 (FALSE) on failure; nothing is logged.
//
// Every call is quick: mixing runs on the output's own thread, and a call
// holds the output's lock only while it swaps or changes the current music.
// Calls before BASS_Init or after BASS_Free, and unknown or freed handles,
// fail with 0.
#pragma once

#include <cstdint>

#include "platform/win32_types.h"

using QWORD = uint64_t;
using HMUSIC = DWORD;  // 0 is never a music

// Loading options of BASS_MusicLoad. Other bits are ignored.
inline constexpr DWORD BASS_MUSIC_RAMP = 0x002;         // volume ramping (no clicks on note changes)
inline constexpr DWORD BASS_MUSIC_LOOP = 0x004;         // repeat the song until another is chosen
inline constexpr DWORD BASS_MUSIC_INTERPOLATE = 0x010;  // libopenmpt's default interpolation, else none
inline constexpr DWORD BASS_MUSIC_STEREO = 0x800;       // stereo mix, else mono on both channels
// What the player asks for: 0x816.
inline constexpr DWORD BASS_MUSIC_PLAYER_OPTIONS =
    BASS_MUSIC_RAMP | BASS_MUSIC_LOOP | BASS_MUSIC_INTERPOLATE | BASS_MUSIC_STEREO;

// Opens the output: `device` -1 is the system's default, 1..n the n-th output
// device the system lists; anything else fails. `freq` in 8000..192000 Hz; `flags` and
// `window` are accepted and unused. The output runs (silently) from here on.
// FALSE when no device can be opened, or when already initialised.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND window);

// Runs the output again; a music halted by BASS_Stop or BASS_Pause continues
// from where it stopped.
BOOL BASS_Start();
// Halts the output. BASS_Stop and BASS_Pause both keep the current music and
// its position; the output is silent until the next BASS_Start.
BOOL BASS_Stop();
BOOL BASS_Pause();

// Decodes a module. From memory (`mem` TRUE): the `length` bytes at `file` +
// `offset`; a length of 0 fails, since the extent of the bytes is unknown.
// From a file (`mem` FALSE): `file` is a path, read from `offset` for
// `length` bytes, or to its end when `length` is 0. `flags` are the BASS_MUSIC_*
// options above; `freq` is accepted and unused (musics render at the output
// rate). Returns a new handle, or 0 when the data is not a module.
HMUSIC BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags,
                      DWORD freq = 0);

// Makes `handle` the current music, played from its start (also when it was
// already playing). The previous current music stops but stays loaded. It is
// heard while the output runs.
BOOL BASS_MusicPlay(HMUSIC handle);

// Releases a music; the current one falls silent at once. FALSE for 0 and for
// unknown handles, with no effect.
BOOL BASS_MusicFree(HMUSIC handle);

// Closes the output and releases every music, the current one included.
BOOL BASS_Free();
