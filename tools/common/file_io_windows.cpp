// The tools' file helpers over the Win32 API: the same contract as the POSIX
// ones (file_io.h), with Windows' own ways of replacing a file atomically
// (MoveFileExA) and of writing bytes to standard output untranslated.
#include "tools/common/file_io.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <stdexcept>

namespace tools {

namespace {

// "what: the system's reason", the reason taken from GetLastError.
std::runtime_error SystemError(const std::string& what, DWORD code = GetLastError()) {
  char text[512] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                           sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == '.')) text[--n] = '\0';
  std::string reason = n > 0 ? std::string(text, n) : "error " + std::to_string(code);
  return std::runtime_error(what + ": " + reason);
}

// Closes the handle when it goes out of scope.
class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (valid()) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE get() const { return h_; }
  // Closes now, reporting failure; the destructor then does nothing.
  bool Close() {
    HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    return CloseHandle(h) != 0;
  }

 private:
  HANDLE h_;
};

void WriteAll(HANDLE file, const uint8_t* bytes, size_t size, const std::string& what) {
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, bytes, chunk, &written, nullptr)) throw SystemError(what);
    bytes += written;
    size -= written;
  }
}

}  // namespace

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) {
    const DWORD code = GetLastError();
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      throw std::runtime_error(path + ": is a directory");
    throw SystemError(path, code);
  }
  std::vector<uint8_t> bytes;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0) bytes.reserve(static_cast<size_t>(size.QuadPart));
  uint8_t chunk[1 << 16];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file.get(), chunk, sizeof chunk, &n, nullptr)) throw SystemError(path);
    if (n == 0) break;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  return bytes;
}

void WriteFileAtomically(const std::string& path, const uint8_t* bytes, size_t size, bool) {
  // A name beside the target that nobody else uses: the process id and a
  // counter, created only if it does not exist yet.
  std::string temp_path;
  HANDLE created = INVALID_HANDLE_VALUE;
  for (unsigned attempt = 0; attempt < 100 && created == INVALID_HANDLE_VALUE; ++attempt) {
    temp_path = path + ".tmp-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
    created = CreateFileA(temp_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) throw SystemError(path);
  }
  if (created == INVALID_HANDLE_VALUE) throw SystemError(path);
  Handle file(created);
  try {
    WriteAll(file.get(), bytes, size, path);
    if (!FlushFileBuffers(file.get())) throw SystemError(path);
    if (!file.Close()) throw SystemError(path);
    if (!MoveFileExA(temp_path.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      throw SystemError(path);
  } catch (...) {
    if (file.valid()) file.Close();
    DeleteFileA(temp_path.c_str());
    throw;
  }
}

void WriteStandardOutput(const uint8_t* bytes, size_t size) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == INVALID_HANDLE_VALUE || out == nullptr) throw std::runtime_error("standard output: not open");
  WriteAll(out, bytes, size, "standard output");
}

}  // namespace tools
