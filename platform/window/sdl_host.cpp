// The SDL host: each window is a borderless SDL window, shaped through the X
// Shape extension, showing the backing store through its window surface.
// Events are read without blocking; the player pumps them every 10 ms.
#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "platform/window/hosts.h"
#include "platform/window/icon_reader.h"
#include "platform/window/text_encoding.h"
#include "platform/window/window_system.h"
#include "platform/window/x11_window.h"

namespace winsys {
namespace {

SDL_SystemCursor SdlCursorFor(int system_id) {
  switch (system_id) {
    case 32513:
      return SDL_SYSTEM_CURSOR_IBEAM;
    case 32514:
      return SDL_SYSTEM_CURSOR_WAIT;
    case 32515:
      return SDL_SYSTEM_CURSOR_CROSSHAIR;
    case 32646:
      return SDL_SYSTEM_CURSOR_SIZEALL;
    case 32648:
      return SDL_SYSTEM_CURSOR_NO;
    case 32649:
      return SDL_SYSTEM_CURSOR_HAND;
    default:
      return SDL_SYSTEM_CURSOR_ARROW;
  }
}

// Windows virtual-key codes for the keys SDL reports; 0 for keys without one.
UINT VirtualKeyFor(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return static_cast<UINT>('A' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return static_cast<UINT>('0' + (key - SDLK_0));
  if (key >= SDLK_F1 && key <= SDLK_F12) return static_cast<UINT>(VK_F1 + (key - SDLK_F1));
  switch (key) {
    case SDLK_ESCAPE:
      return VK_ESCAPE;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return VK_RETURN;
    case SDLK_SPACE:
      return VK_SPACE;
    case SDLK_TAB:
      return VK_TAB;
    case SDLK_BACKSPACE:
      return VK_BACK;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
      return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
      return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
      return VK_MENU;
    case SDLK_PAUSE:
      return VK_PAUSE;
    case SDLK_CAPSLOCK:
      return VK_CAPITAL;
    case SDLK_PAGEUP:
      return VK_PRIOR;
    case SDLK_PAGEDOWN:
      return VK_NEXT;
    case SDLK_END:
      return VK_END;
    case SDLK_HOME:
      return VK_HOME;
    case SDLK_LEFT:
      return VK_LEFT;
    case SDLK_UP:
      return VK_UP;
    case SDLK_RIGHT:
      return VK_RIGHT;
    case SDLK_DOWN:
      return VK_DOWN;
    case SDLK_INSERT:
      return VK_INSERT;
    case SDLK_DELETE:
      return VK_DELETE;
    default:
      return 0;
  }
}

// The exit status when the display goes away under the running player.
constexpr int kLostDisplayStatus = 4;

class SdlHost : public Host {
 public:
  ~SdlHost() override {
    for (auto& [window, native] : natives_) SDL_DestroyWindow(native);
    natives_.clear();
    for (auto& [id, cursor] : cursors_) SDL_FreeCursor(cursor);
    if (video_ready_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  bool CreateWindow(HWND window, const HostWindowInfo& info) override {
    if (!EnsureVideo()) return false;
    Uint32 flags = SDL_WINDOW_HIDDEN | (info.borderless ? SDL_WINDOW_BORDERLESS : 0);
    SDL_Window* native = SDL_CreateWindow(Cp1252ToUtf8(info.title).c_str(), info.x, info.y,
                                          info.width > 0 ? info.width : 1, info.height > 0 ? info.height : 1, flags);
    if (native == nullptr) {
      std::fprintf(stderr, "window system: cannot create a window: %s\n", SDL_GetError());
      return false;
    }
    // Made now, because making it may recreate the native window, which
    // would lose a shape given before.
    SDL_GetWindowSurface(native);
    if (x11_display_ == nullptr) x11_display_ = X11DisplayOf(native);
    natives_[window] = native;
    by_id_[SDL_GetWindowID(native)] = window;
    return true;
  }

  void DestroyWindow(HWND window) override {
    raise_when_shown_.erase(window);
    SDL_Window* native = Native(window);
    if (!native) return;
    by_id_.erase(SDL_GetWindowID(native));
    natives_.erase(window);
    SDL_DestroyWindow(native);
  }

  // On X11 the window is mapped and withdrawn directly: SDL would wait for
  // the window manager's answer without a time limit.
  void SetVisible(HWND window, bool visible) override {
    SDL_Window* native = Native(window);
    if (!native) return;
    if (visible) {
      if (!MapX11Window(native)) SDL_ShowWindow(native);
    } else {
      if (!WithdrawX11Window(native)) SDL_HideWindow(native);
    }
  }
  void Minimize(HWND window) override {
    if (SDL_Window* native = Native(window)) SDL_MinimizeWindow(native);
  }
  void Restore(HWND window) override {
    SDL_Window* native = Native(window);
    if (!native) return;
    // Mapping an iconified window brings it back.
    if (!MapX11Window(native)) SDL_RestoreWindow(native);
  }
  void Activate(HWND window) override {
    SDL_Window* native = Native(window);
    if (!native) return;
    // SDL raises only windows it has seen mapped; a window just mapped or
    // brought back is raised once SDL hears of it.
    if ((SDL_GetWindowFlags(native) & (SDL_WINDOW_SHOWN | SDL_WINDOW_MINIMIZED)) == SDL_WINDOW_SHOWN) {
      SDL_RaiseWindow(native);
    } else {
      raise_when_shown_[window] = true;
    }
  }
  void Move(HWND window, int x, int y) override {
    if (SDL_Window* native = Native(window)) SDL_SetWindowPosition(native, x, y);
  }
  void SetTitle(HWND window, const std::string& title) override {
    if (SDL_Window* native = Native(window)) SDL_SetWindowTitle(native, Cp1252ToUtf8(title).c_str());
  }
  void SetIcon(HWND window, const IconImage& icon) override {
    SDL_Window* native = Native(window);
    if (!native || icon.argb.empty()) return;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(icon.argb.data()), icon.width,
                                                              icon.height, 32, icon.width * 4,
                                                              SDL_PIXELFORMAT_ARGB8888);
    if (!surface) return;
    SDL_SetWindowIcon(native, surface);
    SDL_FreeSurface(surface);
  }
  void SetShape(HWND window, const std::vector<RECT>* rects) override {
    if (SDL_Window* native = Native(window)) ApplyX11Shape(native, rects);
  }
  void Present(HWND window, const uint32_t* pixels, int width, int height) override {
    SDL_Window* native = Native(window);
    if (!native) return;
    SDL_Surface* target = SDL_GetWindowSurface(native);
    if (!target) return;
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels), width, height, 32,
                                                             width * 4, SDL_PIXELFORMAT_RGB888);
    if (!source) return;
    SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
    SDL_BlitSurface(source, nullptr, target, nullptr);
    SDL_FreeSurface(source);
    SDL_UpdateWindowSurface(native);
  }

  void SetCursorShape(int system_id) override {
    // The player sets the shape on every pass; SDL is only told of changes.
    if (!video_ready_ || system_id == shown_cursor_) return;
    shown_cursor_ = system_id;
    if (system_id == 0) {
      SDL_ShowCursor(SDL_DISABLE);
      return;
    }
    SDL_Cursor*& cursor = cursors_[system_id];
    if (!cursor) cursor = SDL_CreateSystemCursor(SdlCursorFor(system_id));
    if (cursor) SDL_SetCursor(cursor);
    SDL_ShowCursor(SDL_ENABLE);
  }

  bool QueryPointer(POINT* position, bool* left_down) override {
    if (!video_ready_ || !global_pointer_) return false;
    int x = 0;
    int y = 0;
    Uint32 buttons = SDL_GetGlobalMouseState(&x, &y);
    *position = POINT{x, y};
    *left_down = (buttons & SDL_BUTTON_LMASK) != 0;
    return true;
  }

  // The player pumps on every 10 ms pass. Pumping SDL reads the X
  // connection and runs SDL's own housekeeping, which costs more than the
  // rest of an idle pass; so on X11 it is skipped while neither SDL's queue
  // nor the connection holds anything. SDL is still pumped every
  // kPumpEveryCalls calls for what it does on its own clock (focus changes
  // it defers, signals it turns into SDL_QUIT).
  void Pump() override {
    if (!video_ready_) return;
    if (x11_display_ != nullptr && ++calls_since_pump_ < kPumpEveryCalls &&
        SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 0 &&
        !X11InputPending(x11_display_)) {
      return;
    }
    calls_since_pump_ = 0;
    SDL_Event event;
    while (SDL_PollEvent(&event)) Handle(event);
  }

  bool WaitForEvent(int milliseconds) override {
    if (!video_ready_) {
      SDL_Delay(static_cast<Uint32>(milliseconds));
    } else {
      SDL_WaitEventTimeout(nullptr, milliseconds);
    }
    return true;
  }
  uint64_t Now() override { return SDL_GetTicks64(); }
  void Sleep(DWORD milliseconds) override { SDL_Delay(milliseconds); }

  SIZE ScreenSize() override {
    SDL_Rect bounds;
    if (!EnsureVideo() || SDL_GetDisplayBounds(0, &bounds) != 0) return SIZE{0, 0};
    return SIZE{bounds.w, bounds.h};
  }

  int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override {
    SDL_MessageBoxButtonData buttons[3];
    int count = 0;
    auto add = [&](int id, const char* label) { buttons[count++] = SDL_MessageBoxButtonData{0, id, label}; };
    int on_close = IDOK;
    switch (type & 0x0F) {
      case MB_OKCANCEL:
        add(IDOK, "OK");
        add(IDCANCEL, "Cancel");
        on_close = IDCANCEL;
        break;
      case MB_YESNOCANCEL:
        add(IDYES, "Yes");
        add(IDNO, "No");
        add(IDCANCEL, "Cancel");
        on_close = IDCANCEL;
        break;
      case MB_YESNO:
        add(IDYES, "Yes");
        add(IDNO, "No");
        on_close = IDNO;
        break;
      default:
        add(IDOK, "OK");
        break;
    }
    buttons[0].flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    for (int i = 0; i < count; ++i) {
      if (buttons[i].buttonid == on_close) buttons[i].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    }
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    switch (type & 0xF0) {
      case MB_ICONHAND:
        flags = SDL_MESSAGEBOX_ERROR;
        break;
      case MB_ICONEXCLAMATION:
        flags = SDL_MESSAGEBOX_WARNING;
        break;
      default:
        break;
    }
    std::string utf8_text = Cp1252ToUtf8(text);
    std::string utf8_caption = Cp1252ToUtf8(caption);
    SDL_MessageBoxData data{flags, Native(owner), utf8_caption.c_str(), utf8_text.c_str(), count, buttons, nullptr};
    int chosen = -1;
    if (SDL_ShowMessageBox(&data, &chosen) != 0) {
      // No display to show it on: the text must not be lost.
      std::fprintf(stderr, "%s: %s\n", utf8_caption.c_str(), utf8_text.c_str());
      return 0;
    }
    return chosen < 0 ? on_close : chosen;
  }

 private:
  bool EnsureVideo() {
    if (video_ready_) return true;
    if (video_failed_) return false;
    // Window surfaces drawn by the X server itself: an accelerated one would
    // recreate the native window behind the shape's back.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      std::fprintf(stderr, "window system: cannot open the display: %s\n", SDL_GetError());
      video_failed_ = true;
      return false;
    }
    video_ready_ = true;
    const char* driver = SDL_GetCurrentVideoDriver();
    global_pointer_ = driver != nullptr && std::strcmp(driver, "x11") == 0;
    if (global_pointer_) InstallX11ErrorHandlers(kLostDisplayStatus);
    SDL_StopTextInput();
    return true;
  }

