// Scratch folders, files and runs of the built program, for the tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string operator/(const std::string& name) const { return (path / name).string(); }
  std::filesystem::path path;
};

void WriteFile(const std::string& path, const std::string& bytes);
// `count` bytes from `offset`, or to the end of the file.
std::string ReadFile(const std::string& path, std::size_t offset = 0, std::size_t count = SIZE_MAX);

struct Ran {
  std::string out;
  std::string err;
  int status = -1;
};

// Runs the program in `cwd` with `input` piped to its standard input.
Ran RunTool(const std::vector<std::string>& args, const std::string& cwd,
            const std::string& input = "");

// Runs `body` in a child process and returns its exit status, so that a test
// can drop privileges or lower limits without touching the test runner.
inline int InChild(const auto& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
