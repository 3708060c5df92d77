// A Windows console program for the end-to-end tests under Wine: prints the
// class and text of every control (child window) of the top-level window
// titled by its argument, one "Class<TAB>text" line each. A message box drawn
// by Wine has its text only in its controls, out of reach of X tools.
//
//   e2e_window_text.exe "Oh my..."
// Status 1 when no such window exists.
#include <windows.h>

#include <cstdio>

namespace {

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
  char class_name[64] = "";
  GetClassNameA(control, class_name, sizeof class_name);
  char text[1024] = "";
  // Another process's control: WM_GETTEXT is carried across to it.
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                           &length))
    text[0] = '\0';
  std::printf("%s\t%s\n", class_name, text);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: e2e_window_text TITLE\n");
    return 2;
  }
  HWND window = FindWindowA(nullptr, argv[1]);
  if (window == nullptr) {
    std::fprintf(stderr, "no window titled \"%s\"\n", argv[1]);
    return 1;
  }
  EnumChildWindows(window, PrintControl, 0);
  return 0;
}
