// What the real player costs and how quickly it answers, measured from the
// outside on an X display (bench/measure-player runs it under Xvfb) with
// SDL's disk audio driver:
//   - start to first sound: from just before the process is started to the
//     first mixer buffer holding sound;
//   - track change: from the release of a click on "next" (once the X server
//     has it) to the first frames of the new song handed to the device;
//   - CPU while playing and while paused: CPU seconds of all the player's
//     threads per wall second, beside libopenmpt rendering the same song
//     alone in this process, as the device asks for it;
//   - main-thread wake-ups per second (about one per main-loop pass);
//   - resident memory.
// Times inside the player come from its audio trace (QUARB_AUDIO_TRACE),
// stamped on CLOCK_MONOTONIC like std::chrono::steady_clock here. Each
// round starts a fresh player; figures are given as minimum and median.
//
//   measure_player --player PATH --song FILE [--rounds N] [--seconds S] [--changes K]
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <dirent.h>
#include <libopenmpt/libopenmpt.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "skin/skin_layout.h"
#include "tests/support/process.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Hotspot centres in client pixels of the player's window.
constexpr int kNextX = skin_layout::kHotspots[skin_layout::kNext].CentreX();
constexpr int kNextY = skin_layout::kHotspots[skin_layout::kNext].CentreY();
constexpr int kPauseX = skin_layout::kHotspots[skin_layout::kPause].CentreX();
constexpr int kPauseY = skin_layout::kHotspots[skin_layout::kPause].CentreY();
constexpr int kBufferFrames = 1024;  // what the playback layer asks of the device

int64_t NowNs() { return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(); }

using test_process::Shell;

// Starts the player with `env` added.
pid_t Spawn(const std::string& program, const std::vector<std::string>& env) {
  return test_process::Spawn({program}, env);
}

// The exit status, or -1000 after killing a player that ran on past `limit`.
int WaitExit(pid_t pid, std::chrono::milliseconds limit) {
  const int status = test_process::WaitExit(pid, limit);
  if (status == test_process::kStillRunning) test_process::Kill(pid);
  return status;
}

struct Event {
  std::string kind;
  int64_t ns = 0;
  uint64_t handle = 0;
};

std::vector<Event> ReadTrace(const std::string& path) {
  std::vector<Event> events;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    Event e;
    if (fields >> e.kind >> e.ns) {
      fields >> e.handle;
      events.push_back(e);
    }
  }
  return events;
}

// The first event of `kind` stamped after `after`, waiting up to `limit` for it.
bool WaitForEvent(const std::string& trace, const std::string& kind, int64_t after, Event* found,
                  std::chrono::milliseconds limit = 10s) {
  const auto deadline = Clock::now() + limit;
  while (Clock::now() < deadline) {
    for (const Event& e : ReadTrace(trace)) {
      if (e.kind == kind && e.ns > after) {
        *found = e;
        return true;
      }
    }
    std::this_thread::sleep_for(5ms);
  }
  return false;
}

// CPU nanoseconds of every thread of the process; the main thread's count
// of times it was put on a CPU.
struct CpuSample {
  int64_t wall_ns = 0;
  uint64_t cpu_ns = 0;
  uint64_t main_runs = 0;
};

CpuSample SampleCpu(pid_t pid) {
  CpuSample sample;
  sample.wall_ns = NowNs();
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  DIR* dir = opendir(tasks.c_str());
  if (dir == nullptr) return sample;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream in(tasks + "/" + entry->d_name + "/schedstat");
    uint64_t on_cpu = 0, waiting = 0, runs = 0;
    if (!(in >> on_cpu >> waiting >> runs)) continue;
    sample.cpu_ns += on_cpu;
    if (std::to_string(pid) == entry->d_name) sample.main_runs = runs;
  }
  closedir(dir);
  return sample;
}

long StatusKb(pid_t pid, const char* key) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key) + 1);
  }
  return -1;
}

double ThreadCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

// CPU seconds per second of audio: libopenmpt alone, in the device's buffer
// size, with the player's loading options (looping, default interpolation
// and ramping, stereo).
double AloneCost(const std::vector<uint8_t>& song, double seconds) {
  openmpt_module* m = openmpt_module_create_from_memory2(song.data(), song.size(), openmpt_log_func_silent, nullptr,
                                                         nullptr, nullptr, nullptr, nullptr, nullptr);
  if (m == nullptr) return -1;
  openmpt_module_set_repeat_count(m, -1);
  std::vector<float> buffer(kBufferFrames * 2);
  const uint64_t target = static_cast<uint64_t>(seconds * 44100);
  uint64_t done = 0;
  const double cpu0 = ThreadCpuSeconds();
  while (done < target) {
    const size_t got = openmpt_module_read_interleaved_float_stereo(m, 44100, kBufferFrames, buffer.data());
    if (got == 0) break;
    done += got;
  }
  const double cpu = ThreadCpuSeconds() - cpu0;
  openmpt_module_destroy(m);
  return done == 0 ? -1 : cpu / (static_cast<double>(done) / 44100);
}

