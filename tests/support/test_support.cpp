#include "tests/support/test_support.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;

ScopedTempDir::ScopedTempDir() {
  previous_ = fs::current_path().string();
  std::random_device seed;
  std::mt19937_64 random(seed());
  fs::path dir;
  do {
    dir = fs::temp_directory_path() / ("qstave-test-" + std::to_string(random()));
  } while (!fs::create_directory(dir));
  path_ = dir.string();
  fs::current_path(dir);
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ignored;
  fs::current_path(previous_, ignored);
  fs::remove_all(path_, ignored);
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string EscapeRegex(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) out += '\\';
    out += c;
  }
  return out;
}
