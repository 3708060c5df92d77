// The headless host: native events come from the script in headless.h, and
// what the window system asks of the host is recorded for tests to read.
#include <deque>
#include <functional>
#include <map>

#include "platform/window/headless.h"
#include "platform/window/icon_reader.h"
#include "platform/window/window_system.h"

namespace winsys {
namespace {

class HeadlessHost;
HeadlessHost* current = nullptr;

std::string Position(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }

class HeadlessHost : public Host {
 public:
  HeadlessHost() { current = this; }
  ~HeadlessHost() override {
    if (current == this) current = nullptr;
  }

  bool CreateWindow(HWND window, const HostWindowInfo& info) override {
    if (refuse_windows) {
      Log("create refused");
      return false;
    }
    headless::WindowRecord& r = records[window];
    r = headless::WindowRecord{};
    r.exists = true;
    r.title = info.title;
    r.x = info.x;
    r.y = info.y;
    r.width = info.width;
    r.height = info.height;
    Log("create " + Position(info.x, info.y) + " " + std::to_string(info.width) + "x" +
        std::to_string(info.height));
    return true;
  }
  void DestroyWindow(HWND window) override {
    if (auto* r = Find(window)) {
      r->exists = false;
      r->visible = false;
      r->focused = false;
    }
    if (focused == window) focused = nullptr;
    Log("destroy");
  }
  void SetVisible(HWND window, bool visible) override {
    if (auto* r = Find(window)) r->visible = visible;
    Log(visible ? "show" : "hide");
  }
  void Minimize(HWND window) override {
    auto* r = Find(window);
    if (!r) return;
    r->minimized = true;
    Log("minimize");
    // The window manager confirms, as X11 would, after the fact.
    bool had_focus = focused == window;
    SetFocused(nullptr);
    Later([window, had_focus] {
      NotifyMinimized(window, true);
      if (had_focus) NotifyFocus(window, false, false);
    });
  }
  void Restore(HWND window) override {
    auto* r = Find(window);
    if (!r) return;
    r->minimized = false;
    Log("restore");
    Later([window] { NotifyMinimized(window, false); });
  }
  void Activate(HWND window) override {
    SetFocused(window);
    Log("activate");
  }
  void Move(HWND window, int x, int y) override {
    if (auto* r = Find(window)) {
      r->x = x;
      r->y = y;
    }
    Log("move " + Position(x, y));
  }
  void SetTitle(HWND window, const std::string& title) override {
    if (auto* r = Find(window)) r->title = title;
    Log("title " + title);
  }
  void SetIcon(HWND window, const IconImage& icon) override {
    if (auto* r = Find(window)) {
      r->has_icon = true;
      r->icon = icon.argb;
    }
    Log("icon");
  }
  void SetShape(HWND window, const std::vector<RECT>* rects) override {
    if (auto* r = Find(window)) {
      r->shaped = rects != nullptr;
      r->shape = rects ? *rects : std::vector<RECT>();
    }
    Log(rects ? "shape " + std::to_string(rects->size()) : "shape none");
  }
  void Present(HWND window, const uint32_t* pixels, int width, int height) override {
    if (auto* r = Find(window)) {
      r->frames++;
      r->frame_width = width;
      r->frame_height = height;
      r->frame.assign(pixels, pixels + static_cast<size_t>(width) * height);
    }
    Log("present");
  }

  void SetCursorShape(int system_id) override {
    cursor_shape = system_id;
    cursor_changes++;
    Log("cursor " + std::to_string(system_id));
  }
  bool QueryPointer(POINT*, bool*) override { return false; }

  void Pump() override {
    // Run what is queued now; notices queued while running wait for the next pump.
    std::deque<std::function<void()>> batch;
    batch.swap(pending);
    for (auto& step : batch) step();
  }
  bool WaitForEvent(int) override { return !pending.empty(); }
  uint64_t Now() override { return clock; }
  void Sleep(DWORD milliseconds) override { clock += milliseconds; }
  SIZE ScreenSize() override { return SIZE{1024, 768}; }
  int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override {
    boxes.push_back(headless::MessageBoxRecord{owner, text, caption, type});
    Log("messagebox " + caption + ": " + text);
    return IDOK;
  }

  void Later(std::function<void()> step) { pending.push_back(std::move(step)); }
  void SetFocused(HWND window) {
    if (auto* r = Find(focused)) r->focused = false;
    focused = window;
    if (auto* r = Find(focused)) r->focused = true;
  }
  headless::WindowRecord* Find(HWND window) {
    auto it = records.find(window);
    return it == records.end() ? nullptr : &it->second;
  }
  void Log(std::string line) { log.push_back(std::move(line)); }

