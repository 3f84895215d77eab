// SPDX-License-Identifier: MIT
#include "intent.h"

#include <fcntl.h>
#include <linux/falloc.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <string>
#include <string_view>
#include <utility>

namespace zavevuv {
namespace {

// "B OLDLENGTH" and " AT+LENGTH" for each hole; a rebuild's "P B OLDLENGTH"
// and the holes.
constexpr const char* kIntentName = "user.zavevuv_32uvo.insert";
constexpr const char* kRebuildName = "user.zavevuv_32uvo.rebuild";

const char* NameOf(bool rebuild) { return rebuild ? kRebuildName : kIntentName; }

// A number and what follows it, or nothing.
std::optional<std::uint64_t> Number(std::string_view& text) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end == text.data()) {
    return std::nullopt;
  }
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return value;
}

// "N" `separator` "M" at the start of `text`, taken off it.
std::optional<std::pair<std::uint64_t, std::uint64_t>> Pair(std::string_view& text,
                                                            char separator) {
  const auto first = Number(text);
  if (!first || !text.starts_with(separator)) {
    return std::nullopt;
  }
  text.remove_prefix(1);
  const auto second = Number(text);
  return second ? std::optional(std::pair(*first, *second)) : std::nullopt;
}

std::optional<Intent> ParseIntent(std::string_view text, bool rebuild) {
  std::optional<std::uint64_t> partial;
  if (rebuild && (!(partial = Number(text)) || !text.starts_with(' '))) {
    return std::nullopt;
  }
  text.remove_prefix(rebuild ? 1 : 0);
  const auto lengths = Pair(text, ' ');
  if (!lengths) {
    return std::nullopt;
  }
  Intent intent{lengths->first, lengths->second, {}, partial};
  while (text.starts_with(' ') && intent.holes.size() <= kMaxHoles) {
    text.remove_prefix(1);
    const auto hole = Pair(text, '+');
    if (!hole) {
      return std::nullopt;
    }
    intent.holes.push_back({hole->first, hole->second});
  }
  return text.empty() ? std::optional(intent) : std::nullopt;
}

// The holes a shift cut off at `cut` would leave of `before`: those after it
// moved on by `b`, a new one of `b` bytes at it, neighbours merged.
std::vector<Hole> ShiftedAt(const std::vector<Hole>& before, std::uint64_t cut, std::uint64_t b) {
  std::vector<Hole> after{{cut, b}};
  for (const Hole& hole : before) {
    after.push_back(hole.at >= cut ? Hole{hole.at + b, hole.length} : hole);
  }
  std::ranges::sort(after, {}, &Hole::at);
  std::vector<Hole> merged;
  for (const Hole& hole : after) {
    if (!merged.empty() && merged.back().at + merged.back().length == hole.at) {
      merged.back().length += hole.length;
    } else {
      merged.push_back(hole);
    }
  }
  return merged;
}

// Where the cut-off shift's hole is: the start of the one hole of `now` that
// a shift cut off within it explains, when exactly one does.
std::optional<std::uint64_t> ShiftedHole(const std::vector<Hole>& now, const Intent& intent) {
  std::optional<std::uint64_t> found;
  for (const Hole& hole : now) {
    if (hole.length < intent.b) {
      continue;
    }
    // The new block at the hole's start, or at its end where it merged with a
    // hole of the file's own before it.
    for (const std::uint64_t cut : {hole.at, hole.at + hole.length - intent.b}) {
      const bool inside = std::ranges::any_of(
          intent.holes, [&](const Hole& old) { return old.at < cut && cut < old.at + old.length; });
      if (!inside && ShiftedAt(intent.holes, cut, intent.b) == now) {
        if (found && *found != hole.at) {
          return std::nullopt;  // two holes would do: no telling which
        }
        found = hole.at;
      }
    }
  }
  return found;
}

}  // namespace

std::optional<std::vector<Hole>> Holes(int fd, std::uint64_t length, std::size_t most) {
  std::vector<Hole> holes;
  for (std::uint64_t at = 0; at < length;) {
    const off_t start = ::lseek(fd, static_cast<off_t>(at), SEEK_HOLE);
    if (start < 0) {
      return std::nullopt;
    }
    if (static_cast<std::uint64_t>(start) >= length) {
      break;
    }
    const off_t next = ::lseek(fd, start, SEEK_DATA);
    if (next < 0 && errno != ENXIO) {
      return std::nullopt;
    }
    const std::uint64_t end = next < 0 ? length : static_cast<std::uint64_t>(next);
    holes.push_back({static_cast<std::uint64_t>(start), end - static_cast<std::uint64_t>(start)});
    if (holes.size() > most) {
      return std::nullopt;
    }
    at = end;
  }
  return holes;
}

bool WriteIntent(int fd, const Intent& intent) {
  std::string value = intent.partial ? std::to_string(*intent.partial) + " " : "";
  value += std::to_string(intent.b) + " " + std::to_string(intent.oldLength);
  for (const Hole& hole : intent.holes) {
    value += " " + std::to_string(hole.at) + "+" + std::to_string(hole.length);
  }
  return ::fsetxattr(fd, NameOf(intent.partial.has_value()), value.data(), value.size(), 0) == 0 &&
         ::fsync(fd) == 0;
}

IntentRead ReadIntent(int fd, bool rebuild) {
  std::array<char, 2048> value{};
  const ssize_t got = ::fgetxattr(fd, NameOf(rebuild), value.data(), value.size());
  if (got < 0) {
    // No attribute, or a file system without user attributes: no insert was
    // ever made here. Anything else (EIO, a value too long) is not known.
    return {errno == ENODATA || errno == ENOTSUP ? IntentRead::None : IntentRead::Failed, {}};
  }
  const auto intent = ParseIntent({value.data(), static_cast<std::size_t>(got)}, rebuild);
  return intent ? IntentRead{IntentRead::Found, *intent} : IntentRead{IntentRead::Failed, {}};
}

void RemoveIntent(int fd, bool rebuild) { static_cast<void>(::fremovexattr(fd, NameOf(rebuild))); }

Shift TakeBackShift(const Fd& out, std::uint64_t length, const Intent& intent) {
  const auto holes = Holes(out.get(), length, kMaxHoles + 1);
  if (!holes) {
    return Shift::Left;
  }
  if (*holes == intent.holes) {
    RemoveIntent(
        out.get(),
        intent.partial.has_value());  // the insert never happened (the file may have grown since)
    return Shift::NeverMade;
  }
  const auto hole = length == intent.oldLength + intent.b && intent.b % kMinBlock == 0
                        ? ShiftedHole(*holes, intent)
                        : std::nullopt;
  if (!hole ||
      ::fallocate(out.get(), FALLOC_FL_COLLAPSE_RANGE, static_cast<off_t>(*hole),
                  static_cast<off_t>(intent.b)) != 0 ||
      ::fsync(out.get()) != 0) {
    return Shift::Left;
  }
  RemoveIntent(out.get(), intent.partial.has_value());
  return Shift::TakenBack;
}

}  // namespace zavevuv
