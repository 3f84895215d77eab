// Each input is a file's bytes. The repair runs on it, and whatever it did is
// checked against what it may do; any breach aborts.
//   - The length never changes, and no byte outside the four at h + 4 does.
//   - When those four change, they hold the count of bytes after them, and
//     the outcome is the one reported as "Header was fixed successfully".
//   - Exactly one message line is reported, for an outcome the tool knows.
//   - A second run on the result writes nothing.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

#include "zavevuv.h"

namespace {

using zavevuv::Outcome;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "breach: %s\n", what);
    std::abort();
  }
}

std::string ScratchFile() {
  std::string name = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
  name += "/fuzz_repair-XXXXXX";
  const int fd = mkstemp(name.data());
  Check(fd >= 0, "no scratch file");
  close(fd);
  return name;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Where the size field lies, found here independently of the tool: after
// the first "data" at an even offset from 2 to 131,072.
std::int64_t SizeFieldOf(const std::string& bytes) {
  for (std::size_t h = 2; h <= 131072 && h + 4 <= bytes.size(); h += 2) {
    if (bytes.compare(h, 4, "data") == 0) {
      return static_cast<std::int64_t>(h) + 4;
    }
  }
  return -1;
}

std::uint64_t Le32At(const std::string& bytes, std::size_t at) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    v |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  }
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = ScratchFile();
  const std::string in(reinterpret_cast<const char*>(data), size);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << in;

  const Outcome outcome = zavevuv::RepairFile(path);
  const std::string message = zavevuv::Message(outcome, path);
  Check(!message.empty() && message.find('\n') == message.size() - 1, "not one message line");

  const std::string out = Slurp(path);
  Check(out.size() == in.size(), "length changed");
  const std::int64_t field = SizeFieldOf(in);
  const auto f = static_cast<std::size_t>(field);
  const bool changed = out != in;
  if (changed) {
    Check(field >= 0 && f + 4 <= in.size(), "changed a file without a size field");
    Check(out.compare(0, f, in, 0, f) == 0 && out.compare(f + 4, std::string::npos, in, f + 4) == 0,
          "changed a byte outside the size field");
    Check(Le32At(out, f) == in.size() - f - 4, "size field does not count the bytes after it");
  }
  Check(changed == (outcome == Outcome::Fixed), "a change not reported as a fix, or the reverse");
  Check(changed == (message.rfind("Header was fixed successfully in ", 0) == 0), "wrong message");

  const Outcome again = zavevuv::RepairFile(path);
  Check(Slurp(path) == out, "a second run wrote");
  Check(again == (changed ? Outcome::Correct : outcome), "a second run saw something else");
  return 0;
}
