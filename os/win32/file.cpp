#include "os/file.h"

#include <windows.h>

#include <utility>

namespace os {
namespace {

HANDLE AsHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, kInvalid)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (IsOpen()) CloseHandle(AsHandle(handle_));
    handle_ = std::exchange(other.handle_, kInvalid);
  }
  return *this;
}

File::~File() {
  if (IsOpen()) CloseHandle(AsHandle(handle_));
}

File File::Open(const char* path, Access access, Share share, Disposition disposition) {
  const DWORD desired = access == Access::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  const DWORD share_mode = share == Share::None ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
  const DWORD how = disposition == Disposition::OpenExisting ? OPEN_EXISTING : CREATE_ALWAYS;
  HANDLE h = CreateFileA(path, desired, share_mode, nullptr, how, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw OsError(std::string("cannot open ") + path);
  return File(reinterpret_cast<intptr_t>(h));
}

uint64_t File::Size() const {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(AsHandle(handle_), &size)) throw OsError("cannot query the file size");
  return static_cast<uint64_t>(size.QuadPart);
}

long long File::Read(void* buffer, size_t size) {
  DWORD got = 0;
  const DWORD want = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(size);
  if (!ReadFile(AsHandle(handle_), buffer, want, &got, nullptr)) return -1;
  return got;
}

void File::Write(const void* buffer, size_t size) {
  const char* p = static_cast<const char*>(buffer);
  while (size > 0) {
    const DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD put = 0;
    if (!WriteFile(AsHandle(handle_), p, want, &put, nullptr) || put == 0) {
      throw OsError("cannot write the file");
    }
    p += put;
    size -= put;
  }
}

void File::SeekToStart() {
  LARGE_INTEGER start;
  start.QuadPart = 0;
  if (!SetFilePointerEx(AsHandle(handle_), start, nullptr, FILE_BEGIN)) {
    throw OsError("cannot seek the file");
  }
}

void File::Close() {
  if (!IsOpen()) return;
  const BOOL ok = CloseHandle(AsHandle(std::exchange(handle_, kInvalid)));
  if (!ok) throw OsError("cannot close the file");
}

bool FileExists(const char* path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateDirectoryOneLevel(const char* path) { return CreateDirectoryA(path, nullptr) != 0; }

std::string AbsolutePath(const char* relative) {
  std::string dir(MAX_PATH, '\0');
  DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(dir.size()), dir.data());
  if (n >= dir.size()) {
    dir.resize(n);
    n = GetCurrentDirectoryA(static_cast<DWORD>(dir.size()), dir.data());
  }
  dir.resize(n);
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
  return dir + relative;
}

}  // namespace os
