// Checks and patches the size field of a WAV file's data chunk.
//
// The file as the repair sees it, h being the offset of the data tag:
//   0      .. h      whatever precedes the tag (RIFF header, other chunks)
//   h      .. h + 4  the tag "data"
//   h + 4  .. h + 8  the size field: the stored count of sample bytes
//   h + 8  .. end    the sample data, counted to the end of the file
// Nothing but the four bytes of the size field is ever written; the RIFF size
// at offset 4 is left as it is.
#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

#include "fd.h"
#include "output.h"
#include "zavevuv.h"

namespace zavevuv {
namespace {

constexpr std::int64_t kFirstProbe = 2;       // the tag is looked for from offset 2 ...
constexpr std::int64_t kLastProbe = 0x20000;  // ... to 131,072, the end of the first 128 KiB
constexpr std::int64_t kProbeStep = 2;        // chunks start at even offsets
constexpr std::int64_t kTagBytes = 4;         // h .. h + 4: "data"
constexpr std::int64_t kSizeField = 4;        // h + 4: the size field
constexpr std::int64_t kFirstSample = 8;      // h + 8: the first sample byte
constexpr std::int64_t kWindow = kLastProbe + kTagBytes;  // every probe lies in these bytes
constexpr std::int64_t kMaxCount = 0xFFFFFFFF;            // the most a size field can hold
constexpr std::int64_t kChunkHeader = 8;  // a chunk: 4-byte id, then its 4-byte size
constexpr int kMaxTrailingChunks = 64;    // chunks followed after the stated data
constexpr std::array<unsigned char, 4> kDataTag{'d', 'a', 't', 'a'};

// The first bytes of the file, read once with a single pread; reads further
// out go to the file.
class Head {
 public:
  Head(int fd, std::int64_t fileSize) : fd_(fd), fileSize_(fileSize) {}

  [[nodiscard]] bool Load() {
    bytes_.resize(static_cast<std::size_t>(std::min(fileSize_, kWindow)));
    const auto got = ReadAt(fd_, bytes_, 0);
    if (!got) {
      return false;
    }
    bytes_.resize(*got);  // the file may have shrunk since it was measured
    return true;
  }

  [[nodiscard]] std::int64_t FileSize() const { return fileSize_; }
  [[nodiscard]] std::span<const unsigned char> Bytes() const { return bytes_; }

  // Exactly out.size() bytes at `offset`, from memory when the head covers them.
  [[nodiscard]] bool Read(std::int64_t offset, std::span<unsigned char> out) const {
    const auto end = offset + static_cast<std::int64_t>(out.size());
    if (end <= static_cast<std::int64_t>(bytes_.size())) {
      std::copy_n(bytes_.begin() + offset, out.size(), out.begin());
      return true;
    }
    const auto got = ReadAt(fd_, out, offset);
    return got && *got == out.size();
  }

