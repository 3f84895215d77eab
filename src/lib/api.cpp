// SPDX-License-Identifier: MIT
// The C interface: each entry point runs the check or the repair, turns
// what it found into the caller's report, and lets no exception out.
#include <cstddef>

#include "report.h"

using zavevuv::Mode;

extern "C" {

int zavevuv_check(const char* path, zavevuv_report* report) {
  if (path == nullptr) {
    return zavevuv::Report(report, ZAVEVUV_INVALID, nullptr);
  }
  return zavevuv::Run(report, [&] { return zavevuv::OnPath(path, Mode::Check); });
}

int zavevuv_repair(const char* path, zavevuv_report* report) {
  if (path == nullptr) {
    return zavevuv::Report(report, ZAVEVUV_INVALID, nullptr);
  }
  return zavevuv::Run(report, [&] { return zavevuv::OnPath(path, Mode::Repair); });
}

int zavevuv_check_fd(int fd, zavevuv_report* report) {
  return zavevuv::Run(report, [&] { return zavevuv::OnDescriptor(fd, Mode::Check); });
}

int zavevuv_repair_fd(int fd, zavevuv_report* report) {
  return zavevuv::Run(report, [&] { return zavevuv::OnDescriptor(fd, Mode::Repair); });
}

const char* zavevuv_outcome_name(int outcome) {
  return outcome >= 0 && outcome < static_cast<int>(zavevuv::kCodes.size())
             ? zavevuv::kCodes[static_cast<std::size_t>(outcome)].name
             : "unknown";
}

const char* zavevuv_version(void) { return ZAVEVUV_VERSION_STRING; }

int zavevuv_version_number(void) { return ZAVEVUV_VERSION_NUMBER; }

}  // extern "C"
