// SPDX-License-Identifier: MIT
#include "examine.h"

#include <algorithm>
#include <cerrno>

#include "fd.h"
#include "insert.h"
#include "rebuild.h"

namespace zavevuv {
namespace {

// The most bytes a look keeps of what it read past its first bytes, to
// compare a fresh look's with: the rest of the head and the file's last
// 64 KiB, with room to spare.
constexpr std::size_t kMostKept = 0x40000;

// Keeps a copy of a read, while the copies stay within kMostKept.
void Keep(Examined& look, std::uint64_t at, std::span<const unsigned char> bytes) {
  look.keptBytes += bytes.size();
  look.kept = look.kept && look.keptBytes <= kMostKept;
  if (look.kept) {
    look.reads.push_back({at, {bytes.begin(), bytes.end()}});
  } else {
    look.reads.clear();
  }
}

// Whether the `bytes` read at `at` are in the file there still.
bool StillThere(int fd, std::uint64_t at, std::span<const unsigned char> bytes) {
  std::vector<unsigned char> now(bytes.size());
  const auto got = ReadAt(fd, now, static_cast<std::int64_t>(at));
  return got && *got == now.size() && std::ranges::equal(now, bytes);
}

// What the file needs, with `like` where it may be rebuilt; a rebuild's
// insert cut off part-way is read from the file first.
Plan DecideWith(int fd, std::span<const unsigned char> head, std::uint64_t length,
                const ReadMore& more, const Like* like) {
  if (like == nullptr) {
    return Decide(head, length, more);
  }
  std::optional<RebuildInsert> made;
  if (like->take) {
    const IntentRead intent = ReadIntent(fd, true);
    if (intent.state == IntentRead::Failed) {
      Plan failed;
      failed.outcome = Outcome::ReadFailed;
      return failed;
    }
    if (intent.state == IntentRead::Found) {
      made = RebuildInsert{intent.intent.b, *intent.intent.partial, intent.intent.oldLength};
    }
  }
  return PlanRebuild(head, length, more, like->take, made);
}

}  // namespace

Examined Examine(int fd, std::uint64_t length, Buffer buffer, bool keep, const Like* like) {
  Examined look;
  look.length = length;
  look.kept = keep;
  const auto got =
      ReadAt(fd, buffer.first(static_cast<std::size_t>(std::min(length, kFirstBytes))), 0);
  if (!got) {
    look.plan.outcome = Outcome::ReadFailed;
    return look;
  }
  look.head = buffer.first(*got);  // shorter if the file shrank meanwhile
  const ReadMore more = [&](std::uint64_t offset, std::span<unsigned char> out) {
    const auto n = ReadAt(fd, out, static_cast<std::int64_t>(offset));
    const bool whole = n && *n == out.size();
    if (whole && look.kept) {
      Keep(look, offset, out);
    }
    return whole;
  };
  look.plan = DecideWith(fd, look.head, length, more, like);
  if (look.plan.insert == Insert::Make && !CanInsert(fd)) {
    // No block can be inserted here: what a repair can do is the fields'
    // "to the end", and a file that says so already needs nothing; a cut
    // file cannot be rebuilt.
    look.plan.insert = Insert::None;
    if (look.plan.found.shape == Shape::Cut) {
      look.plan.outcome = Outcome::HeaderGone;
      look.plan.found.refusal = Refusal::NoInsert;
    }
  }
  look.decided = true;
  return look;
}

std::optional<Take> ReadLike(const char* path) {
  const std::optional<RegularFile> file = OpenRegular(path);
  if (!file) {
    return std::nullopt;
  }
  std::vector<unsigned char> head(kFirstBytes);
  const auto length = static_cast<std::uint64_t>(file->st.st_size);
  const auto got = ReadAt(file->fd.get(), head, 0);
  if (!got) {
    return std::nullopt;
  }
  auto take = ReadTake(
      std::span(head).first(*got), length, [&](std::uint64_t offset, std::span<unsigned char> out) {
        const auto n = ReadAt(file->fd.get(), out, static_cast<std::int64_t>(offset));
        return n && *n == out.size();
      });
  errno = take ? 0 : EINVAL;
  return take;
}

Examined Again(int fd, std::uint64_t length, Buffer buffer, const Examined* first,
               const Like* like) {
  if (first == nullptr || !first->kept || first->length != length ||
      !StillThere(fd, 0, first->head) || !std::ranges::all_of(first->reads, [&](const Read& r) {
        return StillThere(fd, r.at, r.bytes);
      })) {
    return Examine(fd, length, buffer, false, like);
  }
  Examined same;
  same.head = first->head;  // in `buffer`, as the first look read it
  same.length = length;
  same.plan = first->plan;
  same.decided = true;
  return same;
}

}  // namespace zavevuv
