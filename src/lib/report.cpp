// SPDX-License-Identifier: MIT
#include "report.h"

#include <cerrno>
#include <cstdint>

namespace zavevuv {

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
  }
  Give(to, full);
  return code;
}

int CheckEntry(int folder, const char* name, zavevuv_report* report) {
  return Run(report, [&] { return OnEntry(folder, name); });
}

}  // namespace zavevuv
