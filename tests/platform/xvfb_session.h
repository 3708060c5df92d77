// A virtual X server of the test's own, with the openbox window manager,
// for tests of the SDL host. Xvfb picks a free display number itself.
#pragma once

#include <string>
#include <sys/types.h>

namespace window_test {

class XvfbSession {
 public:
  XvfbSession() = default;
  XvfbSession(const XvfbSession&) = delete;
  XvfbSession& operator=(const XvfbSession&) = delete;
  ~XvfbSession() { Stop(); }

  // Starts Xvfb (1024x768x24) and openbox and points DISPLAY at them. False,
  // with the reason, when no X server can be started here.
  bool Start(std::string* why);
  void Stop();
  const std::string& display() const { return display_; }

 private:
  bool StartWindowManager();

  pid_t xvfb_ = -1;
  pid_t wm_ = -1;
  std::string display_;
};

// Asks the window manager to close a window (id as "0x..."), the way a
// taskbar or pager does.
bool RequestClose(const std::string& window_id);

}  // namespace window_test
