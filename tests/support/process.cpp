#include "tests/support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

extern char** environ;

namespace test_process {
namespace {

using Clock = std::chrono::steady_clock;

// This process's environment with `changes` made (see Spawn).
std::vector<std::string> ChangedEnvironment(const std::vector<std::string>& changes) {
  std::vector<std::string> out;
  for (char** e = environ; *e != nullptr; ++e) out.emplace_back(*e);
  for (const std::string& change : changes) {
    const size_t eq = change.find('=');
    const std::string prefix = change.substr(0, eq) + "=";
    std::erase_if(out, [&prefix](const std::string& e) { return e.starts_with(prefix); });
    if (eq != std::string::npos) out.push_back(change);
  }
  return out;
}

// The strings as a null-terminated array for exec.
std::vector<char*> Pointers(const std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (const std::string& s : strings) out.push_back(const_cast<char*>(s.c_str()));
  out.push_back(nullptr);
  return out;
}

// Starts argv with `env` changed. In the child each (from, to) of `moves` is
// duplicated onto `to`, and `keep` (when not -1) stays open across exec.
// Everything is made ready before fork: a child of a program with threads
// may only make async-signal-safe calls.
pid_t Launch(const std::vector<std::string>& argv, const std::vector<std::string>& env,
             const std::vector<std::pair<int, int>>& moves = {}, int keep = -1) {
  if (argv.empty()) return -1;
  const std::vector<std::string> environment = ChangedEnvironment(env);
  std::vector<char*> args = Pointers(argv);
  std::vector<char*> envp = Pointers(environment);
  const pid_t pid = fork();
  if (pid == 0) {
    for (const auto& [from, to] : moves) {
      if (from == to)
        fcntl(to, F_SETFD, 0);
      else
        dup2(from, to);
    }
    if (keep >= 0) fcntl(keep, F_SETFD, 0);
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
  }
  return pid;
}

int StatusOf(int raw) { return WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw); }

void CloseAll(std::initializer_list<int> fds) {
  for (int fd : fds) {
    if (fd >= 0) close(fd);
  }
}

}  // namespace

std::string Shell(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

bool OnPath(const std::string& program) {
  auto executable = [](const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
  };
  if (program.empty()) return false;
  if (program.find('/') != std::string::npos) return executable(program);
  const char* path = std::getenv("PATH");
  const std::string dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t begin = 0;
  for (;;) {
    const size_t end = std::min(dirs.find(':', begin), dirs.size());
    const std::string dir = dirs.substr(begin, end - begin);
    if (executable((dir.empty() ? "." : dir) + "/" + program)) return true;
    if (end == dirs.size()) return false;
    begin = end + 1;
  }
}

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env) { return Launch(argv, env); }

int WaitExit(pid_t pid, Millis limit) {
  if (pid <= 0) return kStillRunning;  // waitpid would take any child
  const auto deadline = Clock::now() + limit;
  for (;;) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return StatusOf(status);
    const auto now = Clock::now();
    if (now >= deadline) return kStillRunning;
    std::this_thread::sleep_for(std::min<Clock::duration>(50ms, deadline - now));
  }
}

void Kill(pid_t& pid) {
  if (pid > 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  pid = -1;
}

void Stop(pid_t& pid, Millis grace) {
  if (pid > 0) {
    kill(pid, SIGTERM);
    if (WaitExit(pid, grace) == kStillRunning) Kill(pid);
  }
  pid = -1;
}

Result Run(const std::vector<std::string>& argv, const std::vector<std::string>& env, Millis limit) {
  Result result;
  int out[2] = {-1, -1}, err[2] = {-1, -1};
  const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (input < 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    result.status = 127;
    result.err = std::string("no pipes for the child: ") + std::strerror(errno);
    CloseAll({input, out[0], out[1], err[0], err[1]});
    return result;
  }
  const pid_t pid = Launch(argv, env, {{input, STDIN_FILENO}, {out[1], STDOUT_FILENO}, {err[1], STDERR_FILENO}});
  const int launch_error = errno;
  CloseAll({input, out[1], err[1]});
  if (pid < 0) {
    result.status = 127;
    result.err = argv.empty() ? "nothing to run" : std::string("fork: ") + std::strerror(launch_error);
    CloseAll({out[0], err[0]});
    return result;
  }

  // Read what is there without blocking, until the child has ended: the
  // output of a child that has ended is all in the pipes, even when a
  // process it started holds them open.
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  for (pollfd& f : fds) fcntl(f.fd, F_SETFL, O_NONBLOCK);
  auto drain = [&] {
    for (int i = 0; i < 2; ++i) {
      while (fds[i].fd >= 0) {
        char buffer[65536];
        const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
          sinks[i]->append(buffer, static_cast<size_t>(n));
        } else if (n < 0 && errno == EINTR) {
          continue;
        } else if (n < 0 && errno == EAGAIN) {
          break;
        } else {
          close(fds[i].fd);
          fds[i].fd = -1;  // poll passes over it
        }
      }
    }
  };
  const auto deadline = Clock::now() + limit;
  int raw = 0;
  bool ended = false;
  for (;;) {
    drain();
    if (waitpid(pid, &raw, WNOHANG) == pid) {
      ended = true;
      break;
    }
    const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now());
    if (left <= 0ms) break;
    // With both pipes closed, only the child's end is awaited.
    const Millis step = fds[0].fd >= 0 || fds[1].fd >= 0 ? 100ms : 5ms;
    poll(fds, 2, static_cast<int>(std::min(left, step).count()) + 1);
  }
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  drain();
  CloseAll({fds[0].fd, fds[1].fd});
  result.status = ended ? StatusOf(raw) : kStillRunning;
  return result;
}

XServer StartXvfb(std::string* why, Millis limit) {
  XServer server;
  if (!OnPath("Xvfb")) {
    *why = "Xvfb is not installed";
    return server;
  }
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    *why = std::string("no pipe for Xvfb: ") + std::strerror(errno);
    return server;
  }
  pid_t pid = Launch({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
                     {}, {}, fds[1]);
  close(fds[1]);
  if (pid < 0) {
    *why = std::string("fork: ") + std::strerror(errno);
    close(fds[0]);
    return server;
  }
  // Xvfb writes its display number and a line end once it accepts clients.
  const auto deadline = Clock::now() + limit;
  std::string number;
  bool ended = false;
  pollfd p{fds[0], POLLIN, 0};
  while (number.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now());
    if (left <= 0ms) break;
    const int ready = poll(&p, 1, static_cast<int>(left.count()) + 1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    char c[16];
    const ssize_t n = read(fds[0], c, sizeof c);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ended = true;  // Xvfb closed its end: it is on its way out
      break;
    }
    number.append(c, static_cast<size_t>(n));
  }
  close(fds[0]);
  number = number.substr(0, number.find('\n'));
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
    const int status = WaitExit(pid, ended ? 1s : 0ms);
    if (status == kStillRunning) {
      *why = number.empty() ? "Xvfb gave no display number within " + std::to_string(limit.count()) + " ms"
                            : "Xvfb gave \"" + number + "\" for its display number";
      Stop(pid);
    } else {
      *why = "Xvfb ended at once with status " + std::to_string(status);
    }
    return server;
  }
  server.pid = pid;
  server.display = ":" + number;
  return server;
}

bool WaitUntil(const std::function<bool()>& done, Millis limit, Millis every) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    if (done()) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(every);
  }
}

}  // namespace test_process
