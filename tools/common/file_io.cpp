#include "tools/common/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace tools {

namespace {

std::runtime_error SystemError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

void WriteAll(int fd, const uint8_t* bytes, size_t size, const std::string& what) {
  while (size > 0) {
    ssize_t n = ::write(fd, bytes, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw SystemError(what);
    }
    bytes += n;
    size -= static_cast<size_t>(n);
  }
}

}  // namespace

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw SystemError(path);
  struct stat st{};
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    throw SystemError(path);
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw std::runtime_error(path + ": is a directory");
  }
  std::vector<uint8_t> bytes;
  if (st.st_size > 0) bytes.reserve(static_cast<size_t>(st.st_size));
  uint8_t chunk[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      throw SystemError(path);
    }
    if (n == 0) break;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  ::close(fd);
  return bytes;
}

void WriteFileAtomically(const std::string& path, const uint8_t* bytes, size_t size, bool executable) {
  std::string temp = path + ".tmp-XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) throw SystemError(path);
  std::string temp_path(name.data());
  try {
    WriteAll(fd, bytes, size, path);
    // mkstemp creates the file 0600; give it the usual permissions.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, (executable ? 0777 : 0666) & ~mask);
    if (::fsync(fd) != 0) throw SystemError(path);
    if (::close(fd) != 0) {
      fd = -1;
      throw SystemError(path);
    }
    fd = -1;
    if (::rename(temp_path.c_str(), path.c_str()) != 0) throw SystemError(path);
  } catch (...) {
    if (fd >= 0) ::close(fd);
    ::unlink(temp_path.c_str());
    throw;
  }
}

void WriteStandardOutput(const uint8_t* bytes, size_t size) {
  WriteAll(STDOUT_FILENO, bytes, size, "standard output");
}

}  // namespace tools
