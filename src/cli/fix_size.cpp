// SPDX-License-Identifier: MIT
// What the command line does besides a single repair: the usage text and
// list mode.
#include <string>

#include "codes.h"
#include "messages.h"
#include "output.h"
#include "tool.h"
#include "zavevuv.h"

namespace zavevuv {

Outcome RepairFile(const std::string& path) {
  if (path.find('\0') != std::string::npos) {
    return Outcome::CannotOpen;  // no file has such a name; a cut one is another file
  }
  return OutcomeOf(zavevuv_repair(path.c_str(), nullptr));
}

void FIX_SIZE(const std::string& path) { PrintOut(Message(RepairFile(path), path)); }

void PrintUsage() { PrintOut(Usage()); }

int RunList(const char* listPath, const std::string& prefix) {
  const FileList list = ReadList(listPath);
  switch (list.status) {
    case ListStatus::CannotOpen:
      PrintOut(ListMissing(listPath));
      return 1;
    case ListStatus::CannotRead:
      PrintOut(ListUnreadable(listPath));
      return 1;
    case ListStatus::Read:
      break;
  }
  PrintOut(ListCount(list.names.size()));
  if (list.names.empty()) {
    return 1;
  }
  // The prefix is put directly in front of each name: no slash is added.
  for (const std::string& name : list.names) {
    FIX_SIZE(prefix + name);
  }
  if (list.more) {
    PrintOut(ListTooLong(listPath));
  }
  return 0;
}

}  // namespace zavevuv
