// The main loop's pace under a storm of input: the player as shipped, on the
// headless host with the real playback layer (SDL's disk driver writing to
// /dev/null unless SDL_AUDIODRIVER says otherwise), driven through
//   - idle passes,
//   - a thousand hotspot clicks (previous, play, pause and next in turn),
//   - a thousand activation changes (another program, then the player),
//   - idle passes again.
// Each pass is timed without its Sleep(10) (the headless host's sleep is
// virtual), so a pass takes 10 ms plus the work printed here. GDI objects,
// loaded musics and resident memory are compared before and after.
//
//   loop_pace [--clicks N] [--activations N] [--idle N]
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/shell_state.h"
#include "app/startup.h"
#include "app/transport.h"
#include "platform/gdi/gdi_internal.h"
#include "platform/resources.h"
#include "platform/window/headless.h"
#include "platform/window/hosts.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<double> work_us;  // of the current phase

void TimedPass() {
  const auto t0 = Clock::now();
  MainLoopPass();
  work_us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5))];
}

void Report(const char* phase) {
  std::printf("%-34s %7zu %10.1f %10.1f %10.1f\n", phase, work_us.size(), Percentile(work_us, 0.5),
              Percentile(work_us, 0.99), Percentile(work_us, 1.0));
  work_us.clear();
}

// Bytes the allocator has handed out and not had back.
size_t HeapInUse() { return mallinfo2().uordblks; }

long ResidentKb() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

POINT HotspotCentre(Hotspot hotspot) {
  const RECT& r = kHotspotRects[static_cast<int>(hotspot)];
  const headless::WindowRecord* w = headless::Record(main_window);
  return POINT{w->x + (r.left + r.right) / 2, w->y + (r.top + r.bottom) / 2};
}

}  // namespace

int main(int argc, char** argv) {
  int clicks = 1000, activations = 1000, idle = 2000;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--clicks")) clicks = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--activations")) activations = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--idle")) idle = std::atoi(argv[i + 1]);
  }
  if (argc % 2 == 0 || clicks < 0 || activations < 0 || idle < 1) {
    std::fprintf(stderr, "usage: loop_pace [--clicks N] [--activations N] [--idle N]\n");
    return 2;
  }
  setenv("SDL_AUDIODRIVER", "disk", 0);
  setenv("SDL_DISKAUDIOFILE", "/dev/null", 0);

  UseHeadlessHost();
  size_t count = 0;
  const ResourceEntry* table = EmbeddedResourceTable(&count);
  // Start-up unscrambles the archive image in place: give it a copy.
  std::vector<std::vector<uint8_t>> copies;
  std::vector<ResourceEntry> entries(table, table + count);
  for (ResourceEntry& e : entries) {
    copies.emplace_back(e.bytes, e.bytes + e.size);
    e.bytes = copies.back().data();
  }
  InstallResourceTable(entries.data(), entries.size());
  int status = 0;
  if (!StartUp(GetModuleHandleA(nullptr), &status)) {
    std::fprintf(stderr, "loop_pace: the player did not start (status %d)\n", status);
    return 1;
  }

  // Room for every timing up front, so the heap figures below are the player's.
  work_us.reserve(static_cast<size_t>(std::max({3 * clicks, 2 * activations, idle})));
  std::printf("work per main-loop pass, without its Sleep(10)\n");
  std::printf("%-34s %7s %10s %10s %10s\n", "phase", "passes", "median us", "p99 us", "max us");
  for (int i = 0; i < idle; ++i) TimedPass();
  Report("idle, playing");

  // Every click is a press and a release on the hotspot, handled in the
  // passes that follow, as a user would click. One round of the four before
  // the counts are taken leaves the player in the state every later round
  // ends in (the same song loaded), so the counts compare like with like.
  const Hotspot order[] = {Hotspot::kPrevious, Hotspot::kPlay, Hotspot::kPause, Hotspot::kNext};
  auto click = [&](int i, bool timed) {
    const POINT p = HotspotCentre(order[i % 4]);
    headless::Click(p.x, p.y);
    for (int pass = 0; pass < 3; ++pass) timed ? TimedPass() : MainLoopPass();
    headless::ClearCallLog();  // the test host's own record, not the player's memory
  };
  for (int i = 0; i < 4; ++i) click(i, false);
  const size_t gdi_before = gdi_internal::LiveObjectCount();
  const long rss_before = ResidentKb();
  const size_t heap_before = HeapInUse();

  for (int i = 0; i < clicks; ++i) click(i, true);
  Report("clicks on the transport hotspots");
  if (paused) {  // an odd number of pause clicks: play on for the rest
    const POINT p = HotspotCentre(Hotspot::kPause);
    headless::Click(p.x, p.y);
    for (int pass = 0; pass < 3; ++pass) MainLoopPass();
  }

  for (int i = 0; i < activations; ++i) {
    if (i % 2 == 0)
      headless::ActivateOtherWindow();
    else
      headless::ActivateWindow(main_window);
    for (int pass = 0; pass < 2; ++pass) TimedPass();
    headless::ClearCallLog();
  }
  Report("activation changes");
  if (inactive) {
    headless::ActivateWindow(main_window);
    for (int pass = 0; pass < 2; ++pass) MainLoopPass();
  }

  for (int i = 0; i < idle; ++i) TimedPass();
  Report("idle again, playing");
  const size_t gdi_after = gdi_internal::LiveObjectCount();
  const long rss_after = ResidentKb();
  const size_t heap_after = HeapInUse();

  std::printf("\nGDI objects alive: %zu before the storm, %zu after\n", gdi_before, gdi_after);
  std::printf("heap in use: %zu bytes before the storm, %zu after\n", heap_before, heap_after);
  std::printf("resident memory: %ld KiB before the storm, %ld KiB after\n", rss_before, rss_after);

  DestroyWindow(main_window);
  RunMainLoop();
  return ShutDown();
}
