// SPDX-License-Identifier: MIT
// Each input is a file's bytes. The repair runs on it, and whatever it did is
// checked against what it may do; any breach aborts.
//   - The length never changes, and a file that does not start like a WAVE
//     file is never written.
//   - Only size fields change: the RIFF size at 4, the ds64 fields at 20..47
//     (after a ds64 or JUNK chunk at 12, the table length included), the four
//     bytes after a "data" tag and the count of a "fact" chunk; for an upgrade
//     also the id at 0 (to RF64) and at 12 (to ds64). In AIFF the FORM size,
//     the SSND size and COMM's frame count; in Wave64 the riff size and the
//     eight bytes after the data GUID. Bytes between two fields never change.
//   - A changed 32-bit size counts no more than the file holds after it, or
//     is 0xFFFFFFFF.
//   - Exactly one message line is reported, "Header was fixed successfully"
//     exactly when the file changed.
//   - A valid file built from the input as real writers leave one (any
//     format, a fact count as sox, libsndfile or ffmpeg writes it, chunks
//     after the audio, appended tags, RIFF or RF64) is never written.
//   - A second run writes nothing. A run after a torn write, one that left
//     any part of the plan's fields in place or stopped after any byte (but
//     inside a size field), ends at the same bytes, and a run after that
//     writes nothing.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "codes.h"
#include "files.h"
#include "memfile.h"
#include "rebuild_checks.h"
#include "torn.h"
#include "wavgen.h"
#include "words.h"
#include "writes.h"

namespace {

using zavevuv::Outcome;

// zavevuv_32uvo on one file: the outcome, and its line.
std::pair<Outcome, std::string> Repair(const std::string& path) {
  zavevuv_report report{};
  report.size = sizeof report;
  zavevuv_repair(path.c_str(), &report);
  zavevuv::cli::Options classic;
  classic.dialect = zavevuv::cli::Dialect::Classic;
  return {
      zavevuv::OutcomeOf(report.outcome),
      zavevuv::cli::WordsOf(zavevuv::cli::Dialect::Classic).file(path, report, classic, true).out};
}

std::string ScratchFile() {
  std::string name = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
  name += "/fuzz_repair-XXXXXX";
  const int fd = mkstemp(name.data());
  Check(fd >= 0, "no scratch file");
  close(fd);
  static std::string made;  // removed when the fuzzer exits
  made = name;
  std::atexit([] { unlink(made.c_str()); });
  return name;
}

std::uint64_t Le32At(const std::string& bytes, std::size_t at) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    v |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  }
  return v;
}

bool Has(const std::string& bytes, std::size_t at, const char* id) {
  return bytes.size() >= at + 4 && bytes.compare(at, 4, id) == 0;
}

const std::string kW64Riff("riff\x2E\x91\xCF\x11\xA5\xD6\x28\xDB\x04\xC1\x00\x00", 16);
const std::string kW64Data =
    "data" + std::string("\xF3\xAC\xD3\x11\x8C\xD1\x00\xC0\x4F\x8E\xDB\x8A", 12);

bool IsAiff(const std::string& bytes) {
  return Has(bytes, 0, "FORM") && (Has(bytes, 8, "AIFF") || Has(bytes, 8, "AIFC"));
}

bool IsW64(const std::string& bytes) { return bytes.compare(0, 16, kW64Riff) == 0; }

// The same for AIFF and Wave64: their own size fields.
bool MayChangeOther(const std::string& in, std::size_t i) {
  if (IsW64(in)) {  // i lies in h + 16 .. h + 24, h a multiple of 8
    const std::size_t h = (i - 16) / 8 * 8;
    return (i >= 16 && i < 24) || (i >= 56 && in.compare(h, kW64Data.size(), kW64Data) == 0);
  }
  for (std::size_t h = i >= 13 ? i - 13 : 0; h + 4 <= i; ++h) {
    if ((Has(in, h, "SSND") && i < h + 8) || (Has(in, h, "COMM") && i >= h + 10 && i < h + 14)) {
      return true;
    }
  }
  return i >= 4 && i < 8;
}

