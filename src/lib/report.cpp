// SPDX-License-Identifier: MIT
#include "report.h"

#include <cerrno>
#include <cstdint>

namespace zavevuv {
namespace {

int EncodingCode(const Encoding& encoding) {
  switch (encoding.kind) {
    case SampleKind::Int:
      return ZAVEVUV_ENCODING_PCM;
    case SampleKind::Unsigned:
      return ZAVEVUV_ENCODING_UNSIGNED;
    case SampleKind::Float:
      return ZAVEVUV_ENCODING_FLOAT;
    case SampleKind::Ulaw:
      return ZAVEVUV_ENCODING_ULAW;
    case SampleKind::Alaw:
      return ZAVEVUV_ENCODING_ALAW;
  }
  return ZAVEVUV_ENCODING_NONE;
}

// What a report tells of a file whose header is gone.
void Gone(zavevuv_report& full, const Found& found) {
  full.shape = static_cast<int>(found.shape);
  full.refusal = static_cast<int>(found.refusal);
  if (found.guess) {
    full.encoding = EncodingCode(found.guess->encoding);
    full.sample_bytes = found.guess->encoding.bytes;
    full.big_endian = found.guess->encoding.big && found.guess->encoding.bytes > 1 ? 1 : 0;
    full.channels = found.guess->channels;
    full.channels_assumed = found.guess->assumedOrder ? 1 : 0;
  }
}

}  // namespace

int Report(zavevuv_report* to, int code, const Result* result) {
  zavevuv_report full{};
  full.size = sizeof full;
  full.outcome = code;
  const bool failed = code == ZAVEVUV_CANNOT_OPEN || code == ZAVEVUV_READ_FAILED ||
                      code == ZAVEVUV_WRITE_FAILED || code == ZAVEVUV_NO_MEMORY ||
                      code == ZAVEVUV_BUSY;
  full.error = code == ZAVEVUV_INVALID ? EINVAL : failed ? errno : 0;
  full.data_chunk = ZAVEVUV_UNKNOWN;
  full.frames = ZAVEVUV_UNKNOWN;
  full.stated_frames = ZAVEVUV_UNKNOWN;
  if (result != nullptr) {
    full.data_chunk = result->found.dataChunk.value_or(ZAVEVUV_UNKNOWN);
    full.audio_bytes = result->found.audio;
    full.frames = result->found.frames.value_or(ZAVEVUV_UNKNOWN);
    full.stated_bytes = result->found.stated;
    full.fields = static_cast<unsigned>(result->fields);
    full.rf64 = result->rf64 ? 1 : 0;
    full.insert = result->insert ? 1 : 0;
    full.write_error = result->writeError;
    full.kind = KindCode(result->found.kind);
    full.sample_rate = static_cast<std::uint32_t>(result->found.sampleRate);
    full.stated_frames = result->found.statedFrames.value_or(ZAVEVUV_UNKNOWN);
    Gone(full, result->found);
  }
  Give(to, full);
  return code;
}

int CheckEntry(int folder, const char* name, zavevuv_report* report, const Like* like) {
  return Run(report, [&] { return OnEntry(folder, name, like); });
}

int WithLike(const char* path, const Like& like, Mode mode, zavevuv_report* report) {
  return Run(report, [&] { return OnPath(path, mode, &like); });
}

}  // namespace zavevuv