// The user, through the XTest extension: events the X server takes as real
// input, so its pointer and key state stay consistent between rounds.
// CPU seconds per wall second of a thread that only sleeps 10 ms at a time:
// what waking up 100 times a second costs on this machine, the floor under
// any loop paced like the player's.
double SleepLoopCost(double seconds) {
  const double cpu0 = ThreadCpuSeconds();
  const auto start = Clock::now();
  while (Clock::now() - start < std::chrono::duration<double>(seconds)) std::this_thread::sleep_for(10ms);
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  return (ThreadCpuSeconds() - cpu0) / wall;
}

class Input {
 public:
  Input() : display_(XOpenDisplay(nullptr)) {}
  ~Input() {
    if (display_) XCloseDisplay(display_);
  }
  bool ok() const { return display_ != nullptr; }

  void MoveTo(int x, int y) {
    XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
    XSync(display_, False);
  }
  // Presses and releases the left button where the pointer is; returns the
  // time at which the X server had the release.
  int64_t Click() {
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    XSync(display_, False);
    std::this_thread::sleep_for(30ms);
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    XSync(display_, False);
    return NowNs();
  }
  // Presses and releases a key; the focused window gets it.
  void Key(KeySym key) {
    const KeyCode code = XKeysymToKeycode(display_, key);
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    XSync(display_, False);
  }

 private:
  Display* display_;
};

struct Round {
  double start_ms = -1;
  std::vector<double> change_ms;
  std::vector<double> change_to_play_ms;  // click to BASS_MusicPlay
  double cpu_playing = -1, cpu_paused = -1;
  double wakeups_playing = -1, wakeups_paused = -1;
  long rss_kb = -1, hwm_kb = -1;
};

double Rate(const CpuSample& a, const CpuSample& b) {
  return static_cast<double>(b.cpu_ns - a.cpu_ns) / static_cast<double>(b.wall_ns - a.wall_ns);
}
double Wakeups(const CpuSample& a, const CpuSample& b) {
  return static_cast<double>(b.main_runs - a.main_runs) / (static_cast<double>(b.wall_ns - a.wall_ns) / 1e9);
}

bool RunRound(const std::string& player, double seconds, int changes, Input& pointer, Round* round) {
  char dir_template[] = "/tmp/quarb-measure-XXXXXX";
  if (mkdtemp(dir_template) == nullptr) return false;
  const std::string dir = dir_template;
  const std::string trace = dir + "/trace";
  const std::vector<std::string> env = {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=/dev/null",
                                        "QUARB_AUDIO_TRACE=" + trace};
  bool ok = false;
  const int64_t spawned = NowNs();
  const pid_t pid = Spawn(player, env);
  do {
    Event sound;
    if (!WaitForEvent(trace, "sound", 0, &sound)) {
      std::fprintf(stderr, "measure_player: no sound from the player\n");
      break;
    }
    round->start_ms = (sound.ns - spawned) / 1e6;
    const std::string window =
        Shell("timeout 20 xdotool search --sync --onlyvisible --name '^QUARB II$' | head -n1");
    if (window.empty()) {
      std::fprintf(stderr, "measure_player: the player's window did not appear\n");
      break;
    }
    int wx = 0, wy = 0;
    std::sscanf(Shell("xdotool getwindowgeometry --shell " + window + " | grep -E '^(X|Y)=' | tr '\\n' ' '").c_str(),
                "X=%d Y=%d", &wx, &wy);

    // Playing: the pointer rests outside the window, as while listening.
    pointer.MoveTo(5, 5);
    std::this_thread::sleep_for(2s);
    CpuSample a = SampleCpu(pid);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    CpuSample b = SampleCpu(pid);
    round->cpu_playing = Rate(a, b);
    round->wakeups_playing = Wakeups(a, b);
    round->rss_kb = StatusKb(pid, "VmRSS:");

    for (int i = 0; i < changes; ++i) {
      pointer.MoveTo(wx + kNextX, wy + kNextY);
      std::this_thread::sleep_for(300ms);
      const int64_t clicked = pointer.Click();
      Event first, play;
      if (!WaitForEvent(trace, "first", clicked, &first)) {
        std::fprintf(stderr, "measure_player: the next song did not start\n");
        break;
      }
      if (WaitForEvent(trace, "play", clicked, &play, 1s)) round->change_to_play_ms.push_back((play.ns - clicked) / 1e6);
      round->change_ms.push_back((first.ns - clicked) / 1e6);
      std::this_thread::sleep_for(700ms);
    }

    pointer.MoveTo(wx + kPauseX, wy + kPauseY);
    std::this_thread::sleep_for(300ms);
    pointer.Click();
    pointer.MoveTo(5, 5);
    std::this_thread::sleep_for(2s);
    a = SampleCpu(pid);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    b = SampleCpu(pid);
    round->cpu_paused = Rate(a, b);
    round->wakeups_paused = Wakeups(a, b);
    round->hwm_kb = StatusKb(pid, "VmHWM:");

    Shell("xdotool windowactivate --sync " + window + " 2>/dev/null");
    pointer.Key(XK_Escape);
    ok = true;
  } while (false);
  const int status = WaitExit(pid, 10s);
  if (ok && status != 0) {
    std::fprintf(stderr, "measure_player: the player exited with %d\n", status);
    ok = false;
  }
  Shell("rm -rf '" + dir + "'");
  return ok;
}

