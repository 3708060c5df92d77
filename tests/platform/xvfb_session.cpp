#include "tests/platform/xvfb_session.h"

#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace window_test {
namespace {

bool OnPath(const char* program) {
  return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

void StopProcess(pid_t* pid) {
  if (*pid <= 0) return;
  kill(*pid, SIGTERM);
  int status = 0;
  for (int i = 0; i < 50; ++i) {
    if (waitpid(*pid, &status, WNOHANG) == *pid) {
      *pid = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(*pid, SIGKILL);
  waitpid(*pid, &status, 0);
  *pid = -1;
}

}  // namespace

std::string Output(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

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
  if (!OnPath("Xvfb")) {
    *why = "Xvfb is not installed";
    return false;
  }
  int fds[2];
  if (pipe(fds) != 0) {
    *why = "no pipe for Xvfb";
    return false;
  }
  xvfb_ = fork();
  if (xvfb_ == 0) {
    close(fds[0]);
    std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  // Xvfb writes its display number once it accepts clients.
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  while (number.find('\n') == std::string::npos && poll(&p, 1, 10000) > 0) {
    char c[16];
    ssize_t n = read(fds[0], c, sizeof c);
    if (n <= 0) break;
    number.append(c, static_cast<size_t>(n));
  }
  close(fds[0]);
  if (number.find('\n') == std::string::npos) {
    StopProcess(&xvfb_);
    *why = "Xvfb did not start";
    return false;
  }
  display_ = ":" + number.substr(0, number.find('\n'));
  setenv("DISPLAY", display_.c_str(), 1);

  if (OnPath("openbox")) {
    for (int attempt = 0; attempt < 3 && !StartWindowManager(); ++attempt) StopProcess(&wm_);
  }
  return true;
}

bool XvfbSession::StartWindowManager() {
  char log_name[] = "/tmp/openbox-log-XXXXXX";
  int log = mkstemp(log_name);
  wm_ = fork();
  if (wm_ == 0) {
    if (log >= 0) {
      dup2(log, STDOUT_FILENO);
      dup2(log, STDERR_FILENO);
    }
    execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
    _exit(127);
  }
  if (log >= 0) close(log);
  bool up = false;
  for (int i = 0; i < 100 && !up; ++i) {
    int status = 0;
    if (waitpid(wm_, &status, WNOHANG) == wm_) {
      wm_ = -1;
      std::fprintf(stderr, "openbox stopped at once:\n%s", Output(std::string("cat ") + log_name).c_str());
      break;
    }
    up = Output("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null").find("window id") != std::string::npos;
    if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  unlink(log_name);
  if (!up) return false;
  // openbox announces itself before it handles map requests, and one that
  // arrives in between is lost; it is ready once it has framed a probe.
  Output("probe() { xmessage -name wm-probe -timeout 10 probe & p=$!; "
         "for i in $(seq 100); do xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -q '0x' && break; sleep 0.05; done; "
         "kill $p; wait $p; }; probe >/dev/null 2>&1");
  return true;
}

void XvfbSession::Stop() {
  StopProcess(&wm_);
  StopProcess(&xvfb_);
}

}  // namespace window_test
