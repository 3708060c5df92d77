// The one place that decides which backend BASS_Init opens.
#include "platform/playback/outputs.h"

#include <atomic>

#include "platform/playback/audio_output.h"

namespace {

using Factory = std::unique_ptr<AudioOutput> (*)();

#ifdef _WIN32
constexpr Factory kSystemOutput = MakeWaveOutOutput;
#else
constexpr Factory kSystemOutput = MakeSdlOutput;
#endif

std::atomic<Factory> chosen{kSystemOutput};

}  // namespace

#ifdef _WIN32
void UseWaveOutOutput() { chosen.store(MakeWaveOutOutput); }
#else
void UseSdlOutput() { chosen.store(MakeSdlOutput); }
#endif
void UseRecordingOutput() { chosen.store(MakeRecordingOutput); }
void UseDefaultOutput() { chosen.store(kSystemOutput); }

std::unique_ptr<AudioOutput> MakeChosenOutput() { return chosen.load()(); }
