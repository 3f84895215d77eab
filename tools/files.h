// SPDX-License-Identifier: MIT
// Whole small files in and out, for the tests and the fuzzer.
#pragma once

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