// Whether the byte at `i` may change from `in` to `out`, judged here
// independently of the tool.
bool MayChange(const std::string& in, const std::string& out, std::size_t i) {
  const std::size_t length = in.size();
  if (IsAiff(in) || IsW64(in)) {
    return MayChangeOther(in, i);
  }
  if (i < 4) {
    return Has(out, 0, "RF64");
  }
  if (i < 8) {
    return Le32At(out, 4) <= length - 8 || Le32At(out, 4) == 0xFFFFFFFF;
  }
  if (i >= 12 && i < 16) {
    return Has(out, 12, "ds64");
  }
  if (i >= 20 && i < 48 && Has(out, 12, "ds64")) {
    return true;
  }
  for (std::size_t h = i >= 7 ? i - 7 : 0; h + 4 <= i; ++h) {  // i lies in h + 4 .. h + 8
    if (Has(in, h, "data") && h + 8 <= length) {
      const std::uint64_t size = Le32At(out, h + 4);
      if (size <= length - h - 8 || size == 0xFFFFFFFF) {
        return true;
      }
    }
  }
  const std::size_t f = i >= 11 ? i - 11 : 0;  // a fact count: i in f + 8 .. f + 12
  for (std::size_t at = f; at + 8 <= i; ++at) {
    if (Has(in, at, "fact")) {
      return true;
    }
  }
  return false;
}

// A valid AIFF, AIFF-C or Wave64 file, its shape chosen by those bytes.
std::string OtherWellFormed(const std::function<std::uint8_t(std::size_t)>& at) {
  const std::uint16_t channels = 1 + at(1) % 2;
  const std::string after[] = {"", wavgen::BeChunk("ID3 ", "ID3\x04tag"), wavgen::kId3v1};
  if (at(8) % 4 == 2) {
    const std::uint16_t bits = at(0) % 2 == 0 ? 16 : 24;
    return wavgen::BuildW64({.channels = channels,
                             .bits = bits,
                             .samples = wavgen::Tone(at(2) % 64 * channels * bits / 8U),
                             .after = at(5) % 2 != 0 ? wavgen::W64Chunk("levl", "peak") : ""});
  }
  const bool ima = at(0) % 3 == 0;
  const std::size_t frame = ima ? 34U * channels : 2U * channels;
  return wavgen::BuildAiff({.form = ima || at(0) % 3 == 1 ? "AIFC" : "AIFF",
                            .type = ima ? "ima4" : "NONE",
                            .channels = channels,
                            .samples = wavgen::Tone(at(2) % 64 * frame),
                            .after = after[at(5) % 3]});
}

