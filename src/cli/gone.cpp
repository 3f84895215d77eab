// SPDX-License-Identifier: MIT
// zavevuv's words for a file whose header is gone: how its audio reads, the
// rebuild made or that would be, or why none was.
#include <array>
#include <string>

#include "lines.h"
#include "text.h"

namespace zavevuv::cli {
namespace {

const char* ContainerName(int kind) {
  switch (kind) {
    case ZAVEVUV_KIND_RF64:
      return "RF64";
    case ZAVEVUV_KIND_W64:
      return "Wave64";
    case ZAVEVUV_KIND_AIFF:
      return "AIFF";
    case ZAVEVUV_KIND_AIFC:
      return "AIFF-C";
    default:
      return "WAV";
  }
}

}  // namespace

std::string ReadsAs(const zavevuv_report& r) {
  std::string text;
  switch (r.encoding) {
    case ZAVEVUV_ENCODING_ULAW:
      text = "mu-law";
      break;
    case ZAVEVUV_ENCODING_ALAW:
      text = "A-law";
      break;
    default:
      text = std::to_string(8 * r.sample_bytes) + "-bit" +
             (r.sample_bytes == 1 ? ""
              : r.big_endian != 0 ? " big-endian"
                                  : " little-endian") +
             (r.encoding == ZAVEVUV_ENCODING_FLOAT      ? " float"
              : r.encoding == ZAVEVUV_ENCODING_UNSIGNED ? " unsigned PCM"
                                                        : " PCM");
  }
  if (r.channels != 0) {
    text += r.channels == 1 ? ", mono" : ", " + std::to_string(r.channels) + " channels";
  }
  return text;
}

std::string Rebuilt(const zavevuv_report& r, bool check) {
  std::string line = std::string(check ? "would rebuild (" : "rebuilt (") +
                     kShapeWords[static_cast<std::size_t>(r.shape) % kShapeWords.size()] + ") as " +
                     ContainerName(r.kind) + ", " + ReadsAs(r) + ", " + Grouped(r.sample_rate) +
                     " Hz: data size " + Grouped(r.audio_bytes) + " bytes" +
                     Duration(r.frames, r.sample_rate);
  if (r.channels_assumed != 0) {
    line += "; which channel comes first cannot be told: the take's order is kept";
  }
  return line;
}

std::string Gone(const zavevuv_report& r) {
  const std::size_t shape = static_cast<std::size_t>(r.shape) % kShapeWords.size();
  const std::string word = std::string(WordsOf(r.outcome).word) +
                           (shape != 0 ? std::string(" (") + kShapeWords[shape] + ")" : "");
  if (r.refusal == ZAVEVUV_REFUSAL_NONE) {
    return word + ": its audio reads as " + ReadsAs(r) + "; " + kNameATake;
  }
  std::string line = word + ", not rebuilt: ";
  if (r.refusal == ZAVEVUV_REFUSAL_MISFIT) {
    line += "its audio reads as " + ReadsAs(r) + ", ";
  }
  return line + kRefusalWords[static_cast<std::size_t>(r.refusal) % kRefusalWords.size()];
}

}  // namespace zavevuv::cli
