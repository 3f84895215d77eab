// SPDX-License-Identifier: MIT
// Writes the fuzzer's seed corpus into a folder: WAV headers as writers leave
// them (RIFF, RF64, BW64), chunks before and after the audio, pad bytes,
// truncated fields and a file that is no WAVE file at all.
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
  // A take whose head is gone, as a rebuild from a sibling take finds it.
  const std::string lost = Build({.channels = 2, .samples = wavgen::Plucked(6000, 2, {}, 2)});
  const std::vector<std::pair<const char*, std::string>> seeds = {
      {"crashed", Build({.samples = wavgen::Tone(64), .stored = 0})},
      {"head-zeroed", std::string(44, '\0') + lost.substr(44)},
      {"head-cut", lost.substr(4142)},
      {"head-damaged", "xxxx" + lost.substr(4)},
      {"correct", Build({.samples = wavgen::Tone(64)})},
      {"too-large", Build({.samples = wavgen::Tone(64), .stored = 0xFFFFFFF0})},
      {"stereo-8bit", Build({.channels = 2, .bits = 8, .samples = wavgen::Tone(40), .stored = 8})},
      {"list-before", Build({.riff = 0xFFFFFFFF,
                             .before = Chunk("LIST", "INFOINAMBig data"),
                             .samples = "ab",
                             .stored = 0xFFFFFFFF})},
      {"list-after", Build({.samples = wavgen::Tone(6), .after = Chunk("LIST", "INFOISFTx")})},
      {"pad-after", Build({.samples = wavgen::Tone(7), .after = pad})},
      {"pad-id3", Build({.samples = wavgen::Tone(7), .after = pad + "id3 " + Le32(3) + "abc"})},
      {"junk-after", Build({.samples = wavgen::Tone(8), .after = "\x01\x02\x03"})},
      {"tag-at-end",
       Build({.before = Chunk("junk", std::string(131028, '\0')), .samples = "ab", .stored = 0})},
      {"tag-past-end",
       Build({.before = Chunk("junk", std::string(131030, '\0')), .samples = "ab"})},
      {"libsndfile", Build({.riff = 8, .samples = wavgen::Tone(64), .stored = 0})},
      {"riff-stale", Build({.riff = 36, .samples = wavgen::Tone(64)})},
      {"bad-chunk", Build({.before = "\x01\x02\x03\x04", .samples = "ab", .stored = 0})},
      {"rf64-crashed", Build({.form = "RF64",
                              .riff = 0xFFFFFFFF,
                              .first = wavgen::Ds64(0, 0, 0),
                              .samples = wavgen::Tone(16),
                              .stored = 0xFFFFFFFF})},
      {"bw64-valid", Build({.form = "BW64",
                            .riff = 0xFFFFFFFF,
                            .first = wavgen::Ds64(84, 8, 4),
                            .samples = wavgen::Tone(8),
                            .stored = 0xFFFFFFFF})},
      {"rf64-junk", Build({.form = "RF64", .first = wavgen::kJunk28, .samples = "ab"})},
      {"rf64-no-ds64", Build({.form = "RF64", .samples = "abcd", .stored = 0})},
      {"cut-list", Build({.samples = wavgen::Tone(8), .after = "LIST" + Le32(40) + "INFO"})},
      {"odd-tag", "RIFF" + Le32(0) + "WAVEx" + "data" + Le32(0) + "abcd"},
      {"truncated", "RIFF" + Le32(0) + "WAVEdata\x01\x02"},
      {"id3v1-crashed", Build({.samples = wavgen::Tone(64), .stored = 0, .after = wavgen::kId3v1})},
      {"ape-id3v1",
       Build({.samples = wavgen::Tone(8), .after = wavgen::Ape(true) + wavgen::kId3v1})},
      {"id3v2-footer", Build({.samples = wavgen::Tone(8), .stored = 0, .after = wavgen::kId3v2})},
      {"sox-extensible", Build({.riff = 0x7FFFF044,
                                .format = 0xFFFE,
                                .channels = 2,
                                .bits = 24,
                                .extra = wavgen::kExtensiblePcm,
                                .before = Chunk("fact", Le32(0)),
                                .samples = wavgen::Tone(60),
                                .stored = 0x7FFFF000})},
      {"no-pad-list", Build({.samples = wavgen::Tone(7), .after = Chunk("LIST", "INFOab")})},
      {"fact-pcm",
       Build({.before = Chunk("fact", Le32(7)), .samples = wavgen::Tone(16), .stored = 0})},
      {"fact-ima", Build({.format = 0x11,
                          .bits = 4,
                          .block = 8,
                          .extra = wavgen::Le16(2) + wavgen::Le16(9),
                          .before = Chunk("fact", Le32(1000)),
                          .samples = wavgen::Tone(40)})},
      {"cut-levl", Build({.samples = wavgen::Tone(8), .after = "levl" + Le32(90) + "ab"})},
      {"torn-upgrade", "RFFF" + Build({.riff = 0,
                                       .first = "dUNK" + wavgen::kJunk28.substr(4),
                                       .samples = "ab",
                                       .stored = 0})
                                    .substr(4)},
      {"aiff-crashed",
       wavgen::BuildAiff({.size = 0, .frames = 0, .samples = wavgen::Tone(64), .stored = 0})},
      {"aifc-ima4",
       wavgen::BuildAiff(
           {.form = "AIFC", .type = "ima4", .samples = wavgen::Tone(68), .stored = 0x7F000008})},
      {"w64-crashed", wavgen::BuildW64({.size = 0, .samples = wavgen::Tone(64), .stored = 24})},
      {"w64-levl",
       wavgen::BuildW64({.size = ~0ULL,
                         .samples = wavgen::Tone(62),
                         .stored = 0x7FFFFFFFFFFFFFFF,
                         .after = std::string(2, '\0') + wavgen::W64Chunk("levl", "p")})},
      {"text", "My notes: the data for the session is in the drive."},
      {"short", "RIFF"},
  };
  std::filesystem::create_directories(argv[1]);
  for (const auto& [name, bytes] : seeds) {
    std::ofstream(std::filesystem::path(argv[1]) / name, std::ios::binary) << bytes;
  }
  return 0;
}