 private:
  int fd_;
  std::int64_t fileSize_;
  std::vector<unsigned char> bytes_;
};

// The offset of the first "data" tag at an even offset from 2 to 131,072.
std::optional<std::int64_t> FindTag(std::span<const unsigned char> bytes) {
  const auto size = static_cast<std::int64_t>(bytes.size());
  for (std::int64_t h = kFirstProbe; h <= kLastProbe && h + kTagBytes <= size; h += kProbeStep) {
    if (std::equal(kDataTag.begin(), kDataTag.end(), bytes.begin() + h)) {
      return h;
    }
  }
  return std::nullopt;
}

enum class Chain { Valid, Invalid, Unreadable };

// Whether the bytes from `from` to the end of the file are a run of chunks
// (LIST, id3, cue, ...) that ends exactly at the end. A chunk id is four
// printable ASCII bytes; an odd-sized body is followed by a pad byte, which
// the last chunk may lack.
Chain ChunksFillTail(const Head& head, std::int64_t from) {
  std::int64_t at = from;
  for (int chunk = 0; chunk < kMaxTrailingChunks; ++chunk) {
    if (at + kChunkHeader > head.FileSize()) {
      return Chain::Invalid;
    }
    std::array<unsigned char, kChunkHeader> header{};
    if (!head.Read(at, header)) {
      return Chain::Unreadable;
    }
    for (std::size_t i = 0; i < 4; ++i) {
      if (header[i] < 0x20 || header[i] > 0x7E) {
        return Chain::Invalid;
      }
    }
    const std::int64_t body = Assem4(std::span(header).subspan<4, 4>());
    at += kChunkHeader + body;
    if (at == head.FileSize() || at + (body & 1) == head.FileSize()) {
      return Chain::Valid;
    }
    at += body & 1;
  }
  return Chain::Invalid;
}

struct Verdict {
  Outcome outcome;
  std::int64_t fieldAt = 0;  // where the size field lies, for Fixed
  std::int64_t newSize = 0;  // the count to store there, for Fixed
};

Verdict Examine(const Head& head) {
  const auto tag = FindTag(head.Bytes());
  if (!tag) {
    return {Outcome::NoTag};
  }
  const std::int64_t h = *tag;
  const std::int64_t header = h + kFirstSample;
  if (header > head.FileSize()) {
    return {Outcome::Truncated};
  }
  std::array<unsigned char, 4> oldDsize_ch{};
  if (!head.Read(h + kSizeField, oldDsize_ch)) {
    return {Outcome::ReadFailed};
  }
  const std::int64_t oldDsize = Assem4(oldDsize_ch);
  const std::int64_t size = head.FileSize() - header;
  if (size == oldDsize) {
    return {Outcome::Correct};
  }
  if (size > oldDsize) {
    // More bytes than stated: a writer may have put a pad byte and further
    // chunks after the data. Such a file is valid and is left alone.
    const std::int64_t end = header + oldDsize + (oldDsize & 1);
    const Chain chain = end == head.FileSize() ? Chain::Valid : ChunksFillTail(head, end);
    if (chain == Chain::Unreadable) {
      return {Outcome::ReadFailed};
    }
    if (chain == Chain::Valid) {
      return {Outcome::Correct};
    }
  }
  if (size > kMaxCount) {
    return {Outcome::TooLarge};
  }
  return {Outcome::Fixed, h + kSizeField, size};
}

}  // namespace

Outcome RepairFile(const std::string& path) {
  if (path.find('\0') != std::string::npos) {
    return Outcome::CannotOpen;  // no file has such a name; a cut one is another file
  }
  // Non-blocking, so that a FIFO cannot hang the run; it is refused below.
  Fd fd = Fd::Open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (!fd) {
    return Outcome::CannotOpen;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    return Outcome::CannotOpen;
  }
  Head head(fd.get(), static_cast<std::int64_t>(st.st_size));
  if (!head.Load()) {
    return Outcome::ReadFailed;
  }
  const Verdict verdict = Examine(head);
  if (verdict.outcome != Outcome::Fixed) {
    return verdict.outcome;  // nothing was written; closing quietly loses nothing
  }
  std::array<unsigned char, 4> sizeSub2{};
  Decon4(verdict.newSize, sizeSub2);
  if (!WriteAt(fd.get(), sizeSub2, verdict.fieldAt)) {
    return Outcome::WriteFailed;
  }
  // A write the kernel accepted can still be lost; close reports that.
  return fd.Close() ? Outcome::Fixed : Outcome::WriteFailed;
}

std::string Message(Outcome outcome, std::string_view path) {
  switch (outcome) {
    case Outcome::CannotOpen:
      return Format("File called %s cannot be found.\n", path);
    case Outcome::ReadFailed:
      return Format("Unable to read header in %s.\n", path);
    case Outcome::NoTag:
      return "Cannot find data block in wave file!\n";
    case Outcome::Truncated:
      return Format("The header in %s is truncated.\n", path);
    case Outcome::Correct:
      return Format("The header in %s appears to be correct.\n", path);
    case Outcome::TooLarge:
      return Format("Data block in %s is too large for a wave file header.\n", path);
    case Outcome::Fixed:
      return Format("Header was fixed successfully in %s.\n", path);
    case Outcome::WriteFailed:
      return Format("Unable to write data to header in %s.\n", path);
  }
  return {};
}

void FIX_SIZE(const std::string& path) { Say(Message(RepairFile(path), path)); }

}  // namespace zavevuv
