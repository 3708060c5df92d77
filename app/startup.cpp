#include "app/startup.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "app/main_window.h"
#include "app/shell_state.h"
#include "app/transport.h"
#include "archive/extract.h"
#include "data/archive_image.h"
#include "data/font.h"
#include "data/playlist.h"
#include "skin/skin.h"

namespace {

// Releases what start-up built before it had to stop.
void ReleaseBuilt() {
  delete skin;
  skin = nullptr;
  delete archive;
  archive = nullptr;
}

// Extracts one text of the archive image; prints why on failure.
bool ExtractText(const char* name, uint8_t** text, uint32_t* length) {
  if (ExtractFile(text, length, name, archive, nullptr)) return true;
  std::fprintf(stderr, "quarb: cannot extract \"%s\" from the embedded archive image\n", name);
  return false;
}

// Start-up in its fixed order. Returns kRunning once entry 0 was started,
// or the exit status of a stop.
constexpr int kRunning = INT32_MIN;

int Start(HINSTANCE instance) {
  instance_handle = instance;
  try {
    skin = new CSkin(kRegionResourceId, kSkinBitmapId);
  } catch (const char* message) {
    std::fprintf(stderr, "%s\n", message);
    return kExitNoSkin;
  }
  text_surface = skin->Surface();

  archive = OpenArchiveImage();
  if (archive->data == nullptr || archive->size == 0) {
    std::fprintf(stderr, "quarb: the embedded archive image is missing\n");
    ReleaseBuilt();
    return kExitNoContent;
  }

  uint8_t* text = nullptr;
  uint32_t length = 0;
  if (!ExtractText("playlist.csv", &text, &length)) {
    ReleaseBuilt();
    return kExitNoContent;
  }
  ParsePlaylist(reinterpret_cast<const char*>(text), length, playlist);
  std::free(text);

  if (!ExtractText("font.fnt", &text, &length)) {
    ReleaseBuilt();
    return kExitNoContent;
  }
  ParseFontDescriptor(reinterpret_cast<const char*>(text), length, glyph_table);
  std::free(text);

  background_dc = LoadBitmapDC(kSkinBitmapId);
  font_dc = LoadBitmapDC(kFontPageId);
  font_mask = LoadBitmapA(instance, MAKEINTRESOURCEA(kFontPageId));

  // No window exists yet, so audio output gets none.
  if (!BASS_Init(-1, 44100, 0x20, nullptr)) {
    MessageBoxA(nullptr, "Unable to init BASS", "Oh my...", MB_OK | MB_ICONEXCLAMATION);
    return kExitAudioFailed;
  }

  main_window = CreateMainWindow(skin->Width(), skin->Height(), kWindowClass, kWindowTitle);
  if (main_window == nullptr) return kExitNoWindow;
  skin->Attach(main_window);
  skin->RequestRepaint();
  ShowWindow(main_window, SW_SHOW);

  hand_cursor = LoadCursorA(nullptr, IDC_HAND);
  arrow_cursor = LoadCursorA(nullptr, IDC_ARROW);

  // With an empty playlist there is no entry 0: nothing plays and no track
  // line is drawn.
  if (playlist.count > 0) PlayTrack(0);
  return kRunning;
}

}  // namespace

bool StartUp(HINSTANCE instance, int* status) {
  *status = Start(instance);
  return *status == kRunning;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  int status;
  if (!StartUp(instance, &status)) return status;
  RunMainLoop();
  return ShutDown();
}

int ShutDown() {
  BASS_Stop();
  BASS_Free();
  ReleaseBuilt();
  return 0;
}
