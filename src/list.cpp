// Reads the list file of list mode: names separated by line feeds.
#include <fcntl.h>
#include <sys/stat.h>

#include "fd.h"
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

  // Only the line feed separates; a carriage return, a space or a tab is part
  // of the name it stands in. Runs of line feeds give no empty names.
  FileList list;
  std::size_t from = 0;
  while (list.names.size() < most && from < text->size()) {
    std::size_t to = text->find('\n', from);
    if (to == std::string::npos) {
      to = text->size();
    }
    if (to > from) {
      list.names.emplace_back(*text, from, to - from);
    }
    from = to + 1;
  }
  return list;
}

}  // namespace zavevuv