  SDL_Window* Native(HWND window) {
    auto it = natives_.find(window);
    return it == natives_.end() ? nullptr : it->second;
  }

  HWND FromId(Uint32 id) {
    auto it = by_id_.find(id);
    return it == by_id_.end() ? nullptr : it->second;
  }

  // Screen position of a pointer event: its position in the window, which
  // is exact for the moment it happened, plus where the window system placed
  // the window. Only the move loop, which moves the window under the pointer,
  // asks for the live position instead (QueryPointer).
  POINT PointerPosition(Uint32 window_id, int x, int y) {
    if (Window* w = Lookup(FromId(window_id))) return POINT{w->x + x, w->y + y};
    if (global_pointer_) {
      int gx = 0;
      int gy = 0;
      SDL_GetGlobalMouseState(&gx, &gy);
      return POINT{gx, gy};
    }
    return POINT{x, y};
  }

  static int ButtonIndex(Uint8 button) {
    switch (button) {
      case SDL_BUTTON_LEFT:
        return 0;
      case SDL_BUTTON_RIGHT:
        return 1;
      case SDL_BUTTON_MIDDLE:
        return 2;
      default:
        return -1;
    }
  }

  void Handle(const SDL_Event& event) {
    InputEvent input;
    switch (event.type) {
      case SDL_MOUSEMOTION:
        input.kind = InputEvent::Kind::kPointerMove;
        input.pos = PointerPosition(event.motion.windowID, event.motion.x, event.motion.y);
        NotifyInput(input);
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        input.button = ButtonIndex(event.button.button);
        if (input.button < 0) break;
        input.kind = event.type == SDL_MOUSEBUTTONDOWN ? InputEvent::Kind::kButtonDown : InputEvent::Kind::kButtonUp;
        input.pos = PointerPosition(event.button.windowID, event.button.x, event.button.y);
        NotifyInput(input);
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        input.vk = VirtualKeyFor(event.key.keysym.sym);
        if (input.vk == 0) break;
        input.kind = event.type == SDL_KEYDOWN ? InputEvent::Kind::kKeyDown : InputEvent::Kind::kKeyUp;
        input.repeat = event.key.repeat != 0;
        input.target = FromId(event.key.windowID);
        NotifyInput(input);
        break;
      case SDL_WINDOWEVENT:
        HandleWindowEvent(event.window);
        break;
      case SDL_QUIT:
        // A signal such as SIGINT or SIGTERM: close every window, as if the
        // user had asked, so that the program stops in order.
        NotifyQuitRequest();
        break;
      default:
        break;
    }
  }

