// The playback layer's rules, under names of their own: each call means what
// the BASS_* call of the same name means (bass.h), which is all bass.cpp
// makes of it. The test double (bass_double.h) records the player's BASS_*
// calls and hands them on to these same rules, so the player's tests see the
// answers the real layer gives.
#pragma once

#include "platform/playback/bass.h"

namespace playback {

BOOL Init(int device, DWORD freq, DWORD flags, HWND window);
BOOL Start();
BOOL Stop();
BOOL Pause();
HMUSIC MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD freq);
BOOL MusicPlay(HMUSIC handle);
BOOL MusicFree(HMUSIC handle);
BOOL Free();

}  // namespace playback