  std::map<HWND, headless::WindowRecord> records;
  std::deque<std::function<void()>> pending;
  std::vector<headless::MessageBoxRecord> boxes;
  std::vector<std::string> log;
  HWND focused = nullptr;
  bool refuse_windows = false;
  uint64_t clock = 0;
  int cursor_shape = 0;
  int cursor_changes = 0;
  POINT script_pointer{};
};

void Queue(std::function<void()> step) {
  if (current) current->Later(std::move(step));
}

void QueueInput(InputEvent::Kind kind, int button = 0, UINT vk = 0) {
  if (!current) return;
  InputEvent e;
  e.kind = kind;
  e.pos = current->script_pointer;
  e.button = button;
  e.vk = vk;
  Queue([e] { NotifyInput(e); });
}

}  // namespace

std::unique_ptr<Host> MakeHeadlessHost() { return std::make_unique<HeadlessHost>(); }

}  // namespace winsys

namespace headless {

using winsys::current;
using winsys::InputEvent;

void MovePointer(int x, int y) {
  if (!current) return;
  current->script_pointer = POINT{x, y};
  winsys::QueueInput(InputEvent::Kind::kPointerMove);
}

void PressButton(int button) { winsys::QueueInput(InputEvent::Kind::kButtonDown, button); }
void ReleaseButton(int button) { winsys::QueueInput(InputEvent::Kind::kButtonUp, button); }

void Click(int x, int y) {
  MovePointer(x, y);
  PressButton(0);
  ReleaseButton(0);
}

void Drag(int from_x, int from_y, int to_x, int to_y) {
  MovePointer(from_x, from_y);
  PressButton(0);
  MovePointer(to_x, to_y);
  ReleaseButton(0);
}

// Keys go to the window that has the host's focus when they are delivered.
void KeyDown(UINT vk) { winsys::QueueInput(InputEvent::Kind::kKeyDown, 0, vk); }
void KeyUp(UINT vk) { winsys::QueueInput(InputEvent::Kind::kKeyUp, 0, vk); }
void PressKey(UINT vk) {
  KeyDown(vk);
  KeyUp(vk);
}

void RefuseWindowCreation(bool refuse) {
  if (winsys::current) winsys::current->refuse_windows = refuse;
}

void ActivateOtherWindow() {
  winsys::Queue([] {
    if (!current || !current->focused) return;
    HWND window = current->focused;
    current->SetFocused(nullptr);
    winsys::NotifyFocus(window, false, true);
  });
}

void ActivateWindow(HWND window) {
  winsys::Queue([window] {
    if (!current) return;
    current->SetFocused(window);
    winsys::NotifyFocus(window, true, false);
  });
}

void MinimizeByWindowManager(HWND window, MinimizeOrder order) {
  winsys::Queue([window, order] {
    if (!current) return;
    bool had_focus = current->focused == window;
    if (auto* r = current->Find(window)) r->minimized = true;
    if (had_focus) current->SetFocused(nullptr);
    if (order == MinimizeOrder::kFocusLossFirst && had_focus) winsys::NotifyFocus(window, false, false);
    winsys::NotifyMinimized(window, true);
    if (order == MinimizeOrder::kMinimizeFirst && had_focus) winsys::NotifyFocus(window, false, false);
  });
}

void RestoreByWindowManager(HWND window) {
  winsys::Queue([window] {
    if (!current) return;
    if (auto* r = current->Find(window)) r->minimized = false;
    current->SetFocused(window);
    winsys::NotifyMinimized(window, false);
    winsys::NotifyFocus(window, true, false);
  });
}

void CloseByWindowManager(HWND window) {
  winsys::Queue([window] { winsys::NotifyCloseRequest(window); });
}

void NoticeFocusLost(HWND window) {
  winsys::Queue([window] {
    if (current && current->focused == window) current->SetFocused(nullptr);
    winsys::NotifyFocus(window, false, false);
  });
}

void NoticeFocusGained(HWND window) {
  winsys::Queue([window] {
    if (current) current->SetFocused(window);
    winsys::NotifyFocus(window, true, false);
  });
}

void NoticeMinimized(HWND window) {
  winsys::Queue([window] {
    if (!current) return;
    if (auto* r = current->Find(window)) r->minimized = true;
    winsys::NotifyMinimized(window, true);
  });
}

void NoticeRestored(HWND window) {
  winsys::Queue([window] {
    if (!current) return;
    if (auto* r = current->Find(window)) r->minimized = false;
    winsys::NotifyMinimized(window, false);
  });
}

void AdvanceClock(uint64_t milliseconds) {
  if (current) current->clock += milliseconds;
}

uint64_t Clock() { return current ? current->clock : 0; }

const WindowRecord* Record(HWND window) { return current ? current->Find(window) : nullptr; }

int CursorShape() { return current ? current->cursor_shape : 0; }
int CursorChanges() { return current ? current->cursor_changes : 0; }

const std::vector<MessageBoxRecord>& MessageBoxes() {
  static const std::vector<MessageBoxRecord> none;
  return current ? current->boxes : none;
}

const std::vector<std::string>& CallLog() {
  static const std::vector<std::string> none;
  return current ? current->log : none;
}

void ClearCallLog() {
  if (current) current->log.clear();
}

}  // namespace headless
