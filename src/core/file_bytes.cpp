// SPDX-License-Identifier: MIT
#include "file_bytes.h"

#include <algorithm>

namespace zavevuv {

FileBytes::FileBytes(std::span<const unsigned char> head, std::uint64_t length,
                     const ReadMore& more, const Container& chunks)
    : head_(head.first(static_cast<std::size_t>(std::min<std::uint64_t>(head.size(), kHeadBytes)))),
      headEnd_(std::min(length, kHeadBytes)),
      length_(length),
      chunks_(chunks),
      more_(more) {}

std::optional<std::span<const unsigned char>> HeadTo(std::span<const unsigned char> head,
                                                     std::uint64_t end, const ReadMore& more,
                                                     std::vector<unsigned char>& whole) {
  if (head.size() >= end) {
    return head;
  }
  whole.resize(static_cast<std::size_t>(end));
  std::ranges::copy(head, whole.begin());
  if (!more || !more(head.size(), std::span(whole).subspan(head.size()))) {
    return std::nullopt;
  }
  return whole;
}

bool FileBytes::ReadHead() const {
  if (failed_ || !whole_.empty()) {
    return false;  // already read, or failed
  }
  const auto read = HeadTo(head_, headEnd_, more_, whole_);
  failed_ = !read;
  head_ = read.value_or(head_);
  return read.has_value();
}

bool FileBytes::Read(std::uint64_t at, std::span<unsigned char> out) {
  const std::uint64_t n = out.size();
  if (at > length_ || n > length_ - at) {
    return false;
  }
  if (InHead(at, n)) {
    std::ranges::copy(Head(at, n), out.begin());
    return true;
  }
  if (at < blockAt_ || at + n > blockAt_ + blockLength_) {
    const std::uint64_t start = std::min(at, length_ > kBlockBytes ? length_ - kBlockBytes : 0);
    blockAt_ = start;
    blockLength_ = std::min(kBlockBytes, length_ - start);
    block_.resize(kBlockBytes);
    if (!more_ || !more_(start, std::span(block_).first(blockLength_))) {
      blockLength_ = 0;
      failed_ = true;
      return false;
    }
  }
  std::copy_n(block_.begin() + static_cast<std::ptrdiff_t>(at - blockAt_), n, out.begin());
  return true;
}

std::span<const unsigned char> FileBytes::View(std::uint64_t at, std::uint64_t n) {
  if (InHead(at, n)) {
    return Head(at, n);
  }
  std::array<unsigned char, 1> last{};
  if (n == 0 || n > kBlockBytes || !Read(at + n - 1, last) || at < blockAt_) {
    return {};
  }
  return std::span(block_).subspan(static_cast<std::size_t>(at - blockAt_),
                                   static_cast<std::size_t>(n));
}

}  // namespace zavevuv