// A valid file as real writers leave one, its shape chosen by the input's
// first bytes.
std::string WellFormed(const std::uint8_t* data, std::size_t size) {
  const auto at = [&](std::size_t i) { return i < size ? data[i] : std::uint8_t{0}; };
  if (at(8) % 4 >= 2) {
    return OtherWellFormed(at);
  }
  using wavgen::Chunk;
  using wavgen::Le16;
  using wavgen::Le32;
  const std::uint16_t channels = 1 + at(1) % 2;
  // Frames or blocks: at least one in RF64, whose ds64 data size 0 means "never written".
  const std::size_t units = at(2) % 64 + at(7) % 2;
  wavgen::Wav w;
  std::uint64_t count = units;  // the samples the audio holds
  std::uint32_t fact = 0;
  switch (at(0) % 8) {
    case 0:
    case 1:
    case 2:  // PCM, 8, 16 or 24 bits
      w.bits = static_cast<std::uint16_t>(8 * (at(0) % 8 + 1));
      break;
    case 3:  // float, A-law, mu-law: with fact
    case 4:
    case 5:
      w.format = std::array<std::uint16_t, 3>{3, 6, 7}[at(0) % 8 - 3];
      w.bits = w.format == 3 ? 32 : 8;
      fact = static_cast<std::uint32_t>(units);
      break;
    default: {  // IMA or MS ADPCM: the exact count of a padded last block, or whole blocks
      const bool ima = at(0) % 8 == 6;
      const std::uint16_t block = 256 * channels;
      const std::uint16_t perBlock = ima ? 505 : 500;
      w.format = ima ? 0x11 : 2;
      w.bits = 4;
      w.block = block;
      w.extra = Le16(ima ? 2 : 32) + Le16(perBlock) + (ima ? "" : std::string(30, '\0'));
      count = units * perBlock;
      fact = static_cast<std::uint32_t>(units == 0 ? 0 : count - at(4) % perBlock);
      break;
    }
  }
  w.channels = channels;
  const std::uint32_t align = w.block.value_or(channels * ((w.bits + 7U) / 8U));
  w.samples = wavgen::Tone(units * align);
  if (fact != 0 || w.format != 1) {
    w.before = Chunk("fact", Le32(fact));
  }
  const std::string pad = w.samples.size() % 2 != 0 ? std::string(1, '\0') : "";
  const std::string chains[] = {"", Chunk("LIST", "INFOISFTab"),
                                Chunk("levl", "peak") + Chunk("id3 ", "abc"),
                                Chunk("LIST", "INFO") + Chunk("cue ", Le32(0))};
  w.after = pad + chains[at(5) % 4];
  const std::string tags[] = {"", wavgen::kId3v1, wavgen::Ape(true), wavgen::kId3v2,
                              wavgen::Ape(false) + wavgen::kId3v1};
  if (at(7) % 2 != 0) {
    w.form = "RF64";
    w.riff = 0xFFFFFFFF;
    w.stored = 0xFFFFFFFF;
    w.first = wavgen::Ds64(0, w.samples.size(), count);  // the RIFF size set below
    if (!w.before.empty()) {
      w.before = Chunk("fact", Le32(static_cast<std::uint32_t>(count)));
    }
    std::string file = wavgen::Build(w);
    const std::string riff = wavgen::Le64(file.size() - 8);
    file.replace(20, 8, riff);
    return file + tags[at(6) % 5];
  }
  return wavgen::Build(w) + tags[at(6) % 5];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = ScratchFile();
  const std::string in(reinterpret_cast<const char*>(data), size);
  const zavevuv::Plan valid = MemFile{WellFormed(data, size)}.Decide();
  Check(valid.outcome == Outcome::Correct, "wrote a valid file");
  WriteFile(path, in);

  const auto [outcome, message] = Repair(path);
  Check(!message.empty() && message.find('\n') == message.size() - 1, "not one message line");

  const std::string out = ReadFile(path);
  Check(out.size() == in.size(), "length changed");
  // RIFF, RF64, BW64, or an id cut off on its way from RIFF to RF64.
  bool form = in.size() >= 4;
  for (std::size_t i = 0; form && i < 4; ++i) {
    form = in[i] == "RIFF"[i] || in[i] == "RF64"[i];
  }
  const bool wave = (in.size() >= 12 && (form || Has(in, 0, "BW64")) && Has(in, 8, "WAVE")) ||
                    IsAiff(in) || IsW64(in);
  const bool changed = out != in;
  Check(wave || !changed, "wrote a file that is not a WAVE, AIFF or Wave64 file");
  for (std::size_t i = 0; i < in.size(); ++i) {
    Check(in[i] == out[i] || MayChange(in, out, i), "changed a byte outside the size fields");
  }
  const bool said = outcome == Outcome::Fixed || outcome == Outcome::ToEnd;
  Check(changed == said, "a change not reported as a fix, or the reverse");
  Check(outcome != Outcome::Fixed || message.rfind("Header was fixed successfully in ", 0) == 0,
        "wrong message");

  const Outcome again = Repair(path).first;
  Check(ReadFile(path) == out, "a second run wrote");
  const Outcome expected = outcome == Outcome::ToEnd ? Outcome::TooLarge
                           : changed                 ? Outcome::Correct
                                                     : outcome;
  Check(again == expected, "a second run saw something else");

  // Torn writes: some of the plan's fields in place, chosen by the input's
  // last byte, or the writes stopped after a byte its two last bytes choose.
  // Not for an upgrade over a JUNK body that was not zero: once ds64 stands
  // at 12, such bytes read as its sizes, and may name a layout of their own
  // (a data size after which chunk-like audio bytes parse as a chain).
  const MemFile file{in};
  const zavevuv::Plan plan = file.Decide();
  if (std::ranges::any_of(plan.writes, [](const auto& write) { return write.at == 12; }) &&
      in.find_first_not_of('\0', 20) < 48) {
    return 0;
  }
  const unsigned subset = size > 0 ? data[size - 1] : 0U;
  Check(torn::Completes(torn::WithFields(file, plan, subset * 0x01010101U), out),
        "a run after a torn write ends elsewhere");
  const std::size_t limit = size > 1 ? (data[size - 2] | subset << 8U) % 128 : 0;
  CheckRebuild(in, size > 1 ? data[size - 2] | subset << 8U : 0);
  Check(torn::InsideField(file, plan, limit) ||
            torn::Completes(torn::CutAfter(file, plan, limit), out),
        "a run after a write cut short ends elsewhere");
  return 0;
}
