// CPU cost of playing a module through the playback layer (the BASS_* calls,
// libopenmpt on SDL's audio thread, SDL's output driver), beside libopenmpt
// rendering the same module alone at 44100 Hz stereo into memory.
//
// SDL's disk driver paces itself in real time, so the layer's figure is the
// process CPU time (all threads, getrusage) per second of audio the mixer
// produced, and one run of the layer takes as long as the audio it plays.
// Each round measures both in turn; the figures are the minimum and the
// median over the rounds.
//
//   playback_cost [--seconds S] [--rounds N] [module-file]
//
// Without a file it plays a four-channel song made here with the test
// module writer. The output driver comes from the environment
// (bench/run-playback-cost sets SDL_AUDIODRIVER=disk, writing to /dev/null).
#include <libopenmpt/libopenmpt.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/playback/bass.h"
#include "platform/playback/playback_probe.h"
#include "tests/playback/mod_writer.h"

namespace {

constexpr int kRate = 44100;
constexpr size_t kChunk = 1024;  // frames per render call, as the layer's device asks

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Four channels busy on every row: a square lead, a saw bass, a noise hi-hat
// and a chord pad, with vibrato, arpeggio and volume slides, over 8 patterns.
ModSong BenchSong() {
  ModSong song;
  song.title = "playback cost";
  ModSample square;
  square.data = SquareWave(64, 8, 80);
  square.loop_length = square.data.size();
  ModSample saw;
  for (int c = 0; c < 8; ++c)
    for (int i = 0; i < 64; ++i) saw.data.push_back(static_cast<int8_t>(i * 4 - 128));
  saw.loop_length = saw.data.size();
  ModSample noise;
  uint32_t seed = 12345;
  for (int i = 0; i < 4096; ++i) {
    seed = seed * 1103515245u + 12345u;
    noise.data.push_back(static_cast<int8_t>((seed >> 16) & 0xFF));
  }
  noise.volume = 40;
  song.samples = {square, saw, noise};

  static const int kScale[8] = {0, 2, 4, 5, 7, 9, 11, 12};
  for (int p = 0; p < 8; ++p) {
    ModPattern pattern{};
    for (int row = 0; row < kModRows; ++row) {
      const int step = kScale[(row + p * 3) % 8];
      pattern[row][0] = ModCell{NotePeriod(2 + (step / 12), step % 12), 1, 0x4, 0x46};  // vibrato
      if (row % 2 == 0) pattern[row][1] = ModCell{NotePeriod(1, kScale[(row / 8 + p) % 8] % 12), 2, 0xA, 0x02};
      pattern[row][2] = ModCell{NotePeriod(3, 0), 3, 0xC, static_cast<uint8_t>(row % 4 == 0 ? 48 : 20)};       // set volume
      pattern[row][3] = ModCell{NotePeriod(2, kScale[p % 8] % 12), 1, 0x0, 0x47};        // arpeggio
    }
    song.patterns.push_back(pattern);
  }
  song.order = {0, 1, 2, 3, 4, 5, 6, 7};
  return song;
}

// CPU seconds per second of audio, libopenmpt alone.
double AloneRun(const std::vector<uint8_t>& module, double seconds) {
  openmpt_module* m = openmpt_module_create_from_memory2(module.data(), module.size(), openmpt_log_func_silent,
                                                         nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  if (m == nullptr) return -1;
  openmpt_module_set_repeat_count(m, -1);
  std::vector<float> buffer(kChunk * 2);
  const uint64_t target = static_cast<uint64_t>(seconds * kRate);
  uint64_t done = 0;
  const double cpu0 = ProcessCpuSeconds();
  while (done < target) {
    size_t got = openmpt_module_read_interleaved_float_stereo(m, kRate, kChunk, buffer.data());
    if (got == 0) break;
    done += got;
  }
  const double cpu = ProcessCpuSeconds() - cpu0;
  openmpt_module_destroy(m);
  return done == 0 ? -1 : cpu / (static_cast<double>(done) / kRate);
}

// CPU seconds per second of audio, through the BASS_* calls.
double LayerRun(const std::vector<uint8_t>& module, double seconds) {
  if (!BASS_Init(-1, kRate, 0x20, nullptr)) {
    std::fprintf(stderr, "playback_cost: no audio device could be opened\n");
    return -1;
  }
  const HMUSIC music = BASS_MusicLoad(TRUE, module.data(), 0, static_cast<DWORD>(module.size()), 0x816);
  if (music == 0) {
    BASS_Free();
    return -1;
  }
  const uint64_t target = static_cast<uint64_t>(seconds * kRate);
  const double cpu0 = ProcessCpuSeconds();
  const uint64_t mixed0 = PlaybackFramesMixed();
  BASS_MusicPlay(music);
  uint64_t heard = 0;
  while (PlaybackMusicFrames(music, &heard) && heard < target)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const uint64_t mixed = PlaybackFramesMixed() - mixed0;
  const double cpu = ProcessCpuSeconds() - cpu0;
  BASS_Free();
  return mixed == 0 ? -1 : cpu / (static_cast<double>(mixed) / kRate);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

}  // namespace

int main(int argc, char** argv) {
  double seconds = 60;
  int rounds = 5;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else if (!std::strcmp(argv[i], "--rounds") && i + 1 < argc) {
      rounds = std::atoi(argv[++i]);
    } else if (argv[i][0] == '-') {
      std::fprintf(stderr, "usage: playback_cost [--seconds S] [--rounds N] [module-file]\n");
      return 2;
    } else {
      path = argv[i];
    }
  }
  if (seconds <= 0 || rounds <= 0) {
    std::fprintf(stderr, "playback_cost: --seconds and --rounds must be positive\n");
    return 2;
  }

  std::vector<uint8_t> module;
  if (path.empty()) {
    module = WriteMod(BenchSong());
    path = "(built-in four-channel song)";
  } else {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "playback_cost: cannot read %s\n", path.c_str());
      return 1;
    }
    module.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  const char* driver = std::getenv("SDL_AUDIODRIVER");
  std::printf("module: %s, %zu bytes\n", path.c_str(), module.size());
  std::printf("audio per run: %.0f s at %d Hz stereo; rounds: %d; output driver: %s\n", seconds, kRate, rounds,
              driver ? driver : "(SDL's default)");

  std::vector<double> alone, layer, ratio;
  for (int r = 0; r < rounds; ++r) {
    const double a = AloneRun(module, seconds);
    const double l = LayerRun(module, seconds);
    if (a <= 0 || l <= 0) {
      std::fprintf(stderr, "playback_cost: the module could not be played\n");
      return 1;
    }
    alone.push_back(a);
    layer.push_back(l);
    ratio.push_back(l / a);
    std::printf("round %d: alone %.5f, layer %.5f CPU s per audio s (layer/alone %.2f)\n", r + 1, a, l, l / a);
    std::fflush(stdout);
  }
  std::printf("\nCPU seconds per second of audio   min       median\n");
  std::printf("libopenmpt alone                  %.5f   %.5f\n", Min(alone), Median(alone));
  std::printf("through the playback layer        %.5f   %.5f\n", Min(layer), Median(layer));
  std::printf("layer / alone (per round)         %.2f      %.2f\n", Min(ratio), Median(ratio));
  return 0;
}
