// The player program under test, chosen by the environment:
//
//   QUARB_E2E_PLAYER=linux    (or unset) the Linux build's player over SDL;
//                             SDL's disk audio driver records its sound.
//   QUARB_E2E_PLAYER=windows  the Windows build's player, run by `wine` in
//                             the prefix named by WINEPREFIX; its waveOut sound
//                             goes through Wine's ALSA driver to ALSA's file
//                             plugin, made the default device for the run.
//
// The Windows programs are named by QUARB_E2E_WINDOWS_PLAYER (quarb.exe),
// QUARB_E2E_WINDOWS_NOTCHED (quarb_notched.exe) and QUARB_E2E_WINDOW_TEXT
// (e2e_window_text.exe, which reads the texts of a window's controls). The
// Linux programs default to the ones built beside the test and may be named by
// QUARB_E2E_LINUX_PLAYER and QUARB_E2E_LINUX_NOTCHED. Pictures meant for people
// go to QUARB_E2E_OUTPUT_DIR (the build directory by default).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "e2e_sound.h"
#include "e2e_support.h"

namespace e2e {

class PlayerProgram {
 public:
  enum class Kind { kLinux, kWindows };

  static PlayerProgram FromEnvironment();
  static PlayerProgram Linux();
  static PlayerProgram Windows();

  Kind kind() const { return kind_; }
  bool windows() const { return kind_ == Kind::kWindows; }
  // "the Linux player" or "the Windows player under Wine", for messages.
  const std::string& name() const { return name_; }
  // Empty when the program is configured; else what is missing.
  std::string Missing() const;

  // The shipped player, and the one whose window region leaves out the 24 by
  // 24 square at its top-left corner.
  const std::string& player() const { return player_; }
  const std::string& notched() const { return notched_; }

  // How long its first window may take: Wine's first start on a new X
  // server brings up its own processes first.
  Millis first_window() const { return windows() ? 30s : 20s; }

  // Starts `program` with its sound recorded to SoundFile(dir); files of the
  // run go to `dir`.
  pid_t StartRecording(const std::string& program, const std::string& dir) const;
  std::string SoundFile(const std::string& dir) const { return dir + "/sound.raw"; }
  SoundFormat sound_format() const { return windows() ? SoundFormat::kInt16 : SoundFormat::kFloat32; }

  // Starts `program` where no audio output can be opened.
  pid_t StartWithoutAudio(const std::string& program, const std::string& dir) const;

  // Ends whatever a run left behind: under Wine, every program of the prefix
  // and its wineserver (which outlives the programs, bound to this X server).
  void CleanUp() const;

  // The texts of the controls of the top-level window titled `title`, read
  // through Win32 by e2e_window_text.exe ("Class<TAB>text" each); Windows only.
  std::vector<std::string> ControlTexts(const std::string& title) const;

  // Where pictures meant for people go, and the name of the first-song
  // screenshot of this player.
  std::string OutputDir() const;
  std::string ScreenshotName() const { return windows() ? "wine-screenshot.png" : "e2e-screenshot.png"; }

 private:
  pid_t Start(const std::string& program, const std::vector<std::string>& env) const;

  Kind kind_ = Kind::kLinux;
  std::string name_;
  std::string player_, notched_, window_text_;
};

}  // namespace e2e
