// SPDX-License-Identifier: MIT
// One file's report as a JSON object. Strings are UTF-8; a path's bytes that
// are not valid UTF-8 are each written as the lone surrogate U+DC00 + byte
// (\udc80 to \udcff), as Python's "surrogateescape" decodes them, so that
// os.fsencode gives the name back byte for byte (see Quoted).
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "lines.h"
#include "text.h"

namespace zavevuv::cli {
namespace {

constexpr std::array<std::pair<int, const char*>, 28> kErrnoNames{{
    {EPERM, "EPERM"},
    {ENOENT, "ENOENT"},
    {EINTR, "EINTR"},
    {EIO, "EIO"},
    {ENXIO, "ENXIO"},
    {EBADF, "EBADF"},
    {EAGAIN, "EAGAIN"},
    {ENOMEM, "ENOMEM"},
    {EACCES, "EACCES"},
    {EFAULT, "EFAULT"},
    {EBUSY, "EBUSY"},
    {ENODEV, "ENODEV"},
    {ENOTDIR, "ENOTDIR"},
    {EISDIR, "EISDIR"},
    {EINVAL, "EINVAL"},
    {ENFILE, "ENFILE"},
    {EMFILE, "EMFILE"},
    {ETXTBSY, "ETXTBSY"},
    {EFBIG, "EFBIG"},
    {ENOSPC, "ENOSPC"},
    {EROFS, "EROFS"},
    {ELOOP, "ELOOP"},
    {ENOLCK, "ENOLCK"},
    {EDQUOT, "EDQUOT"},
    {ESTALE, "ESTALE"},
    {EOVERFLOW, "EOVERFLOW"},
    {ENAMETOOLONG, "ENAMETOOLONG"},
    {EOPNOTSUPP, "EOPNOTSUPP"},
}};

std::string Count(std::uint64_t n) { return n == ZAVEVUV_UNKNOWN ? "null" : std::to_string(n); }

std::string Seconds(std::uint64_t frames, std::uint32_t rate) {
  if (frames == ZAVEVUV_UNKNOWN || rate == 0) {
    return "null";
  }
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%.6f", static_cast<double>(frames) / rate);
  return text.data();
}

std::string Error(int error) {
  if (error == 0) {
    return "null";
  }
  std::string name = "E" + std::to_string(error);
  for (const auto& [code, known] : kErrnoNames) {
    if (code == error) {
      name = known;
    }
  }
  return R"({"errno":")" + name + R"(","message":)" + Quoted(std::strerror(error)) + "}";
}

const char* Kind(int kind) {
  switch (kind) {
    case ZAVEVUV_KIND_NOT_WAVE:
      return R"("not-wave")";
    case ZAVEVUV_KIND_RIFF:
      return R"("riff")";
    case ZAVEVUV_KIND_RF64:
      return R"("rf64")";
    case ZAVEVUV_KIND_W64:
      return R"("w64")";
    case ZAVEVUV_KIND_AIFF:
      return R"("aiff")";
    case ZAVEVUV_KIND_AIFC:
      return R"("aifc")";
    default:
      return "null";
  }
}

const char* Bool(bool value) { return value ? "true" : "false"; }

// A name from `names` by its code, quoted; null for 0.
template <std::size_t N>
std::string Named(const std::array<const char*, N>& names, int code) {
  return code > 0 && static_cast<std::size_t>(code) < N
             ? std::string("\"") + names[static_cast<std::size_t>(code)] + "\""
             : "null";
}

constexpr std::array<const char*, 4> kShapes{{nullptr, "zeroed", "cut", "damaged"}};
constexpr std::array<const char*, 7> kRefusals{
    {nullptr, "misfit", "silent", "alignment", "no-insert", "no-room", "too-large"}};
constexpr std::array<const char*, 6> kEncodings{
    {nullptr, "pcm", "unsigned", "float", "mu-law", "a-law"}};

// A file whose header is gone: its shape, why it was not rebuilt, and how
// its audio reads.
std::string GoneMembers(const zavevuv_report& r) {
  std::string reads = "null";
  if (r.encoding != ZAVEVUV_ENCODING_NONE) {
    reads = R"({"encoding":)" + Named(kEncodings, r.encoding) + R"(,"bits":)" +
            std::to_string(8 * r.sample_bytes) + R"(,"big_endian":)" + Bool(r.big_endian != 0) +
            R"(,"channels":)" + (r.channels != 0 ? std::to_string(r.channels) : "null") +
            R"(,"channels_assumed":)" + Bool(r.channels_assumed != 0) + "}";
  }
  return R"(,"shape":)" + Named(kShapes, r.shape) + R"(,"refusal":)" + Named(kRefusals, r.refusal) +
         R"(,"reads_as":)" + reads;
}

}  // namespace

std::string JsonLine(const std::string& path, const zavevuv_report& r, bool check, bool wouldFix) {
  return R"({"path":)" + Quoted(path) + R"(,"outcome":")" +
         (wouldFix ? "would-fix" : zavevuv_outcome_name(r.outcome)) + R"(","check":)" +
         Bool(check) + R"(,"kind":)" + Kind(r.kind) + R"(,"error":)" + Error(r.error) +
         R"(,"write_error":)" + Error(r.write_error) + R"(,"fields":)" + std::to_string(r.fields) +
         R"(,"data_chunk":)" + Count(r.data_chunk) + R"(,"stated_bytes":)" +
         std::to_string(r.stated_bytes) + R"(,"audio_bytes":)" + std::to_string(r.audio_bytes) +
         R"(,"stated_frames":)" + Count(r.stated_frames) + R"(,"frames":)" + Count(r.frames) +
         R"(,"sample_rate":)" + (r.sample_rate != 0 ? std::to_string(r.sample_rate) : "null") +
         R"(,"stated_seconds":)" + Seconds(r.stated_frames, r.sample_rate) + R"(,"seconds":)" +
         Seconds(r.frames, r.sample_rate) + R"(,"rf64":)" +
         Bool(r.kind == ZAVEVUV_KIND_RF64 || r.rf64 != 0) + R"(,"insert":)" + Bool(r.insert != 0) +
         GoneMembers(r) + "}\n";
}

}  // namespace zavevuv::cli
