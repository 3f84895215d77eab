// Reads the list file of list mode: names separated by line feeds.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <span>

#include "fd.h"
#include "plan.h"
#include "zavevuv.h"

namespace zavevuv {

FileList ReadList(const char* path, std::size_t most) {
  // Blocking: a named pipe is waited on like any reader of it would.
  Fd fd = Fd::Open(path, O_RDONLY | O_CLOEXEC);
  if (!fd) {
    return {ListStatus::CannotOpen, {}};
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    return {ListStatus::CannotRead, {}};
  }
  // A regular file is read in one read of its length; a pipe, a terminal or
  // /dev/stdin until its end.
  const std::size_t expected = S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) : 0;
  const auto text = ReadToEnd(fd.get(), expected);
  if (!text) {
    return {ListStatus::CannotRead, {}};  // a directory, or a read error
  }

  // A WAVE file given where a list belongs: its bytes are no names.
  if (IsWaveHeader(std::span(reinterpret_cast<const unsigned char*>(text->data()), text->size()))) {
    return {ListStatus::CannotRead, {}};
  }

  // Only the line feed separates; a carriage return ending a line (a list
  // saved with CR LF) is dropped, and a space or a tab is part of the name it
  // stands in. Runs of line feeds give no empty names.
  FileList list;
  std::size_t from = 0;
  while (from < text->size()) {
    std::size_t to = std::min(text->find('\n', from), text->size());
    const std::size_t next = to + 1;
    if (to > from && (*text)[to - 1] == '\r') {
      --to;
    }
    if (to > from) {
      if (list.names.size() == most) {
        list.more = true;
        break;
      }
      list.names.emplace_back(*text, from, to - from);
    }
    from = next;
  }
  return list;
}

}  // namespace zavevuv
