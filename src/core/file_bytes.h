// SPDX-License-Identifier: MIT
// The bytes of one file as the decision sees them: its first bytes in memory,
// anything further on request through a callback, a block at a time. The
// decision never holds a descriptor.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "container.h"
#include "format.h"

namespace zavevuv {

// The probe for "data" looks no further than this offset.
inline constexpr std::uint64_t kProbeEnd = 0x20000;
// The file's head: every chunk header that usually comes before the data
// chunk, and "data" itself at the probe's end.
inline constexpr std::uint64_t kHeadBytes = kProbeEnd + 4;
// What is read of the head at first: every real writer's header, bext, iXML
// and JUNK included. The rest of the head is read, at once, only when the
// walk needs a byte of it.
inline constexpr std::uint64_t kFirstBytes = 0x2000;

// What one read past the head covers; near the end, the file's last bytes.
inline constexpr std::size_t kBlockBytes = 0x10000;

// Reads exactly out.size() bytes at `offset`, past the head; false when it
// cannot. Only chunk headers past the head, the chunks after the audio and
// the tags appended to the file are read this way, in blocks of 64 KiB.
using ReadMore = std::function<bool(std::uint64_t offset, std::span<unsigned char> out)>;

// `head`, and after it, read through `more` into `whole`, the bytes up to
// `end`: the head as far as `end`; nothing when that read fails.
std::optional<std::span<const unsigned char>> HeadTo(std::span<const unsigned char> head,
                                                     std::uint64_t end, const ReadMore& more,
                                                     std::vector<unsigned char>& whole);

class FileBytes {
 public:
  // A file of `length` bytes whose first bytes are `head` (past kHeadBytes
  // ignored); the rest of its head, min(length, kHeadBytes), is read when
  // first asked for.
  // Its chunks are laid out as `chunks` says.
  FileBytes(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more,
            const Container& chunks);

  [[nodiscard]] std::uint64_t Length() const { return length_; }
  [[nodiscard]] const Container& Chunks() const { return chunks_; }
  // Whether a read past the head failed: nothing may then be decided.
  [[nodiscard]] bool Failed() const { return failed_; }
  // Whether the `n` bytes at `at` lie in the head (read now where they were
  // not yet), so that Head may give them.
  [[nodiscard]] bool InHead(std::uint64_t at, std::uint64_t n) const {
    return at + n <= head_.size() || (at + n <= headEnd_ && ReadHead() && at + n <= head_.size());
  }
  // `n` bytes at `at`; only for bytes InHead.
  [[nodiscard]] std::span<const unsigned char> Head(std::uint64_t at, std::uint64_t n) const {
    return head_.subspan(static_cast<std::size_t>(at), static_cast<std::size_t>(n));
  }
  template <std::size_t N>
  [[nodiscard]] std::span<const unsigned char, N> Head(std::uint64_t at) const {
    return head_.subspan(static_cast<std::size_t>(at)).first<N>();
  }
  [[nodiscard]] bool Is(std::uint64_t at, const Id& id) const {
    return InHead(at, 4) && IsId(Head(at, 4), id);
  }
  // Exactly out.size() bytes at `at`, all within the file. Bytes past the
  // head come from a block of up to 64 KiB read at once; near the end the
  // block is the file's last 64 KiB, so the tags and a chain of small chunks
  // there cost one read.
  bool Read(std::uint64_t at, std::span<unsigned char> out);
  // The `n` bytes at `at` as they lie in memory, where they all lie in the
  // head or in the file's last 64 KiB (read at once); empty when not.
  std::span<const unsigned char> View(std::uint64_t at, std::uint64_t n);

 private:
  // The rest of the head, after what was given; false when it cannot be read.
  bool ReadHead() const;

  // The head as far as it is read: the caller's bytes, or all of it, in
  // whole_. Reading the rest changes nothing a caller was given.
  mutable std::span<const unsigned char> head_;
  mutable std::vector<unsigned char> whole_;
  std::uint64_t headEnd_;
  std::uint64_t length_;
  Container chunks_;
  const ReadMore& more_;
  std::vector<unsigned char> block_;  // allocated at the first read past the head
  std::uint64_t blockAt_ = 0;
  std::size_t blockLength_ = 0;
  mutable bool failed_ = false;
};

}  // namespace zavevuv
