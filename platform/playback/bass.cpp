// The BASS_* calls the player makes: the layer's rules under the names the
// player knows them by.
#include "platform/playback/bass.h"

#include "platform/playback/playback_layer.h"

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND window) {
  return playback::Init(device, freq, flags, window);
}
BOOL BASS_Start() { return playback::Start(); }
BOOL BASS_Stop() { return playback::Stop(); }
BOOL BASS_Pause() { return playback::Pause(); }
HMUSIC BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD freq) {
  return playback::MusicLoad(mem, file, offset, length, flags, freq);
}
BOOL BASS_MusicPlay(HMUSIC handle) { return playback::MusicPlay(handle); }
BOOL BASS_MusicFree(HMUSIC handle) { return playback::MusicFree(handle); }
BOOL BASS_Free() { return playback::Free(); }
