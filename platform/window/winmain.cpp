// The process entry of the player: the embedded resources, the SDL host, and
// the program's WinMain, whose result is the exit status.
#include <cstdio>
#include <exception>
#include <string>

#include "platform/resources.h"
#include "platform/window/hosts.h"
#include "platform/window/window.h"

int main(int argc, char** argv) {
  // A disk made by quarb-disk is appended to the program's file and takes the
  // place of the one compiled in.
  std::string error;
  switch (InstallAppendedResources("/proc/self/exe", &error)) {
    case AppendedResources::kInstalled:
      break;
    case AppendedResources::kNone: {
      size_t count = 0;
      const ResourceEntry* table = EmbeddedResourceTable(&count);
      InstallResourceTable(table, count);
      break;
    }
    case AppendedResources::kDamaged:
      std::fprintf(stderr, "quarb: the disk appended to this program is damaged: %s\n", error.c_str());
      return 3;  // the status of a player whose disk cannot be read
  }
  UseSdlHost();

  // WinMain receives the arguments after the program name as one line.
  std::string command_line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) command_line += ' ';
    command_line += argv[i];
  }

  int status = 1;
  try {
    status = WinMain(GetModuleHandleA(nullptr), nullptr, command_line.data(), SW_SHOWDEFAULT);
  } catch (const char* text) {
    std::fprintf(stderr, "%s\n", text);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
  }
  ShutdownHost();
  return status;
}
