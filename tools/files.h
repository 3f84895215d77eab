// SPDX-License-Identifier: MIT
// Whole small files in and out, for the tests and the fuzzer, and a scratch
// folder for the tests.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The first `n` bytes of a file, however long it is.
inline std::string ReadHead(const std::string& path, std::size_t n) {
  std::string bytes(n, '\0');
  std::ifstream(path, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(n));
  return bytes;
}

// A folder of its own under TMPDIR, removed with all it holds.
struct TempDir {
  std::string path = [] {
    std::string name = std::filesystem::temp_directory_path() / "zavevuv-XXXXXX";
    return std::string(mkdtemp(name.data()));
  }();
  TempDir() = default;
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() { std::filesystem::remove_all(path); }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
};
