#include "tests/platform/xvfb_session.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "tests/support/process.h"

namespace window_test {

using namespace std::chrono_literals;
using test_process::Shell;

bool RequestClose(const std::string& window_id) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = static_cast<::Window>(std::strtoul(window_id.c_str(), nullptr, 16));
  event.xclient.message_type = XInternAtom(display, "_NET_CLOSE_WINDOW", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = CurrentTime;
  event.xclient.data.l[1] = 2;  // from a pager
  Status sent = XSendEvent(display, DefaultRootWindow(display), False,
                           SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XCloseDisplay(display);
  return sent != 0;
}

bool XvfbSession::Start(std::string* why) {
  const test_process::XServer server = test_process::StartXvfb(why);
  if (server.pid < 0) return false;
  xvfb_ = server.pid;
  display_ = server.display;
  setenv("DISPLAY", display_.c_str(), 1);

  if (test_process::OnPath("openbox")) {
    for (int attempt = 0; attempt < 3 && !StartWindowManager(); ++attempt) test_process::Stop(wm_);
  }
  return true;
}

bool XvfbSession::StartWindowManager() {
  // Its output goes to a log, shown when it stops at once.
  char log_name[] = "/tmp/openbox-log-XXXXXX";
  const int log = mkstemp(log_name);
  if (log >= 0) {
    close(log);
    wm_ = test_process::Spawn({"/bin/sh", "-c", "exec openbox --sm-disable >\"$0\" 2>&1", log_name}, {});
  } else {
    wm_ = test_process::Spawn({"openbox", "--sm-disable"}, {});
  }
  bool up = false;
  for (int i = 0; i < 100 && !up && wm_ > 0; ++i) {
    const int status = test_process::WaitExit(wm_, 0ms);
    if (status != test_process::kStillRunning) {
      wm_ = -1;
      std::ifstream in(log_name);
      const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      std::fprintf(stderr, "openbox stopped at once (status %d):\n%s", status, text.c_str());
      break;
    }
    up = Shell("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null").find("window id") != std::string::npos;
    if (!up) std::this_thread::sleep_for(50ms);
  }
  if (log >= 0) unlink(log_name);
  if (!up) return false;
  // openbox announces itself before it handles map requests, and one that
  // arrives in between is lost; it is ready once it has framed a probe.
  Shell("probe() { xmessage -name wm-probe -timeout 10 probe & p=$!; "
        "for i in $(seq 100); do xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -q '0x' && break; sleep 0.05; done; "
        "kill $p; wait $p; }; probe >/dev/null 2>&1");
  return true;
}

void XvfbSession::Stop() {
  test_process::Stop(wm_);
  test_process::Stop(xvfb_);
}

}  // namespace window_test
