// Files and directories, the OS layer's part that the configuration stage and
// the module store use. Relative names are resolved against the process's
// current directory; '\' separates directories on every platform (the POSIX
// implementation turns it into '/').
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace os {

// Raised when the system refuses a file operation. The bootstrap's catch-all
// handlers turn it into their stage's fatal message; its text is never shown.
class OsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class Access { Read, ReadWrite };
enum class Share { None, ReadWrite };  // share mode 0, or FILE_SHARE_READ | FILE_SHARE_WRITE
enum class Disposition { OpenExisting, CreateAlways };

// Owns one open file; move-only, closed on destruction.
class File {
 public:
  File() = default;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  // Opens (or, with CreateAlways, creates and empties) `path` with
  // FILE_ATTRIBUTE_NORMAL. Throws OsError when the system refuses.
  static File Open(const char* path, Access access, Share share, Disposition disposition);

  bool IsOpen() const { return handle_ != kInvalid; }
  // The file's current length in bytes. Throws OsError.
  uint64_t Size() const;
  // One read of up to `size` bytes at the current position into `buffer`.
  // Returns the count read (0 at the end of the file), or -1 when the read failed.
  long long Read(void* buffer, size_t size);
  // Writes all `size` bytes. Throws OsError when the system takes fewer (a full disk).
  void Write(const void* buffer, size_t size);
  // Moves the position to the file's first byte. Throws OsError.
  void SeekToStart();
  // Closes the file. Throws OsError when the system reports a failure.
  void Close();

 private:
  static constexpr intptr_t kInvalid = -1;
  explicit File(intptr_t handle) : handle_(handle) {}
  intptr_t handle_ = kInvalid;
};

// A directory search finds an entry of this name that is not a directory.
bool FileExists(const char* path);
// The file attributes of `path` say it is a directory (a plain file is not).
bool DirectoryExists(const char* path);
// Creates one directory level with default security; false when that fails.
bool CreateDirectoryOneLevel(const char* path);
// `relative` joined to the process's current directory as it is now.
std::string AbsolutePath(const char* relative);

}  // namespace os
