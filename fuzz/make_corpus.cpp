// Writes the fuzzer's seed corpus into a folder: WAV headers with the tag at
// several offsets, trailing chunks, pad bytes and truncated fields.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "wavgen.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::cout << "usage: make_corpus DIR\n";
    return 2;
  }
  using wavgen::Build;
  using wavgen::Chunk;
  using wavgen::Le32;
  const std::string pad(1, '\0');
  const std::vector<std::pair<const char*, std::string>> seeds = {
      {"crashed", Build({.samples = wavgen::Tone(64), .stored = 0})},
      {"correct", Build({.samples = wavgen::Tone(64)})},
      {"too-large", Build({.samples = wavgen::Tone(64), .stored = 0xFFFFFFF0})},
      {"stereo-8bit", Build({.channels = 2, .bits = 8, .samples = wavgen::Tone(40), .stored = 8})},
      {"list-before",
       Build({.before = Chunk("LIST", "INFOINAMdata"), .samples = "ab", .stored = 0})},
      {"list-after", Build({.samples = wavgen::Tone(6), .after = Chunk("LIST", "INFOISFTx")})},
      {"pad-after", Build({.samples = wavgen::Tone(7), .after = pad})},
      {"pad-id3", Build({.samples = wavgen::Tone(7), .after = pad + "id3 " + Le32(3) + "abc"})},
      {"junk-after", Build({.samples = wavgen::Tone(8), .after = "\x01\x02\x03"})},
      {"tag-at-end",
       Build({.before = Chunk("junk", std::string(131028, '\0')), .samples = "ab", .stored = 0})},
      {"tag-past-end",
       Build({.before = Chunk("junk", std::string(131030, '\0')), .samples = "ab"})},
      {"odd-tag", std::string(37, 'x') + "data" + Le32(0) + "abcd"},
      {"truncated", std::string(36, 'x') + "data\x01\x02"},
      {"bare-tag", "RIdata"},
      {"short", "RIFF"},
  };
  std::filesystem::create_directories(argv[1]);
  for (const auto& [name, bytes] : seeds) {
    std::ofstream(std::filesystem::path(argv[1]) / name, std::ios::binary) << bytes;
  }
  return 0;
}
