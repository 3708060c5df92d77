// The modal move loop that DefWindowProcA runs for a press on the caption:
// the window follows the pointer, keeping the grab point under it, until the
// left button is released.
#include "platform/window/window_system.h"

namespace winsys {
namespace {

bool IsPointer(const InputEvent& e) {
  return e.kind == InputEvent::Kind::kPointerMove || e.kind == InputEvent::Kind::kButtonDown ||
         e.kind == InputEvent::Kind::kButtonUp;
}

// Takes queued pointer input up to and including the release of the left
// button; keys stay queued for the program. True when anything was taken.
bool TakePointerInput(POINT* position, bool* released) {
  auto& input = S().input;
  bool taken = false;
  for (auto it = input.begin(); it != input.end();) {
    if (!IsPointer(*it)) {
      ++it;
      continue;
    }
    InputEvent e = *it;
    it = input.erase(it);
    taken = true;
    ConsumeInput(e);
    *position = e.pos;
    if (e.kind == InputEvent::Kind::kButtonUp && e.button == 0) {
      *released = true;
      break;
    }
  }
  return taken;
}

}  // namespace

LRESULT RunMoveLoop(HWND window) {
  State& s = S();
  Window* w = Lookup(window);
  if (!w || !w->visible || w->minimized) return 0;
  // The grab point is where the button went down: the position of the
  // message that started the drag.
  POINT pointer = s.message_pos;
  const POINT grab{pointer.x - w->x, pointer.y - w->y};
  bool released = false;
  bool released_by_event = false;
  ++s.move_loop_depth;
  while (!released) {
    s.host->Pump();
    Tick();
    if (!Lookup(window)) break;
    bool taken = TakePointerInput(&pointer, &released);
    released_by_event = released;
    // Where the host can tell, the pointer's live position leads: queued
    // events were placed against where the window was, not where it is now.
    POINT live;
    bool left_down = false;
    if (s.host->QueryPointer(&live, &left_down)) {
      pointer = live;
      released = released || !left_down;
    } else if (!released && !taken && !s.host->WaitForEvent(0)) {
      // A scripted host with nothing more to say: the drag ends here.
      released = true;
    }
    MoveWindowTo(window, pointer.x - grab.x, pointer.y - grab.y);
    if (!released) s.host->WaitForEvent(10);
  }
  if (released && !released_by_event) {
    // The host saw the release before its event arrived; the release belongs
    // to the drag, so it does not reach the program afterwards.
    s.host->Pump();
    POINT ignored = pointer;
    bool ignored_release = false;
    TakePointerInput(&ignored, &ignored_release);
  }
  --s.move_loop_depth;
  s.cursor_pos = pointer;
  return 0;
}

}  // namespace winsys