double Median(std::vector<double> v) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}
double Min(const std::vector<double>& v) { return v.empty() ? -1 : *std::min_element(v.begin(), v.end()); }
double Max(const std::vector<double>& v) { return v.empty() ? -1 : *std::max_element(v.begin(), v.end()); }

void Row(const char* name, const std::vector<double>& v, double scale, const char* unit) {
  std::printf("%-44s %9.3f %9.3f %9.3f  %s\n", name, Min(v) * scale, Median(v) * scale, Max(v) * scale, unit);
}

}  // namespace

int main(int argc, char** argv) {
  std::string player, song_path;
  int rounds = 5, changes = 5;
  double seconds = 10;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--player" && i + 1 < argc) {
      player = argv[++i];
    } else if (arg == "--song" && i + 1 < argc) {
      song_path = argv[++i];
    } else if (arg == "--rounds" && i + 1 < argc) {
      rounds = std::atoi(argv[++i]);
    } else if (arg == "--seconds" && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else if (arg == "--changes" && i + 1 < argc) {
      changes = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr,
                   "usage: measure_player --player PATH --song FILE [--rounds N] [--seconds S] [--changes K]\n");
      return 2;
    }
  }
  if (player.empty() || song_path.empty() || rounds <= 0 || seconds <= 0 || changes < 0) {
    std::fprintf(stderr, "measure_player: --player and --song are needed; counts must be positive\n");
    return 2;
  }
  std::ifstream in(song_path, std::ios::binary);
  const std::vector<uint8_t> song((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (song.empty()) {
    std::fprintf(stderr, "measure_player: cannot read %s\n", song_path.c_str());
    return 1;
  }
  Input pointer;
  if (!pointer.ok()) {
    std::fprintf(stderr, "measure_player: no X display (run it through bench/measure-player)\n");
    return 1;
  }

  std::printf("player: %s\nsong heard while measuring CPU: %s\n", player.c_str(), song_path.c_str());
  std::printf("rounds: %d; %.0f s per CPU figure; %d track changes per round\n\n", rounds, seconds, changes);
  std::vector<double> start, change, to_play, playing, paused, alone, sleeper, wake_playing, wake_paused, rss, hwm;
  for (int r = 0; r < rounds; ++r) {
    const double a = AloneCost(song, seconds);
    sleeper.push_back(SleepLoopCost(seconds));
    Round round;
    if (!RunRound(player, seconds, changes, pointer, &round)) return 1;
    alone.push_back(a);
    start.push_back(round.start_ms);
    change.insert(change.end(), round.change_ms.begin(), round.change_ms.end());
    to_play.insert(to_play.end(), round.change_to_play_ms.begin(), round.change_to_play_ms.end());
    playing.push_back(round.cpu_playing);
    paused.push_back(round.cpu_paused);
    wake_playing.push_back(round.wakeups_playing);
    wake_paused.push_back(round.wakeups_paused);
    rss.push_back(round.rss_kb / 1024.0);
    hwm.push_back(round.hwm_kb / 1024.0);
    std::printf("round %d: start %.1f ms; change median %.1f ms; CPU playing %.3f %%, paused %.3f %%, "
                "libopenmpt alone %.3f %%\n",
                r + 1, round.start_ms, Median(round.change_ms), round.cpu_playing * 100, round.cpu_paused * 100,
                a * 100);
    std::fflush(stdout);
  }

  std::printf("\n%-44s %9s %9s %9s\n", "", "min", "median", "max");
  Row("start to first sound", start, 1, "ms");
  Row("click on next to the new song's first frames", change, 1, "ms");
  Row("  of which click to the new song playing", to_play, 1, "ms");
  Row("CPU while playing", playing, 100, "% of one core");
  Row("libopenmpt alone, same song", alone, 100, "% of one core");
  std::vector<double> over;
  for (size_t i = 0; i < playing.size(); ++i) over.push_back(playing[i] - alone[i]);
  Row("  player minus libopenmpt (per round)", over, 100, "% of one core");
  Row("CPU while paused", paused, 100, "% of one core");
  Row("a bare loop of 10 ms sleeps (the floor)", sleeper, 100, "% of one core");
  Row("main-thread wake-ups while playing", wake_playing, 1, "per s");
  Row("main-thread wake-ups while paused", wake_paused, 1, "per s");
  Row("resident memory while playing", rss, 1, "MiB");
  Row("peak resident memory", hwm, 1, "MiB");
  return 0;
}
