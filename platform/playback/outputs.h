// Choosing where the playback layer's sound goes. The choice takes effect at
// the next BASS_Init; an output already open stays as it is until BASS_Free.
// Without a call, BASS_Init uses the system's own: SDL2 on Linux, waveOut on
// Windows.
#pragma once

#ifdef _WIN32
// The Windows waveOut API (WINMM), 16-bit PCM.
void UseWaveOutOutput();
#else
// An SDL2 audio device; SDL_AUDIODRIVER and the like choose SDL's driver.
void UseSdlOutput();
#endif

// No device: the test pulls the mixer's frames by hand
// (platform/playback/recording_output.h).
void UseRecordingOutput();

// Back to the system's own output.
void UseDefaultOutput();
