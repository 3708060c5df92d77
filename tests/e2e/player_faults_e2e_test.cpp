// The real player binary on a virtual X server when its audio output cannot
// be opened: the message box appears on the X server before any window of
// the player, waits for the user, and the process then ends with status 1.
// Runs under scripts/with-xvfb, which sets DISPLAY.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

// After gtest, whose names (None, Bool) Xlib's macros would replace.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

using namespace std::chrono_literals;

std::string Shell(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

pid_t Spawn(const std::string& program, const std::vector<std::string>& env) {
  pid_t pid = fork();
  if (pid == 0) {
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// The exit status once the process has ended; -1000 while it runs on past `limit`.
int WaitExit(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  do {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    std::this_thread::sleep_for(50ms);
  } while (std::chrono::steady_clock::now() < deadline);
  return -1000;
}

// Windows come and go while the tree is walked (the window manager's frames,
// the message box's own helpers); a request about one that is already gone
// fails with BadWindow, and Xlib's default handler would end the test
// process for it. Such a window simply does not match.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

// Windows are found by title through Xlib: SDL titles its message boxes in
// UTF-8 only (_NET_WM_NAME, and WM_NAME of type UTF8_STRING), which
// `xdotool search --name` does not read.
class Screen {
 public:
  Screen() : display_(XOpenDisplay(nullptr)) { XSetErrorHandler(IgnoreXError); }
  ~Screen() {
    if (display_) XCloseDisplay(display_);
  }
  bool ok() const { return display_ != nullptr; }

  // A viewable window anywhere in the tree with this title, or 0.
  Window Find(const std::string& title) { return Search(DefaultRootWindow(display_), title); }

  std::string AtomProperty(Window window, const char* name) {
    std::string value = Property(window, name, XA_ATOM);
    if (value.size() < sizeof(Atom)) return "";
    Atom atom = 0;
    std::memcpy(&atom, value.data(), sizeof atom);
    char* atom_name = XGetAtomName(display_, atom);
    std::string result = atom_name ? atom_name : "";
    if (atom_name) XFree(atom_name);
    return result;
  }

 private:
  std::string Property(Window window, const char* name, Atom type) {
    Atom actual_type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::string value;
    if (XGetWindowProperty(display_, window, XInternAtom(display_, name, False), 0, 1024, False, type, &actual_type,
                           &format, &items, &after, &data) == Success &&
        data != nullptr) {
      value.assign(reinterpret_cast<char*>(data), items * (format / 8 == 4 ? sizeof(long) : format / 8));
    }
    if (data) XFree(data);
    return value;
  }

  std::string Title(Window window) {
    std::string title = Property(window, "_NET_WM_NAME", AnyPropertyType);
    return title.empty() ? Property(window, "WM_NAME", AnyPropertyType) : title;
  }

  Window Search(Window window, const std::string& title) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display_, window, &attributes) && attributes.map_state == IsViewable &&
        Title(window) == title) {
      return window;
    }
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (XQueryTree(display_, window, &root, &parent, &children, &count)) {
      for (unsigned int i = 0; i < count && found == 0; ++i) found = Search(children[i], title);
      if (children) XFree(children);
    }
    return found;
  }

  Display* display_;
};

class PlayerFaultsEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display (run under scripts/with-xvfb)";
    ASSERT_TRUE(screen_.ok());
  }
  void TearDown() override {
    if (player_ > 0 && kill(player_, 0) == 0) {
      kill(player_, SIGKILL);
      waitpid(player_, nullptr, 0);
    }
  }

  Window WaitForWindow(const std::string& title, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
      if (Window w = screen_.Find(title)) return w;
      std::this_thread::sleep_for(100ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return 0;
  }

  Screen screen_;
  pid_t player_ = -1;
};

TEST_F(PlayerFaultsEndToEnd, WithoutAudioTheMessageBoxWaitsForTheUserAndTheStatusIsOne) {
  player_ = Spawn(std::string(QUARB_BIN_DIR) + "/quarb", {"SDL_AUDIODRIVER=no-such-driver"});
  const Window box = WaitForWindow("Oh my...", 20s);
  ASSERT_NE(box, 0u) << "no message box titled \"Oh my...\" appeared";
  EXPECT_EQ(screen_.AtomProperty(box, "_NET_WM_WINDOW_TYPE"), "_NET_WM_WINDOW_TYPE_DIALOG");
  EXPECT_EQ(screen_.Find("QUARB II"), 0u) << "the message comes before any window of the player";

  // The player waits for the box to be dismissed.
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(WaitExit(player_, 0ms), -1000) << "the player ended while its message was up";

  // Return presses the box's only button, OK.
  const std::string id = std::to_string(box);
  Shell("xdotool windowactivate --sync " + id + " >/dev/null 2>&1");
  Shell("xdotool key Return");
  EXPECT_EQ(WaitExit(player_, 10s), 1);
  player_ = -1;
  EXPECT_EQ(screen_.Find("Oh my..."), 0u) << "the box is gone";
  EXPECT_EQ(screen_.Find("QUARB II"), 0u) << "and no window of the player was ever made";
}

}  // namespace
