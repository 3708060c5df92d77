#include "e2e_player.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace e2e {

namespace {

std::string Env(const char* name, const std::string& fallback = "") {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

// Wine's other sound drivers are left out, so that the sound goes to ALSA
// (and to the file) even where a PulseAudio server or an OSS device is there.
std::string DllOverrides() {
  const std::string own = Env("WINEDLLOVERRIDES");
  return "WINEDLLOVERRIDES=" + (own.empty() ? "" : own + ";") + "winepulse.drv,wineoss.drv=";
}

}  // namespace

PlayerProgram PlayerProgram::FromEnvironment() {
  return Env("QUARB_E2E_PLAYER", "linux") == "windows" ? Windows() : Linux();
}

PlayerProgram PlayerProgram::Linux() {
  PlayerProgram p;
  p.kind_ = Kind::kLinux;
  p.name_ = "the Linux player";
  p.player_ = Env("QUARB_E2E_LINUX_PLAYER", QUARB_BIN_DIR "/quarb");
  p.notched_ = Env("QUARB_E2E_LINUX_NOTCHED", QUARB_BUILD_DIR "/tests/quarb_notched");
  return p;
}

PlayerProgram PlayerProgram::Windows() {
  PlayerProgram p;
  p.kind_ = Kind::kWindows;
  p.name_ = "the Windows player under Wine";
  p.player_ = Env("QUARB_E2E_WINDOWS_PLAYER");
  p.notched_ = Env("QUARB_E2E_WINDOWS_NOTCHED");
  p.window_text_ = Env("QUARB_E2E_WINDOW_TEXT");
  return p;
}

std::string PlayerProgram::Missing() const {
  if (!windows()) return "";
  std::string missing;
  if (player_.empty()) missing += " QUARB_E2E_WINDOWS_PLAYER";
  if (notched_.empty()) missing += " QUARB_E2E_WINDOWS_NOTCHED";
  if (window_text_.empty()) missing += " QUARB_E2E_WINDOW_TEXT";
  if (Env("WINEPREFIX").empty()) missing += " WINEPREFIX";
  return missing.empty() ? "" : "not set:" + missing;
}

pid_t PlayerProgram::Start(const std::string& program, const std::vector<std::string>& env) const {
  if (windows()) {
    // A wineserver of the prefix may still be running from a program started
    // without a display (the Windows build's other tests): a player started
    // into it gets no window. Wait for it to end (it lingers a few seconds).
    Shell("timeout 30 wineserver -w >/dev/null 2>&1");
    return Spawn({"wine", program}, env);
  }
  return Spawn({program}, env);
}

pid_t PlayerProgram::StartRecording(const std::string& program, const std::string& dir) const {
  const std::string sound = SoundFile(dir);
  if (!windows()) return Start(program, {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + sound});
  // ALSA's default device, for this run only: its file plugin, writing what
  // it is given, in front of a device that takes everything.
  const std::string config = dir + "/asound.conf";
  std::ofstream(config) << "pcm.!default {\n"
                           "  type file\n"
                           "  slave.pcm { type null }\n"
                           "  file \""
                        << sound
                        << "\"\n"
                           "  format \"raw\"\n"
                           "}\n";
  return Start(program, {"ALSA_CONFIG_PATH=" + config, DllOverrides()});
}

pid_t PlayerProgram::StartWithoutAudio(const std::string& program, const std::string& dir) const {
  if (!windows()) return Start(program, {"SDL_AUDIODRIVER=no-such-driver"});
  // An ALSA configuration without a single device, whatever the machine has.
  const std::string config = dir + "/no-audio.conf";
  std::ofstream(config) << "# no devices\n";
  return Start(program, {"ALSA_CONFIG_PATH=" + config, DllOverrides()});
}

void PlayerProgram::CleanUp() const {
  if (windows()) Shell("wineserver -k >/dev/null 2>&1; timeout 30 wineserver -w >/dev/null 2>&1");
}

std::vector<std::string> PlayerProgram::ControlTexts(const std::string& title) const {
  std::vector<std::string> lines;
  if (!windows()) return lines;
  std::istringstream out(Shell("timeout 60 wine " + Quoted(window_text_) + " " + Quoted(title) + " 2>/dev/null"));
  std::string line;
  while (std::getline(out, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string PlayerProgram::OutputDir() const { return Env("QUARB_E2E_OUTPUT_DIR", QUARB_BUILD_DIR); }

}  // namespace e2e
