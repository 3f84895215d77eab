// The built program, run as a user runs it: arguments in, exact standard
// output and exit status out, nothing on standard error.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support.h"
#include "wavgen.h"

namespace {

const std::string kUsage =
    "\nzavevuv_32uvo 1.0 - WAV data length fixer\n\n"
    "This program will fix a wavefile header that indicates an incorrect file length.\n\n"
    "If you enter a single wavefile as the command line argument, one file will be "
    "checked/fixed.\n\n"
    "Example:\nzavevuv_32uvo guitar.wav\n\n"
    "If you enter 2 command line arguments:\n\n"
    "Argument 1 is a text file containing a list of wavefiles (512 max), each on a new line.\n"
    "Argument 2 is the directory of the wavefiles.  Include the slash.\n\n"
    "Example:\nzavevuv_32uvo mylist.txt WaveFiles/\n\n";

std::string Fixed(const std::string& p) { return "Header was fixed successfully in " + p + ".\n"; }
std::string Correct(const std::string& p) {
  return "The header in " + p + " appears to be correct.\n";
}
std::string Missing(const std::string& p) { return "File called " + p + " cannot be found.\n"; }
std::string Count(int n) { return "Read a list containing " + std::to_string(n) + " files\n"; }

std::string Times(int n, const std::string& s) {
  std::string all;
  for (int i = 0; i < n; ++i) {
    all += s;
  }
  return all;
}

struct Row {
  std::vector<std::string> args;
  std::string out;
  int status = 0;
  std::string input{};
};

TEST(CommandLine, RunsAsUsersRunIt) {
  const TempDir dir;
  const std::string damaged = wavgen::Build({.stored = 0});
  const std::string longName = std::string(150, 'a') + "/" + std::string(150, 'b') + ".wav";
  std::filesystem::create_directories(dir.path / "w" / std::string(150, 'a'));
  for (const char* name : {"bad.wav", "dup.wav", "w/one.wav", "w/two.wav", "w/four.wav"}) {
    WriteFile(dir / name, damaged);
  }
  WriteFile(dir / ("w/" + longName), damaged);
  WriteFile(dir / "w/three.wav", wavgen::Build({}));
  WriteFile(dir / "notag.bin", "RIFF\x04\0\0\0WAVE");
  WriteFile(dir / "cut.wav", std::string(36, 'x') + "data\x01");
  WriteFile(dir / "list.txt", "one.wav\n\n\ntwo.wav\nthree.wav");
  WriteFile(dir / "crlf.txt", "one.wav\r\n");
  WriteFile(dir / "many.txt", Times(600, "w/three.wav\n"));
  WriteFile(dir / "dup.txt", "dup.wav\ndup.wav\n");
  WriteFile(dir / "empty.txt", "\n\n");
  WriteFile(dir / "long.txt", longName + "\n");

  const Row rows[] = {
      {{}, kUsage, 1},
      {{"bad.wav", "w/", "extra"}, ""},
      {{"-h"}, Missing("-h")},
      {{"bad.wav"}, Fixed("bad.wav")},
      {{"bad.wav"}, Correct("bad.wav")},
      {{"notag.bin"}, "Cannot find data block in wave file!\n"},
      {{"cut.wav"}, "The header in cut.wav is truncated.\n"},
      {{"list.txt", "w/"},
       Count(3) + Fixed("w/one.wav") + Fixed("w/two.wav") + Correct("w/three.wav")},
      {{"list.txt", "w"},
       Count(3) + Missing("wone.wav") + Missing("wtwo.wav") + Missing("wthree.wav")},
      {{"crlf.txt", "w/"}, Count(1) + Missing("w/one.wav\r")},
      {{"many.txt", ""}, Count(512) + Times(512, Correct("w/three.wav"))},
      {{"dup.txt", ""}, Count(2) + Fixed("dup.wav") + Correct("dup.wav")},
      {{"long.txt", "w/"}, Count(1) + Fixed("w/" + longName)},
      {{"/dev/stdin", "w/"}, Count(1) + Fixed("w/four.wav"), 0, "four.wav\n"},
      {{"nolist.txt", "w/"}, "List called nolist.txt does not exist\n", 1},
      {{"empty.txt", "w/"}, Count(0), 1},
      {{"w", "w/"}, "List called w cannot be read\n", 1},
  };
  for (const Row& row : rows) {
    const Ran ran = RunTool(row.args, dir.path, row.input);
    const std::string call = row.args.empty() ? "(no arguments)" : row.args[0];
    EXPECT_EQ(ran.out, row.out) << call;
    EXPECT_EQ(ran.err, "") << call;
    EXPECT_EQ(ran.status, row.status) << call;
  }
}

}  // namespace
