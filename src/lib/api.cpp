// SPDX-License-Identifier: MIT
// The C interface: each entry point runs the check or the repair, turns
// what it found into the caller's report, and lets no exception out.
#include <cerrno>
#include <cstddef>
#include <new>

#include "report.h"

using zavevuv::Mode;

namespace zavevuv {
namespace {

// The take read, then the file checked or rebuilt from it (or, with none, a
// file whose header is gone said what it reads as). A take that cannot be
// read is an invalid argument: nothing is done.
int CheckOrRebuild(const char* path, const char* like, Mode mode, zavevuv_report* report) {
  if (path == nullptr || !Fits(report)) {
    return Report(report, ZAVEVUV_INVALID, nullptr);
  }
  zavevuv::Like take;
  try {
    if (like != nullptr && !(take.take = ReadLike(like))) {
      return Report(report, ZAVEVUV_INVALID, nullptr);
    }
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
    return Report(report, ZAVEVUV_NO_MEMORY, nullptr);
  }
  return WithLike(path, take, mode, report);
}

}  // namespace
}  // namespace zavevuv

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

int zavevuv_check_like(const char* path, const char* like, zavevuv_report* report) {
  return zavevuv::CheckOrRebuild(path, like, Mode::Check, report);
}

int zavevuv_rebuild(const char* path, const char* like, zavevuv_report* report) {
  return like == nullptr ? zavevuv::Report(report, ZAVEVUV_INVALID, nullptr)
                         : zavevuv::CheckOrRebuild(path, like, Mode::Repair, report);
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
