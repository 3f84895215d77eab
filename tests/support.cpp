#include "support.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include <fcntl.h>

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "zavevuv-XXXXXX").string();
  path = mkdtemp(tmpl.data());
}

TempDir::~TempDir() { std::filesystem::remove_all(path); }

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadFile(const std::string& path, std::size_t offset, std::size_t count) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  std::string bytes;
  for (std::istreambuf_iterator<char> it(in), end; it != end && bytes.size() < count; ++it) {
    bytes += *it;
  }
  return bytes;
}

Ran RunTool(const std::vector<std::string>& args, const std::string& cwd,
            const std::string& input) {
  const TempDir capture;
  const std::string out = capture / "out";
  const std::string err = capture / "err";
  int feed[2];
  if (pipe(feed) != 0) {
    return {};
  }
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv{const_cast<char*>(ZAVEVUV_BIN)};
    for (const auto& a : args) {
      argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    dup2(feed[0], 0);
    close(feed[1]);
    dup2(open(out.c_str(), O_WRONLY | O_CREAT, 0600), 1);
    dup2(open(err.c_str(), O_WRONLY | O_CREAT, 0600), 2);
    if (chdir(cwd.c_str()) == 0) {
      execv(ZAVEVUV_BIN, argv.data());
    }
    _exit(127);
  }
  close(feed[0]);
  const bool fed = write(feed[1], input.data(), input.size()) == static_cast<ssize_t>(input.size());
  close(feed[1]);
  int status = 0;
  waitpid(pid, &status, 0);
  return {ReadFile(out), ReadFile(err), fed && WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}
