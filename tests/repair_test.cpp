#include <cstdint>
#include <string>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "support.h"
#include "wavgen.h"
#include "zavevuv.h"

using wavgen::Build;
using wavgen::Chunk;
using wavgen::Le32;
using zavevuv::Outcome;
using zavevuv::RepairFile;

namespace {

struct Case {
  const char* name;
  std::string in;
  Outcome outcome;
  std::int64_t patchAt = -1;  // where the four size bytes change, if they do
  std::uint32_t patched = 0;  // what they then hold
};

std::string Patched(std::string bytes, std::int64_t at, std::uint32_t value) {
  if (at >= 0) {
    bytes.replace(static_cast<std::size_t>(at), 4, Le32(value));
  }
  return bytes;
}

const std::string kPad(1, '\0');

TEST(Repair, ChecksAndPatchesOnlyTheSizeField) {
  const Case cases[] = {
      {"crashed recording", Build({.stored = 0}), Outcome::Fixed, 40, 800},
      {"correct header", Build({}), Outcome::Correct},
      {"copy cut short", Build({.stored = 5000}), Outcome::Fixed, 40, 800},
      {"top byte 0x80 counts positive", Build({.stored = 0x80000000}), Outcome::Fixed, 40, 800},
      {"tag at 131072", Build({.before = Chunk("junk", std::string(131028, '\0')), .stored = 0}),
       Outcome::Fixed, 131076, 800},
      {"tag at 131074", Build({.before = Chunk("junk", std::string(131030, '\0'))}),
       Outcome::NoTag},
      {"tag at odd offset only", std::string(37, 'x') + "data" + Le32(0) + "abcd", Outcome::NoTag},
      {"tag in capitals", std::string(36, 'x') + "DATA" + Le32(0) + "abcd", Outcome::NoTag},
      {"empty file", "", Outcome::NoTag},
      {"five bytes", "RIFFd", Outcome::NoTag},
      {"ends inside the size field", std::string(36, 'x') + "data\x01\x02", Outcome::Truncated},
      {"first even tag wins, even in metadata", Build({.before = Chunk("note", "data")}),
       Outcome::Fixed, 48, 804},
      {"LIST chunk after the data", Build({.after = Chunk("LIST", "INFOISFTabcd")}),
       Outcome::Correct},
      {"pad byte after odd data", Build({.samples = wavgen::Tone(801), .after = kPad}),
       Outcome::Correct},
      {"pad, then a last chunk without its pad",
       Build({.samples = wavgen::Tone(801), .after = kPad + "id3 " + Le32(3) + "abc"}),
       Outcome::Correct},
      {"bytes after the data that are no chunk", Build({.after = "\x01\x02\x03"}), Outcome::Fixed,
       40, 803},
      {"chunk running past the end", Build({.after = "LIST" + Le32(100) + "abc"}), Outcome::Fixed,
       40, 811},
  };
  const TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / "t.wav";
    WriteFile(path, c.in);
    EXPECT_EQ(RepairFile(path), c.outcome);
    EXPECT_EQ(ReadFile(path), Patched(c.in, c.patchAt, c.patched));
    if (c.outcome == Outcome::Fixed) {
      EXPECT_EQ(RepairFile(path), Outcome::Correct) << "a second run";
    }
  }
}

TEST(Repair, RefusesWhatIsNotARegularWritableFile) {
  const TempDir dir;
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);  // must not hang
  for (const std::string& name : {std::string("missing.wav"), std::string("fifo"), std::string("."),
                                  std::string("a\0b", 3)}) {
    EXPECT_EQ(RepairFile(dir / name), Outcome::CannotOpen) << name;
  }
}

TEST(Repair, NeedsWritePermission) {
  // Root may write to any file, so the check runs as nobody.
  const TempDir dir;
  std::filesystem::permissions(dir.path, std::filesystem::perms::all);
  const std::string bytes = Build({.stored = 0});
  for (const auto& [mode, outcome] :
       {std::pair{0444, Outcome::CannotOpen}, {0666, Outcome::Fixed}}) {
    WriteFile(dir / "t.wav", bytes);
    chmod((dir / "t.wav").c_str(), static_cast<mode_t>(mode));
    const int got = InChild([&] {
      if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
        return 99;
      }
      return static_cast<int>(RepairFile(dir / "t.wav"));
    });
    EXPECT_EQ(got, static_cast<int>(outcome)) << mode;
  }
  EXPECT_EQ(ReadFile(dir / "t.wav"), Patched(bytes, 40, 800));
}

TEST(Repair, AFailedWriteIsNeverASuccess) {
  const TempDir dir;
  const std::string bytes = Build({.stored = 0});
  WriteFile(dir / "t.wav", bytes);
  const int got = InChild([&] {
    const rlimit none{0, 0};
    signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &none);
    return static_cast<int>(RepairFile(dir / "t.wav"));
  });
  EXPECT_EQ(got, static_cast<int>(Outcome::WriteFailed));
  EXPECT_EQ(ReadFile(dir / "t.wav"), bytes);
}

TEST(Repair, HugeFilesCostTheSameAndAreNeverWrapped) {
  // Sparse files: the size is real, the disk blocks are not.
  const std::pair<std::int64_t, Outcome> cases[] = {
      {0xFFFFFFFF, Outcome::Fixed},
      {0x100000000, Outcome::TooLarge},
  };
  const TempDir dir;
  for (const auto& [samples, outcome] : cases) {
    const std::string path = dir / "big.wav";
    WriteFile(path, Build({.samples = "", .stored = 0}));
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(44 + samples));
    EXPECT_EQ(RepairFile(path), outcome);
    EXPECT_EQ(ReadFile(path, 40, 4), Le32(outcome == Outcome::Fixed ? 0xFFFFFFFF : 0));
  }
}

}  // namespace
