// Drives the whole player shell through the headless host with the recording
// playback double. Each test gets fresh copies of the embedded resources (the
// archive image is unscrambled in place), and may replace or drop entries
// before start-up.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "app/shell_state.h"
#include "app/startup.h"
#include "app/transport.h"
#include "archive/crc32.h"
#include "archive/extract.h"
#include "data/font.h"
#include "platform/gdi/gdi_internal.h"
#include "platform/playback/bass_double.h"
#include "platform/playback/recording_output.h"
#include "platform/resources.h"
#include "platform/win32.h"
#include "platform/window/headless.h"
#include "platform/window/hosts.h"
#include "skin/skin.h"
#include "tools/pack/archive_writer.h"

namespace player_testing {

using Bytes = std::vector<uint8_t>;

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Type and id of a resource, with type 0 standing for "BINARY".
using ResourceKey = std::pair<WORD, WORD>;
inline constexpr WORD kBinary = 0;

inline std::map<ResourceKey, Bytes> EmbeddedCopies() {
  size_t count = 0;
  const ResourceEntry* table = EmbeddedResourceTable(&count);
  std::map<ResourceKey, Bytes> copies;
  for (size_t i = 0; i < count; ++i) {
    WORD type = table[i].type_name ? kBinary : table[i].type_id;
    copies[{type, table[i].id}] = Bytes(table[i].bytes, table[i].bytes + table[i].size);
  }
  return copies;
}

// A file of the shipped disk, read from a plain copy of the image.
inline Bytes DiskFile(const std::string& name) {
  Bytes image = EmbeddedCopies().at({kBinary, 107});
  MemoryArchive archive{image.data(), static_cast<uint32_t>(image.size()), 0};
  UnscrambleArchiveImage(archive);
  uint8_t* data = nullptr;
  uint32_t size = 0;
  if (!ExtractFile(&data, &size, name.c_str(), &archive, nullptr)) return {};
  Bytes out(data, data + size);
  std::free(data);
  return out;
}

// A player image (solid, alternative signature, scrambled) of these files.
inline Bytes DiskImage(const std::vector<std::pair<std::string, Bytes>>& files) {
  std::vector<pack::InputFile> inputs;
  for (const auto& [name, data] : files) inputs.push_back({name, data, 0});
  pack::PackOptions options;
  options.solid = true;
  options.signature = pack::Signature::kAlternative;
  options.scramble = true;
  return pack::BuildArchive(inputs, options);
}

// A disk with the shipped font and the given playlist; every file the
// playlist names holds a few distinct bytes, except those in `missing`.
inline Bytes DiskWithPlaylist(const std::string& playlist, const std::vector<std::string>& songs,
                              const std::vector<std::string>& missing = {}) {
  std::vector<std::pair<std::string, Bytes>> files = {{"playlist.csv", Text(playlist)},
                                                      {"font.fnt", DiskFile("font.fnt")}};
  for (const std::string& song : songs) {
    bool skip = false;
    for (const std::string& m : missing) skip = skip || m == song;
    if (!skip) files.push_back({song, Text("module " + song)});
  }
  return DiskImage(files);
}

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseHeadlessHost();
    BassDoubleReset();
    ResetShellState();
    resources_ = EmbeddedCopies();
  }

  void TearDown() override {
    if (skin != nullptr || archive != nullptr) {
      if (IsWindow(main_window)) DestroyWindow(main_window);
      ShutDown();
    }
    InstallResourceTable(nullptr, 0);
    ResetShellState();
  }

  // Installs fresh copies, since start-up unscrambles the image in place.
  void Install() {
    table_.clear();
    installed_ = resources_;
    for (auto& [key, bytes] : installed_) {
      table_.push_back({key.first == kBinary ? "BINARY" : nullptr, key.first, key.second, bytes.data(),
                        static_cast<DWORD>(bytes.size())});
    }
    InstallResourceTable(table_.data(), table_.size());
  }

  // Start-up as the program runs it; the test then drives the loop itself.
  void Start() {
    Install();
    int status = 0;
    ASSERT_TRUE(StartUp(GetModuleHandleA(nullptr), &status)) << "stopped with " << status;
  }

  int RunWinMain() {
    Install();
    return WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWDEFAULT);
  }

  void Passes(int n) {
    for (int i = 0; i < n; ++i) MainLoopPass();
  }

  // Screen position of a client point of the main window.
  POINT Screen(int x, int y) {
    const headless::WindowRecord* r = headless::Record(main_window);
    return POINT{r->x + x, r->y + y};
  }

  void ClickAt(int client_x, int client_y) {
    POINT p = Screen(client_x, client_y);
    headless::Click(p.x, p.y);
    Passes(3);
  }

  void ClickHotspot(Hotspot hotspot) {
    const RECT& r = kHotspotRects[static_cast<int>(hotspot)];
    ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }

  static Bytes SurfacePixels(HDC dc) {
    HBITMAP bitmap = static_cast<HBITMAP>(GetCurrentObject(dc, OBJ_BITMAP));
    int w = 0, h = 0;
    uint32_t* p = gdi_internal::BitmapPixels(bitmap, &w, &h);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(p);
    return p ? Bytes(bytes, bytes + 4 * w * h) : Bytes();
  }

  Bytes Surface() { return SurfacePixels(skin->Surface()); }

  // The skin surface as it must look with `line` as the track line over
  // the clean background.
  Bytes SurfaceWithLine(const char* line) {
    HDC scratch = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = gdi_internal::CreateScreenBitmap(skin->Width(), skin->Height());
    HGDIOBJ previous = SelectObject(scratch, bitmap);
    BitBlt(scratch, 0, 0, skin->Width(), skin->Height(), background_dc, 0, 0, SRCCOPY);
    if (line != nullptr) {
      HDC saved = text_surface;
      text_surface = scratch;
      DrawString(TrackLineX(MeasureString(line)), kTrackLineY, line);
      text_surface = saved;
    }
    Bytes pixels = SurfacePixels(scratch);
    SelectObject(scratch, previous);
    DeleteObject(bitmap);
    DeleteDC(scratch);
    return pixels;
  }

  std::string Title() { return headless::Record(main_window)->title; }

  // The CRC of the bytes the last BASS_MusicLoad received.
  static uint32_t LastLoadedCrc() {
    const auto& calls = BassDoubleCalls();
    for (auto it = calls.rbegin(); it != calls.rend(); ++it) {
      if (it->function == BassFunction::MusicLoad) return Crc32Of(it->bytes.data(), it->bytes.size());
    }
    return 0;
  }

  static uint32_t CrcOfText(const std::string& s) { return Crc32Of(s.data(), s.size()); }

  std::map<ResourceKey, Bytes> resources_;
  std::map<ResourceKey, Bytes> installed_;
  std::vector<ResourceEntry> table_;
};

}  // namespace player_testing
