// SPDX-License-Identifier: MIT
// The built program, run as a user runs it: arguments in, exact standard
// output and exit status out, nothing on standard error.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "files.h"
#include "wavgen.h"

namespace {

std::string Fixed(const std::string& p) { return "Header was fixed successfully in " + p + ".\n"; }
std::string Good(const std::string& p) {
  return "The header in " + p + " appears to be correct.\n";
}
std::string Lost(const std::string& p) { return "File called " + p + " cannot be found.\n"; }
std::string Read(int n) { return "Read a list containing " + std::to_string(n) + " files\n"; }
std::string Unreadable(const std::string& p) { return "List called " + p + " cannot be read\n"; }
std::string Times(int n, const std::string& s) { return n == 0 ? "" : s + Times(n - 1, s); }
// The usage text, byte for byte, with the version the build was given.
std::string Usage() {
  std::string text = ReadFile(ZAVEVUV_TESTS "/usage.txt");
  return text.replace(text.find("@VERSION@"), 9, ZAVEVUV_VERSION);
}

const bool kRoot = geteuid() == 0;
// Root may write to any file, so permission rows run as nobody; anyone else
// runs them as themselves.
const std::string kAsNobody = kRoot ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
// Writes beyond a file-size limit of 0 fail (SIGXFSZ ignored, as a shell may).
const std::string kNoWrites = "ulimit -f 0; trap '' XFSZ; ";
// A machine without /proc: the program runs in a mount namespace without it,
// which only root may make. The sanitizers' runtime reads even its options
// from /proc, so their build runs this row with /proc; the plain build
// covers the fallback.
#ifdef ZAVEVUV_SANITIZED
const std::string kNoProc;
#else
const std::string kNoProc =
    "unshare --mount --propagation private sh -c 'umount -l /proc && exec \"$0\" \"$@\"' ";
#endif
// Every write to a file accepted and then lost, and fdatasync failing, as on
// a disk that fails when the page cache is flushed.
const std::string kLostSync =
    "ASAN_OPTIONS=verify_asan_link_order=0 ZAVEVUV_FAULT=lost-sync LD_PRELOAD='" ZAVEVUV_FAULTS
    "' ";

// A name with C0 (ESC, a line feed) and C1 controls (U+009B, a raw 0x9B) and a backslash.
const std::string kForged = "e\x1b[2J\xc2\x9b\x9b\\\n.wav";

// The files every row starts from, made afresh for each row.
void MakeFixture(const TempDir& dir) {
  std::filesystem::permissions(dir.path, std::filesystem::perms::all);
  const std::string longName = std::string(150, 'a') + "/" + std::string(150, 'b') + ".wav";
  std::filesystem::create_directories(dir / ("w/" + std::string(150, 'a')));
  for (const std::string& name :
       std::vector<std::string>{"bad.wav", "ro.wav", "rw.wav", "w/one.wav", "w/two.wav",
                                "w/four.wav", "w/" + longName}) {
    WriteFile(dir / name, wavgen::Build({.riff = 8, .stored = 0}));
  }
  WriteFile(dir / "rogood.wav", wavgen::Build({}));
  for (const char* name : {"ro.wav", "rogood.wav"}) {  // 0444: read by anyone, written by none
    std::filesystem::permissions(dir / name, std::filesystem::perms::owner_read |
                                                 std::filesystem::perms::group_read |
                                                 std::filesystem::perms::others_read);
  }
  std::filesystem::permissions(dir / "rw.wav", std::filesystem::perms::all);
  WriteFile(dir / "w/three.wav", wavgen::Build({}));
  WriteFile(dir / "cut.wav", "RIFF" + wavgen::Le32(0) + "WAVEdata\x01");
  WriteFile(dir / "take.aiff", wavgen::BuildAiff({.size = 0, .frames = 0, .stored = 0}));
  WriteFile(dir / "take.w64", wavgen::BuildW64({.size = 0, .stored = 24}));
  WriteFile(dir / "comm.aif", wavgen::BuildAiff({}).substr(0, 38));  // no SSND
  WriteFile(dir / "list.txt", "one.wav\n\n\ntwo.wav\nthree.wav");
  WriteFile(dir / "crlf.txt", "one.wav\r\n\r\n two.wav\r");
  WriteFile(dir / "many.txt", Times(600, "w/three.wav\n"));
  WriteFile(dir / "dup.txt", "bad.wav\nbad.wav\n");
  WriteFile(dir / "empty.txt", "\n\n");
  WriteFile(dir / "long.txt", longName);
  WriteFile(dir / "zero.txt", std::string("bad.wav\0\0x", 10));  // an empty name: binary
  WriteFile(dir / "w/a\nb.wav", wavgen::Build({.riff = 8, .stored = 0}));
  WriteFile(dir / kForged, wavgen::Build({.riff = 8, .stored = 0}));
  WriteFile(dir / "nul.txt", std::string("w/one.wav\0w/a\nb.wav\0", 20));  // find -print0
  WriteFile(dir / "over.txt", "bad.wav\n" + std::string(4096, 'o') + "\n");
  WriteFile(dir / "edge.txt", "w/" + std::string(4093, 'e') + "\r\n");  // 4,095 bytes and a CR
  mkfifo((dir / "fifo").c_str(), 0600);
  // A file only root may touch, linked to by another user and by root.
  std::filesystem::create_directories(dir / "root-only");
  WriteFile(dir / "root-only/take.wav", wavgen::Build({.riff = 8, .stored = 0}));
  std::filesystem::permissions(dir / "root-only", std::filesystem::perms::owner_all);
  for (const char* link : {"theirs.wav", "ours.wav"}) {
    std::filesystem::create_symlink("root-only/take.wav", dir / link);
  }
  static_cast<void>(lchown((dir / "theirs.wav").c_str(), 65534, 65534));
  // A folder another user owns: its links to root's folder and file, and to its own.
  WriteFile(dir / "root-only/secret.txt", "api_token=abc\n");
  std::filesystem::create_directories(dir / "udir/own");
  WriteFile(dir / "udir/own/take.wav", wavgen::Build({.riff = 8, .stored = 0}));
  WriteFile(dir / "udir.txt", "sub/take.wav\n");
  std::filesystem::create_symlink("../root-only", dir / "udir/sub");
  std::filesystem::create_symlink("own", dir / "udir/mine");
  std::filesystem::create_symlink("../root-only/secret.txt", dir / "udir/list.txt");
  // Its link through a folder only uid 4242 may search, back by "..": an oracle for root.
  std::filesystem::create_directories(dir / "victim/projectX");
  static_cast<void>(chown((dir / "victim").c_str(), 4242, 4242));
  std::filesystem::permissions(dir / "victim", std::filesystem::perms::owner_all);
  WriteFile(dir / "udir/probe.wav", wavgen::Build({.riff = 8, .stored = 0}));
  std::filesystem::create_symlink("../victim/projectX/../../udir/probe.wav", dir / "udir/x.wav");
  for (const char* name : {"udir", "udir/own", "udir/own/take.wav", "udir/sub", "udir/mine",
                           "udir/list.txt", "udir/probe.wav", "udir/x.wav"}) {
    static_cast<void>(lchown((dir / name).c_str(), 65534, 65534));
  }
}

struct Row {
  std::vector<std::string> args;
  std::string out;
  int status = 0;
  std::string input{};  // standard input
  std::string shell{};  // run before the program, or in front of it ($BIN is the program)
};

// Standard output, standard error and the exit status of one run, as one text.
std::string RunRow(const TempDir& dir, const Row& row) {
  // Output goes through a pipe, which a file-size limit does not touch.
  WriteFile(dir / ".in", row.input);
  std::string command = "cd '" + dir.path + "' && export BIN='" ZAVEVUV_BIN "' && cat .in | ((" +
                        row.shell + "\"$BIN\"";
  for (const std::string& arg : row.args) {
    command += " '" + arg + "'";
  }
  EXPECT_EQ(std::system((command + " 2>.err); echo $? >.status) | cat >.out").c_str()), 0);
  return ReadFile(dir / ".out") + "|" + ReadFile(dir / ".err") + "|" + ReadFile(dir / ".status");
}

// Each row in a fresh copy of the files.
void RunRows(std::span<const Row> rows) {
  for (const Row& row : rows) {
    const TempDir dir;
    MakeFixture(dir);
    EXPECT_EQ(RunRow(dir, row), row.out + "||" + std::to_string(row.status) + "\n")
        << row.shell << " " << (row.args.empty() ? "" : row.args[0]);
  }
}

TEST(CommandLine, RunsAsUsersRunIt) {
  const std::string longName = std::string(150, 'a') + "/" + std::string(150, 'b') + ".wav";
  const std::string quiet = " bad.wav >/dev/null; ";  // a first run whose message is not the row's
  const Row rows[] = {
      {{}, Usage(), 1},  // the 18 lines
      {{"bad.wav", "w/", "extra"}, Usage(), 1},
      {{"-h"}, Lost("-h")},
      {{"fifo"}, Lost("fifo")},
      {{"/dev/null"}, Lost("/dev/null")},
      {{"ro.wav"}, Lost("ro.wav"), 0, "", kAsNobody},
      {{"rogood.wav"}, Good("rogood.wav"), 0, "", kAsNobody},  // needs no write
      {{"rw.wav"}, Fixed("rw.wav"), 0, "", kAsNobody},
      {{"take.aiff"}, Fixed("take.aiff")},
      {{"take.w64"}, Good("take.w64"), 0, "", "\"$BIN\" take.w64 >/dev/null; "},
      {{"comm.aif"}, "Cannot find data block in wave file!\n"},
      {{"bad.wav"}, "Unable to write data to header in bad.wav.\n", 0, "", kNoWrites},
      {{"bad.wav"}, "Unable to write data to header in bad.wav.\n", 0, "", kLostSync},
      {{"bad.wav"}, Fixed("bad.wav"), 0, "", kLostSync + "\"$BIN\"" + quiet},  // the write was lost
      {{"bad.wav"}, "", 1, "", "exec >/dev/full; "},
      {{"bad.wav"},
       Good("bad.wav"),
       0,
       "",
       "\"$BIN\" bad.wav >/dev/full; "},  // repaired all the same
      {{"bad.wav"}, "", 1, "", "exec >&-; "},
      {{"bad.wav"}, Fixed("bad.wav")},
      {{kForged}, Fixed("e\\033[2J\\302\\233\\233\\\\n.wav")},  // escaped; the backslash as it is
      {{"list.txt"}, "Cannot find data block in wave file!\n"},
      {{"cut.wav"}, "The header in cut.wav is truncated.\n"},
      {{"list.txt", "w/"}, Read(3) + Fixed("w/one.wav") + Fixed("w/two.wav") + Good("w/three.wav")},
      {{"list.txt", "w"}, Read(3) + Lost("wone.wav") + Lost("wtwo.wav") + Lost("wthree.wav")},
      {{"crlf.txt", "w/"}, Read(2) + Fixed("w/one.wav") + Lost("w/ two.wav")},
      {{"many.txt", ""},
       Read(512) + Times(512, Good("w/three.wav")) +
           "List called many.txt names more than 512 files; the rest were not checked.\n"},
      {{"dup.txt", ""}, Read(2) + Fixed("bad.wav") + Good("bad.wav")},
      {{"zero.txt", ""}, Unreadable("zero.txt"), 1},
      {{"nul.txt", ""}, Read(2) + Fixed("w/one.wav") + Fixed("w/a\\nb.wav")},
      {{"/dev/stdin", ""},
       Read(2) + Fixed("w/four.wav") + Fixed("w/a\\nb.wav"),
       0,
       "",
       "find w -name 'four.wav' -print0 -o -name 'a?b.wav' -print0 | "},
      {{"/dev/zero", ""}, Unreadable("/dev/zero"), 1},  // a device: never opened
      {{"fifo", ""}, Unreadable("fifo"), 1},            // no writer in 2 seconds
      {{"/dev/null", ""}, Read(0), 1},
      {{"over.txt", ""},
       Read(2) + Fixed("bad.wav") + Lost(std::string(4096, 'o'))},  // said, not fatal
      {{"edge.txt", ""}, Read(1) + Lost("w/" + std::string(4093, 'e'))},
      {{"long.txt", "w/"}, Read(1) + Fixed("w/" + longName)},
      {{"/dev/stdin", "w/"}, Read(1) + Fixed("w/four.wav"), 0, "four.wav\n"},
      {{"nolist.txt", "w/"}, "List called nolist.txt does not exist\n", 1},
      {{"empty.txt", "w/"}, Read(0), 1},
      {{"w", "w/"}, Unreadable("w"), 1},
      {{"bad.wav", "bad.wav"}, Unreadable("bad.wav"), 1},
      {{"/dev/stdin", ""}, Unreadable("/dev/stdin"), 1, "", "yes '' | "},  // read to 4 MiB
  };
  RunRows(rows);
}

// Root's rule for links, and a machine without /proc (only root may unmount it).
TEST(CommandLine, AsRoot) {
  if (!kRoot) {
    GTEST_SKIP() << "needs root: root's rule for other users' links, and a run without /proc";
  }
  const Row rows[] = {
      {{"bad.wav"}, Fixed("bad.wav"), 0, "", kNoProc},
      {{"theirs.wav"}, Lost("theirs.wav"), 0},  // root: no user's link followed
      {{"ours.wav"}, Fixed("ours.wav"), 0},
      {{"udir/sub/take.wav"}, Lost("udir/sub/take.wav"), 0},  // a link mid-path
      {{"udir.txt", "udir/"}, Read(1) + Lost("udir/sub/take.wav"), 0},
      {{"udir/mine/take.wav"}, Fixed("udir/mine/take.wav"), 0},  // its own folder
      {{"udir/x.wav"}, Lost("udir/x.wav"), 0},                   // resolved with its owner's rights
      {{"udir/list.txt", ""}, "List called udir/list.txt does not exist\n", 1},
  };
  RunRows(rows);
}

}  // namespace
