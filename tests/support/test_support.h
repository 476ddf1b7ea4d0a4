// Shared helpers of the unit tests.
#pragma once

#include <string>
#include <vector>

#include "bootstrap/splash.h"

// Records every splash operation, in order, as "paint", "status:<text>",
// "hide" and "close".
class RecordingSplash final : public Splash {
 public:
  void PaintNow() override { calls.push_back("paint"); }
  void SetStatusText(const std::string& text) override { calls.push_back("status:" + text); }
  void HideSplash() override { calls.push_back("hide"); }
  void RequestClose() override { calls.push_back("close"); }

  std::vector<std::string> calls;
};

// A fresh empty directory that is the current directory for the test's
// lifetime; the previous current directory and the tree are restored/removed
// afterwards.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string previous_;
};

// Writes `bytes` to `path` (relative to the current directory), replacing it.
void WriteFileBytes(const std::string& path, const std::string& bytes);
// The whole content of `path`; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// A regular expression that matches `text` literally.
std::string EscapeRegex(const std::string& text);
