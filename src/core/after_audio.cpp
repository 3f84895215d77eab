// SPDX-License-Identifier: MIT
#include "after_audio.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "codec.h"
#include "format.h"
#include "tags.h"

namespace zavevuv {
namespace {

constexpr int kMaxChainChunks = 1024;  // chunks followed after the stated audio
// Chains are looked for from the end within the block the tags already read.
constexpr std::uint64_t kWindow = kBlockBytes;
constexpr std::uint64_t kWrap = 0x100000000;  // 2^32: a wrapped size lacks multiples of it

// A chunk header that the end of the file cuts short at `at`: the form ends
// before it.
Ending CutHeader(std::uint64_t at) { return {.tail = Tail::Cut, .formEnd = at, .exact = true}; }

// The bytes from `at` to the end of the file, fewer than a chunk's id: the
// start of an after-audio id, cut there, or not.
Ending ShortTail(FileBytes& file, std::uint64_t at) {
  std::array<unsigned char, kMostHeader> bytes{};
  const auto got = std::span(bytes).first(static_cast<std::size_t>(file.Length() - at));
  if (!file.Read(at, got)) {
    return {Tail::Unreadable};
  }
  return StartsKnownAfterAudio(file.Chunks(), got) ? CutHeader(at) : Ending{};
}

// Whether the bytes from `from` are chunks a writer put after the audio: a
// chain of chunks ending at one of `ends` (the last padding may be missing),
// or one whose last chunk, id or tag after it a cut copy left short, when
// every id in it is one that writers put after the audio. `unpadded`: the
// audio's padding is missing and `from` is right after it.
Ending Chain(FileBytes& file, std::uint64_t from, std::span<const std::uint64_t> ends,
             bool unpadded) {
  const Container& chunks = file.Chunks();
  const std::uint64_t n = chunks.Header();
  const auto isEnd = [&](std::uint64_t at) { return std::ranges::find(ends, at) != ends.end(); };
  if (isEnd(from)) {
    return {Tail::Chunks, from, unpadded};
  }
  bool known = true;
  std::uint64_t at = from;
  for (int chunk = 0; chunk < kMaxChainChunks; ++chunk) {
    const std::uint64_t left = file.Length() - at;
    if (known && CutTagAt(file, at)) {
      return {Tail::Cut};
    }
    if (left < chunks.idBytes) {
      return known ? ShortTail(file, at) : Ending{};
    }
    std::array<unsigned char, kMostHeader> header{};
    const auto got = std::span(header).first(static_cast<std::size_t>(std::min(left, n)));
    if (!file.Read(at, got)) {
      return {Tail::Unreadable};
    }
    if (chunks.box != Box::W64 && !Printable(header)) {
      return {};
    }
    known = known && KnownAfterAudio(chunks, IdOf(chunks, got));
    if (left < n) {
      return known ? CutHeader(at) : Ending{};  // cut inside the size field
    }
    const std::optional<std::uint64_t> size = BodyOf(chunks, got);
    if (!size) {
      return {};
    }
    if (*size > left - n) {
      return {known ? Tail::Cut : Tail::Other};  // cut inside the body
    }
    const std::uint64_t end = at + n + *size;
    const std::uint64_t pad = chunks.Pad(*size);
    if (isEnd(end + pad)) {
      return {Tail::Chunks, end + pad, false};
    }
    if (pad != 0 && isEnd(end)) {
      return {Tail::Chunks, end, true};
    }
    at = end + pad;
    if (at >= file.Length()) {
      return {};
    }
  }
  return {Tail::Long};  // still parsing: a chain longer than is followed
}

constexpr Id kList = MakeId("LIST");
// The types of the LIST chunks that writers append after the audio.
constexpr std::array kListTypes = {MakeId("INFO"), MakeId("adtl")};

// Whether `audio` bytes after the first sample lie at whole frames, or at
// the padding after them (the pad byte after an odd number of bytes).
bool WholeFrames(std::uint64_t audio, std::uint64_t frame, const Container& chunks) {
  if (frame == 0 || audio % frame == 0) {
    return frame != 0;
  }
  for (std::uint64_t pad = 1; pad < chunks.align && pad <= audio; ++pad) {
    if ((audio - pad) % frame == 0 && chunks.Pad(audio - pad) == pad) {
      return true;
    }
  }
  return false;
}

// Whether the chunk whose header starts `bytes`, running past the end of the
// file, may be one a writer was killed while appending: a RIFF LIST only of
// a known type, or one whose type the end of the file cuts (a prefix of one).
bool CutOff(const Container& chunks, std::span<const unsigned char> bytes) {
  if (chunks.box != Box::Riff || !IsId(bytes, kList) || bytes.size() <= kChunkHeader) {
    return true;
  }
  const auto type = bytes.subspan(kChunkHeader, std::min<std::size_t>(4, bytes.size() - 8));
  return std::ranges::any_of(kListTypes, [&](const Id& known) {
    return std::ranges::equal(type, std::span(known).first(type.size()));
  });
}

// What a scan from the form's end backward found, each in ascending order.
struct Scan {
  std::vector<ChainStart> starts;  // chains that end at the form's end
  std::vector<ChainStart> cut;     // chunks that run past the end of the file, cut off
  // LIST chunks of those chains, and cut off: where their sub-chunks lie.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> lists;
};

// Every offset in `window` (from `lo` to the form's end) at which a chain of
// after-audio chunks starts that ends at the form's end, or one that ends in
// a chunk cut off (its body, its type or its size); a chain's next chunk is
// no start of its own. Only the offsets where such an id starts are looked
// at, last first.
Scan ScanFromEnd(std::span<const unsigned char> window, std::uint64_t lo, std::uint64_t length,
                 const FromEnd& where) {
  const Container& chunks = where.chunks;
  const std::uint64_t n = chunks.Header();
  const std::uint64_t formEnd = where.formEnd;
  std::vector<std::uint64_t> ids = AfterAudioIdsIn(chunks, window, lo);  // from lo
  for (std::uint64_t k = n - 1; formEnd == length && k >= chunks.idBytes; --k) {
    const std::uint64_t at = window.size() - k;  // an id whose size the end of the file cuts
    if (window.size() >= k && (lo + at) % chunks.align == 0 &&
        KnownAfterAudio(chunks, IdOf(chunks, window.subspan(static_cast<std::size_t>(at))))) {
      ids.push_back(at);
    }
  }
  struct Mark {
    bool reaches = false;     // a chain from here ends at the form's end
    bool followsOne = false;  // a chunk of such a chain ends here
    bool unpadded = false;    // that chain's last chunk lacks its pad byte
    bool cutEnd = false;      // a chain from here ends in a chunk cut off
    bool followsCut = false;  // a chunk of such a chain ends here
  };
  std::vector<Mark> marks(ids.size());
  // The mark of the id at `at`, where one starts there.
  const auto markAt = [&](std::uint64_t at) -> Mark* {
    const auto found = std::ranges::lower_bound(ids, at - lo);
    return found != ids.end() && *found == at - lo
               ? &marks[static_cast<std::size_t>(found - ids.begin())]
               : nullptr;
  };
  std::vector<std::uint64_t> reaching;  // backward
  Scan scan;
  for (std::size_t k = ids.size(); k-- > 0;) {
    const std::uint64_t at = lo + ids[k];
    const auto bytes = window.subspan(static_cast<std::size_t>(ids[k]));
    const std::optional<std::uint64_t> body =
        bytes.size() < n ? std::optional(length) : BodyOf(chunks, bytes);
    if (!body) {
      continue;
    }
    const bool cut = bytes.size() < n || *body > length - at - n;
    const std::uint64_t size = cut ? length : *body;
    const std::uint64_t end = cut ? length + 1 : at + n + size;
    const bool list = chunks.box == Box::Riff && IsId(bytes, kList);
    const std::uint64_t next = end + chunks.Pad(size);
    const bool last = next == formEnd || (next != end && end == formEnd);
    Mark* const following = last || next >= formEnd ? nullptr : markAt(next);
    if (cut ? CutOff(chunks, bytes) : following != nullptr && following->cutEnd) {
      marks[k].cutEnd = true;
      if (following != nullptr) {
        following->followsCut = true;
      }
      if (list) {
        scan.lists.emplace_back(at, end);
      }
      continue;
    }
    if (cut || (!last && (following == nullptr || !following->reaches))) {
      continue;
    }
    marks[k].reaches = true;
    marks[k].unpadded = next == formEnd ? false : end == formEnd || following->unpadded;
    reaching.push_back(at);
    if (!last) {
      following->followsOne = true;
    }
    if (list) {
      scan.lists.emplace_back(at, end);
    }
  }
  std::ranges::reverse(reaching);
  for (const std::uint64_t at : reaching) {
    if (const Mark* mark = markAt(at); !mark->followsOne) {
      scan.starts.push_back({at, mark->unpadded});
    }
  }
  for (std::size_t k = 0; k < ids.size(); ++k) {
    const std::uint64_t at = lo + ids[k];
    if (marks[k].cutEnd && !marks[k].followsCut &&
        WholeFrames(at - where.firstSample, where.frame, chunks)) {
      scan.cut.push_back({.at = at, .cut = true});
    }
  }
  std::ranges::reverse(scan.lists);
  return scan;
}

// Drops the offsets that lie inside one of `lists` (ascending by start): a
// LIST's sub-chunks are chunks too, but no start of their own.
void DropSubChunks(std::vector<ChainStart>& offsets,
                   std::span<const std::pair<std::uint64_t, std::uint64_t>> lists) {
  std::uint64_t held = 0;  // the furthest a LIST before reaches
  auto list = lists.begin();
  std::erase_if(offsets, [&](const ChainStart& start) {
    for (; list != lists.end() && list->first < start.at; ++list) {
      held = std::max(held, list->second);
    }
    return start.at < held;
  });
}

}  // namespace

Ending AfterStated(FileBytes& file, std::uint64_t firstSample, std::uint64_t stored,
                   std::span<const std::uint64_t> ends) {
  const std::uint64_t end = firstSample + stored;
  const std::uint64_t pad = file.Chunks().Pad(stored);
  Ending best;
  for (const bool padded : {true, false}) {
    if (!padded && pad == 0) {
      continue;
    }
    const std::uint64_t from = end + (padded ? pad : 0);
    if (from > file.Length()) {
      continue;
    }
    const Ending ending = Chain(file, from, ends, !padded);
    if (ending.tail == Tail::Chunks || ending.tail == Tail::Unreadable) {
      return ending;
    }
    if (best.tail == Tail::Other && (ending.tail == Tail::Cut || ending.tail == Tail::Long)) {
      best = ending;
    }
  }
  return best;
}

std::optional<ChainStart> ChainFromEnd(FileBytes& file, const FromEnd& where) {
  const std::uint64_t length = file.Length();
  const std::uint64_t lo = std::max(where.firstSample + 1, length > kWindow ? length - kWindow : 0);
  if (where.formEnd < lo + where.chunks.Header()) {
    return std::nullopt;
  }
  const std::span<const unsigned char> window = file.View(lo, where.formEnd - lo);
  if (window.empty() || file.Failed()) {
    return std::nullopt;
  }
  Scan scan = ScanFromEnd(window, lo, length, where);
  DropSubChunks(scan.starts, scan.lists);
  DropSubChunks(scan.cut, scan.lists);
  if (scan.starts.empty()) {
    return scan.cut.size() == 1 ? std::optional(scan.cut.front()) : std::nullopt;
  }
  if (scan.starts.size() > 1 && where.size32) {
    std::erase_if(scan.starts, [&](const ChainStart& start) {
      const std::uint64_t audio = start.at - where.firstSample;
      return audio % kWrap != *where.size32 && (audio - 1) % kWrap != *where.size32;
    });
  }
  return scan.starts.size() == 1 ? std::optional(scan.starts.front()) : std::nullopt;
}

}  // namespace zavevuv
