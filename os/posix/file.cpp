#include "os/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <utility>

namespace os {
namespace {

// The system's names use '\' as separator; here it is '/'.
std::string NativePath(const char* path) {
  std::string p(path);
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  return p;
}

}  // namespace

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, kInvalid)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (IsOpen()) ::close(static_cast<int>(handle_));
    handle_ = std::exchange(other.handle_, kInvalid);
  }
  return *this;
}

File::~File() {
  if (IsOpen()) ::close(static_cast<int>(handle_));
}

// POSIX has no share modes: `share` is not enforced here.
File File::Open(const char* path, Access access, Share /*share*/, Disposition disposition) {
  int flags = access == Access::Read ? O_RDONLY : O_RDWR;
  if (disposition == Disposition::CreateAlways) flags |= O_CREAT | O_TRUNC;
  const std::string native = NativePath(path);
  const int fd = ::open(native.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) throw OsError("cannot open " + native);
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw OsError("not a file: " + native);
  }
  return File(fd);
}

uint64_t File::Size() const {
  struct stat st;
  if (::fstat(static_cast<int>(handle_), &st) != 0) throw OsError("cannot query the file size");
  return static_cast<uint64_t>(st.st_size);
}

long long File::Read(void* buffer, size_t size) {
  for (;;) {
    const ssize_t got = ::read(static_cast<int>(handle_), buffer, size > INT_MAX ? INT_MAX : size);
    if (got >= 0) return got;
    if (errno != EINTR) return -1;
  }
}

void File::Write(const void* buffer, size_t size) {
  const char* p = static_cast<const char*>(buffer);
  while (size > 0) {
    const ssize_t put = ::write(static_cast<int>(handle_), p, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) throw OsError("cannot write the file");
    p += put;
    size -= static_cast<size_t>(put);
  }
}

void File::SeekToStart() {
  if (::lseek(static_cast<int>(handle_), 0, SEEK_SET) != 0) throw OsError("cannot seek the file");
}

void File::Close() {
  if (!IsOpen()) return;
  if (::close(static_cast<int>(std::exchange(handle_, kInvalid))) != 0) {
    throw OsError("cannot close the file");
  }
}

bool FileExists(const char* path) {
  struct stat st;
  return ::stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const char* path) {
  struct stat st;
  return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDirectoryOneLevel(const char* path) {
  return ::mkdir(NativePath(path).c_str(), 0755) == 0;
}

std::string AbsolutePath(const char* relative) {
  std::string dir(PATH_MAX, '\0');
  if (::getcwd(dir.data(), dir.size()) == nullptr) return NativePath(relative);
  dir.resize(std::char_traits<char>::length(dir.c_str()));
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir + NativePath(relative);
}

}  // namespace os
