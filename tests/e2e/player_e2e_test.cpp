// The real player binary on a virtual X server with a window manager: what a
// user sees and hears. Runs under scripts/with-xvfb, which sets DISPLAY.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

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

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  pid_t pid = fork();
  if (pid == 0) {
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  return pid;
}

// Waits for the process to end; -1000 when it did not within `limit`.
int WaitExit(pid_t pid, std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }
    std::this_thread::sleep_for(50ms);
  }
  return -1000;
}

struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  const uint8_t* At(int x, int y) const { return &rgb[3 * (static_cast<size_t>(y) * width + x)]; }
};

// The screen as netpbm's xwdtopnm gives it: a binary P6 of 8 or 16 bits a
// sample (16 when the screen holds windows of a 32-bit visual).
Image Screenshot(const std::string& path) {
  Shell("xwd -root -silent | xwdtopnm 2>/dev/null > '" + path + "'");
  Image image;
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxval = 0;
  in >> magic >> image.width >> image.height >> maxval;
  in.get();
  if (magic != "P6" || (maxval != 255 && maxval != 65535)) return Image{};
  size_t samples = 3 * static_cast<size_t>(image.width) * image.height;
  int bytes = maxval == 255 ? 1 : 2;
  std::vector<uint8_t> raw(samples * bytes);
  in.read(reinterpret_cast<char*>(raw.data()), static_cast<std::streamsize>(raw.size()));
  image.rgb.resize(samples);
  for (size_t i = 0; i < samples; ++i) {
    // 16-bit samples are big-endian; their high byte is the 8-bit value.
    image.rgb[i] = raw[i * bytes];
  }
  return image;
}

// White pixels of the track-line band, as "x,y" keys relative to the window.
std::vector<int> WhiteInBand(const Image& image, int window_x, int window_y) {
  std::vector<int> white;
  for (int y = 205; y < 228; ++y)
    for (int x = 0; x < 400; ++x) {
      const uint8_t* p = image.At(window_x + x, window_y + y);
      if (p[0] == 255 && p[1] == 255 && p[2] == 255) white.push_back(y * 400 + x);
    }
  return white;
}

std::string Latin1ToUtf8(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Titles of the shipped playlist, in order.
std::vector<std::string> PlaylistTitles() {
  std::ifstream in(std::string(QUARB_SOURCE_DIR) + "/resources/disk/playlist.csv", std::ios::binary);
  std::vector<std::string> titles;
  std::string line;
  while (std::getline(in, line)) titles.push_back(line.substr(0, line.find(';')));
  return titles;
}

class PlayerEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display (run under scripts/with-xvfb)";
    dir_ = fs::temp_directory_path() / ("quarb-e2e-" + std::to_string(getpid()));
    fs::create_directories(dir_);
    audio_ = (dir_ / "audio.raw").string();
  }
  void TearDown() override {
    if (player_ > 0 && kill(player_, 0) == 0) {
      kill(player_, SIGKILL);
      waitpid(player_, nullptr, 0);
    }
    if (other_ > 0) {
      kill(other_, SIGKILL);
      waitpid(other_, nullptr, 0);
    }
    fs::remove_all(dir_);
  }

  fs::path dir_;
  std::string audio_;
  pid_t player_ = -1;
  pid_t other_ = -1;
};

TEST_F(PlayerEndToEnd, ARealSessionWithThePlayer) {
  player_ = Spawn({std::string(QUARB_BIN_DIR) + "/quarb"},
                  {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + audio_});
  std::string window = Shell("timeout 20 xdotool search --sync --onlyvisible --name '^QUARB II$' | head -n1");
  ASSERT_FALSE(window.empty()) << "the player's window did not appear";

  // Centred on the 1024 by 768 screen, 400 by 246, titled.
  std::string info = Shell("xwininfo -id " + window);
  EXPECT_NE(info.find("Absolute upper-left X:  312"), std::string::npos) << info;
  EXPECT_NE(info.find("Absolute upper-left Y:  261"), std::string::npos) << info;
  EXPECT_NE(info.find("Width: 400"), std::string::npos) << info;
  EXPECT_NE(info.find("Height: 246"), std::string::npos) << info;
  EXPECT_EQ(Shell("xdotool getwindowname " + window), "QUARB II");
  // No window-manager frame: the window is a direct, undecorated top level.
  EXPECT_NE(Shell("xprop -id " + window + " _MOTIF_WM_HINTS"), "") << "borderless hint";

  // The track line: white pixels of the bitmap font in the band at y 209.
  std::this_thread::sleep_for(1500ms);
  Image first = Screenshot((dir_ / "first.ppm").string());
  ASSERT_EQ(first.width, 1024);
  std::vector<int> line1 = WhiteInBand(first, 312, 261);
  EXPECT_GT(line1.size(), 50u) << "no track line drawn";
  // The player as the test saw it, for the README.
  Shell("pnmcut -left 312 -top 261 -width 400 -height 246 '" + (dir_ / "first.ppm").string() +
        "' 2>/dev/null | pnmdepth 255 2>/dev/null | pnmtopng 2>/dev/null > '" + QUARB_BUILD_DIR +
        "/e2e-screenshot.png'");

  // A click on "next" changes the track line.
  Shell("xdotool mousemove " + std::to_string(312 + 223) + " " + std::to_string(261 + 231) + " click 1");
  std::this_thread::sleep_for(1500ms);
  Image second = Screenshot((dir_ / "second.ppm").string());
  std::vector<int> line2 = WhiteInBand(second, 312, 261);
  EXPECT_GT(line2.size(), 50u);
  EXPECT_NE(line1, line2) << "the track line did not change after a click on next";

  // With another window activated, the title names the current entry.
  other_ = Spawn({std::string(QUARB_BIN_DIR) + "/../tests/e2e_other_window"}, {});
  std::string other = Shell("timeout 10 xdotool search --sync --name '^other window$' | head -n1");
  ASSERT_FALSE(other.empty());
  Shell("xdotool windowactivate --sync " + other);
  std::this_thread::sleep_for(700ms);
  std::vector<std::string> titles = PlaylistTitles();
  ASSERT_GE(titles.size(), 2u);
  EXPECT_EQ(Shell("xdotool getwindowname " + window), "QUARB II - [ " + Latin1ToUtf8(titles[1]) + " ]");

  // Back to the player; Escape ends it with status 0.
  Shell("xdotool windowactivate --sync " + window);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(Shell("xdotool getwindowname " + window), "QUARB II");
  Shell("xdotool key --window " + window + " Escape");
  EXPECT_EQ(WaitExit(player_, 10s), 0);
  player_ = -1;

  // What SDL's disk driver recorded: 32-bit float stereo, not silence.
  std::ifstream in(audio_, std::ios::binary);
  std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(raw.size(), 44100u * 8) << "less than a second of sound";
  const float* samples = reinterpret_cast<const float*>(raw.data());
  double peak = 0;
  for (size_t i = 0; i < raw.size() / 4; ++i) peak = std::max(peak, std::fabs(static_cast<double>(samples[i])));
  EXPECT_GT(peak, 0.05) << "the recorded sound is silent";
}

}  // namespace