  void HandleWindowEvent(const SDL_WindowEvent& event) {
    HWND window = FromId(event.windowID);
    if (!window) return;
    switch (event.event) {
      case SDL_WINDOWEVENT_CLOSE:
        NotifyCloseRequest(window);
        break;
      case SDL_WINDOWEVENT_FOCUS_GAINED:
        NotifyFocus(window, true, false);
        break;
      case SDL_WINDOWEVENT_FOCUS_LOST:
        NotifyFocus(window, false, false);
        break;
      case SDL_WINDOWEVENT_MINIMIZED:
        NotifyMinimized(window, true);
        break;
      case SDL_WINDOWEVENT_SHOWN:
        RaiseIfAsked(window);
        break;
      case SDL_WINDOWEVENT_RESTORED:
      case SDL_WINDOWEVENT_MAXIMIZED:
        NotifyMinimized(window, false);
        RaiseIfAsked(window);
        break;
      case SDL_WINDOWEVENT_EXPOSED:
        NotifyExposed(window);
        break;
      case SDL_WINDOWEVENT_MOVED:
        if (global_pointer_) NotifyMoved(window, event.data1, event.data2);
        break;
      default:
        break;
    }
  }

  void RaiseIfAsked(HWND window) {
    auto it = raise_when_shown_.find(window);
    if (it == raise_when_shown_.end()) return;
    raise_when_shown_.erase(it);
    // Still the window the program wants active?
    if (S().active != window) return;
    if (SDL_Window* native = Native(window)) SDL_RaiseWindow(native);
  }

  std::unordered_map<HWND, bool> raise_when_shown_;
  std::unordered_map<HWND, SDL_Window*> natives_;
  std::unordered_map<Uint32, HWND> by_id_;
  std::unordered_map<int, SDL_Cursor*> cursors_;
  static constexpr int kPumpEveryCalls = 10;

  bool video_ready_ = false;
  bool video_failed_ = false;
  bool global_pointer_ = false;
  int shown_cursor_ = -1;
  void* x11_display_ = nullptr;  // once a window exists on X11
  int calls_since_pump_ = 0;
};

}  // namespace
}  // namespace winsys

void UseSdlHost() { winsys::ResetState(std::make_unique<winsys::SdlHost>()); }
